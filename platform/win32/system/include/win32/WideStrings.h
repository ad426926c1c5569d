// Windows' wide characters: UTF-16 code units. They are char16_t here rather
// than wchar_t, which is 32 bits on Linux (and JUCE relies on that), so a
// wide string keeps the layout and counts it has on Windows.
#pragma once

namespace win32 {

using WCHAR = char16_t;
using PWSTR = WCHAR*;
using LPWSTR = WCHAR*;
using PCWSTR = const WCHAR*;
using LPCWSTR = const WCHAR*;

}  // namespace win32

using namespace win32;

// A wide string literal: WIDE("text") is the L"text" a Windows source writes.
#define WIDE(text) u##text
