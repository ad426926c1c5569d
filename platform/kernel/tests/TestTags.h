// Pool tags the tests use, as the values the driver passes.
#pragma once

#include "kernel/Types.h"

inline constexpr ULONG kTagPcCr = 0x72436350;  // "PcCr"
inline constexpr ULONG kTagAang = 0x676E6161;  // "aang"
inline constexpr ULONG kTagA = 0x41414141;     // "AAAA"
inline constexpr ULONG kTagB = 0x42424242;     // "BBBB"
