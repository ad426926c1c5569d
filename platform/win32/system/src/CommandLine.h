// Windows command lines: one string that the started program splits itself.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win32/Types.h"

namespace win32 {

// The arguments as a Windows program's C runtime splits them. The first, the
// program's name, ends at the next blank or, when it starts with a quote, at
// the next quote, with no escapes; the others follow the backslash and
// quote rules.
std::vector<std::string> splitCommandLine(std::string_view line);

struct ProgramSearch {
  std::string path;  // the file to run, when found
  DWORD error = 0;   // else ERROR_FILE_NOT_FOUND or ERROR_ACCESS_DENIED
};
// searchDirectories: whether a bare name is looked for beside this program,
// in the current directory and on PATH (a command line's program), or only
// in the current directory (an application name).
ProgramSearch findProgram(const std::string& name, bool searchDirectories);

}  // namespace win32
