#include "win32/Waits.h"

#include <chrono>
#include <thread>

#include "ProcessTable.h"
#include "win32/SystemErrors.h"

namespace win32 {

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  auto child = findProcessHandle(handle);
  if (!child) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return child->waitForEnd(milliseconds) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

void Sleep(DWORD milliseconds) {
  if (milliseconds == INFINITE) {
    for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
  }
  // Sleep(0) gives up the rest of the time slice, as on Windows.
  if (milliseconds == 0) return std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace win32
