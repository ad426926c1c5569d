// The handles CreateProcess hands out and the programs still running, by
// thread id, for PostThreadMessageA. Process-wide, thread-safe.
#pragma once

#include <memory>

#include "ChildProcess.h"
#include "win32/Types.h"

namespace win32 {

// A program stays listed until it has ended, whether or not its handles are
// still open.
void addRunningChild(const std::shared_ptr<ChildProcess>& child);
std::shared_ptr<ChildProcess> findRunningChild(DWORD threadId);

HANDLE addProcessHandle(std::shared_ptr<ChildProcess> child);
std::shared_ptr<ChildProcess> findProcessHandle(HANDLE handle);

}  // namespace win32
