// Conversions between wide strings and code pages, through iconv.
//
// CP_ACP is the ANSI code page of the system's language (see Language.h), as
// Windows picks it: 936 (GBK) for the simplified Chinese territories, 950
// (Big5) for the traditional ones, 932 for Japanese, 1252 for the rest.
// Those four and CP_UTF8 are the code pages there are.
//
// Counts include the terminating null when the input count is -1. An output
// size of 0 asks for the size needed and writes nothing. Failures return 0:
//   ERROR_INVALID_PARAMETER       a null string, a count of 0 or below -1, an
//                                 unknown code page, a default character with
//                                 CP_UTF8
//   ERROR_INVALID_FLAGS           flags other than those below
//   ERROR_INSUFFICIENT_BUFFER     the output does not fit (nothing is written)
//   ERROR_NO_UNICODE_TRANSLATION  an invalid sequence with MB_ERR_INVALID_CHARS
//                                 or WC_ERR_INVALID_CHARS
// Without those flags an invalid byte sequence becomes U+FFFD; a character
// the code page lacks becomes the default character ('?' unless given). No
// best-fit mappings.
#pragma once

#include "win32/Types.h"
#include "win32/WideStrings.h"

namespace win32 {

using LPBOOL = BOOL*;
using LPCCH = const char*;
using LPCWCH = const WCHAR*;

inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_UTF8 = 65001;

inline constexpr DWORD MB_PRECOMPOSED = 0x00000001;
inline constexpr DWORD MB_ERR_INVALID_CHARS = 0x00000008;
inline constexpr DWORD WC_ERR_INVALID_CHARS = 0x00000080;

UINT GetACP();

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH multiByteStr, int multiByteCount,
                        LPWSTR wideCharStr, int wideCharCount);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wideCharStr, int wideCharCount,
                        LPSTR multiByteStr, int multiByteCount, LPCCH defaultChar,
                        LPBOOL usedDefaultChar);

}  // namespace win32

using namespace win32;
