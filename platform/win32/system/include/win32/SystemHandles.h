// The handles of this layer (processes and their threads) share CloseHandle
// with the device handles of win32/FileIo.h. The program's CloseHandle asks
// isSystemHandle first and hands the handle to closeSystemHandle or to the
// device layer. Values never coincide with device handles and are never
// reused.
#pragma once

#include "win32/Types.h"

namespace win32 {

bool isSystemHandle(HANDLE handle);
// FALSE with ERROR_INVALID_HANDLE for a handle that is not (or no longer) one
// of these. Closing a process's handles leaves the program running.
BOOL closeSystemHandle(HANDLE handle);

}  // namespace win32

using namespace win32;
