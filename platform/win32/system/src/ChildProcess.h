// A program this process started. Its process id stays ours until the child
// is reaped, and reaping happens only here, under `lock`, so a signal sent
// under the same lock can never reach a stranger that got the id afterwards.
// Any thread may use it.
#pragma once

#include <sys/types.h>

#include <mutex>

#include "win32/Types.h"

namespace win32 {

class ChildProcess {
 public:
  explicit ChildProcess(pid_t child);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t id() const { return pid; }

  // Reaps the child once it has ended.
  bool hasEnded();
  // INFINITE waits as long as it takes.
  bool waitForEnd(DWORD milliseconds);
  // False when the child has already ended.
  bool signalIfRunning(int signal);

 private:
  bool reapIfEnded();  // needs lock

  const pid_t pid;
  // Readable once the child ends, so waiting needs no polling; -1 on a
  // kernel without process descriptors, where waits poll every few ms.
  const int descriptor;
  std::mutex lock;  // guards ended and reaping
  bool ended = false;
};

}  // namespace win32
