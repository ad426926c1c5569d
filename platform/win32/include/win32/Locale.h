// Locale-aware string comparison. Here every locale compares the same way:
// byte by byte, with NORM_IGNORECASE folding ASCII letters. That is all the
// names a program compares (service names, device ids) need.
#pragma once

#include "win32/Types.h"

namespace win32 {

inline constexpr LCID LOCALE_INVARIANT = 0x007F;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;

inline constexpr DWORD NORM_IGNORECASE = 0x00000001;

inline constexpr int CSTR_LESS_THAN = 1;
inline constexpr int CSTR_EQUAL = 2;
inline constexpr int CSTR_GREATER_THAN = 3;

// A count of -1 means the string ends at its null. 0 on failure:
// ERROR_INVALID_PARAMETER for a null string or another negative count,
// ERROR_INVALID_FLAGS for flags other than NORM_IGNORECASE.
int CompareStringA(LCID locale, DWORD flags, PCNZCH first, int firstCount, PCNZCH second,
                   int secondCount);

}  // namespace win32

using namespace win32;
