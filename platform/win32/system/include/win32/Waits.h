// Waiting for a program to end, and sleeping.
#pragma once

#include "win32/Types.h"

namespace win32 {

inline constexpr DWORD INFINITE = 0xFFFFFFFF;
inline constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
inline constexpr DWORD WAIT_TIMEOUT = 0x00000102;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

// On a process or thread handle from CreateProcess: WAIT_OBJECT_0 once the
// program has ended, WAIT_TIMEOUT when it still runs after the time-out (in
// milliseconds, or INFINITE). Any other handle: WAIT_FAILED with
// ERROR_INVALID_HANDLE. Any thread may wait, several at once.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

void Sleep(DWORD milliseconds);

}  // namespace win32

using namespace win32;
