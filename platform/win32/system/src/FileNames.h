// Windows file names as paths on this system.
#pragma once

#include <string>
#include <string_view>

#include "win32/Types.h"
#include "win32/WideStrings.h"

namespace win32 {

// Backslashes become slashes; the result is UTF-8, as Linux file names are.
std::string pathFromWide(std::u16string_view name);
// The A calls' names are in CP_ACP.
std::string pathFromAnsi(std::string_view name);

// The directory of this program's executable, without a trailing slash.
std::string executableDirectory();

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);
bool endsWithIgnoringAsciiCase(std::string_view text, std::string_view ending);

}  // namespace win32
