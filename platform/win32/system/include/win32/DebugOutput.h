// Debug strings go nowhere unless KORVANE_DEBUG_PRINT is set (to anything but
// the empty string); then they are written to stderr in UTF-8, as they are,
// without an added line break.
#pragma once

#include "win32/WideStrings.h"

namespace win32 {

void OutputDebugStringW(LPCWSTR outputString);

}  // namespace win32

using namespace win32;
