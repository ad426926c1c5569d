// Local memory, which SetupDi callers use for variable-sized structures.
// Only fixed blocks: a handle is the block's address.
#pragma once

#include "win32/Types.h"

namespace win32 {

inline constexpr UINT LMEM_FIXED = 0x0000;
inline constexpr UINT LMEM_MOVEABLE = 0x0002;
inline constexpr UINT LMEM_ZEROINIT = 0x0040;
inline constexpr UINT LPTR = LMEM_FIXED | LMEM_ZEROINIT;

// Null with ERROR_NOT_ENOUGH_MEMORY when there is none; LMEM_MOVEABLE is
// refused with ERROR_INVALID_PARAMETER.
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
// Null on success, as on Windows.
HLOCAL LocalFree(HLOCAL memory);

}  // namespace win32

using namespace win32;
