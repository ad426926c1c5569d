// Win32 errors as korvanectl names them in its messages.
#pragma once

#include <string>

#include "win32/Win32.h"

namespace korvanectl {

// "ERROR_INVALID_PARAMETER (87)", or "error 1234" for one without a name here.
std::string errorText(DWORD error);

}  // namespace korvanectl
