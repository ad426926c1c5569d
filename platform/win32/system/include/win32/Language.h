// The system's language, read from the POSIX locale on every call so that a
// program (or a test) that changes its environment sees the change: the
// first non-empty one of LC_ALL, LC_MESSAGES and LANG, such as
// "zh_CN.UTF-8". Territories Windows has a language id for here:
//   zh_CN 0x0804  zh_TW 0x0404  zh_HK 0x0C04  zh_SG 0x1004  zh_MO 0x1404
//   en_US 0x0409  ja_JP 0x0411
// Anything else, C and POSIX included, is US English.
#pragma once

#include "win32/Types.h"

namespace win32 {

using LANGID = WORD;

LANGID GetSystemDefaultLangID();

}  // namespace win32

using namespace win32;
