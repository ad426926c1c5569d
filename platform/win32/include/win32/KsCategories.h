// The kernel-streaming interface class a program looks for an audio
// device's topology filter under.
#pragma once

#include "win32/Types.h"

namespace win32 {

inline constexpr GUID KSCATEGORY_TOPOLOGY = {
    0xDDA54A40, 0x1E4C, 0x11D1, {0xA0, 0x50, 0x40, 0x57, 0x05, 0xC1, 0x00, 0x00}};

}  // namespace win32

using namespace win32;
