#include "ChildProcess.h"

#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <thread>

#include "win32/Waits.h"

namespace win32 {

namespace {

int openProcessDescriptor(pid_t pid) {
  return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

constexpr auto kPollInterval = std::chrono::milliseconds(5);

}  // namespace

ChildProcess::ChildProcess(pid_t child) : pid(child), descriptor(openProcessDescriptor(child)) {}

ChildProcess::~ChildProcess() {
  if (descriptor >= 0) ::close(descriptor);
}

bool ChildProcess::reapIfEnded() {
  if (ended) return true;
  int status = 0;
  pid_t result;
  do {
    result = ::waitpid(pid, &status, WNOHANG);
  } while (result < 0 && errno == EINTR);
  // ECHILD: someone else reaped it (a program that ignores SIGCHLD); either
  // way it is gone.
  ended = result == pid || (result < 0 && errno == ECHILD);
  return ended;
}

bool ChildProcess::hasEnded() {
  std::lock_guard held(lock);
  return reapIfEnded();
}

bool ChildProcess::signalIfRunning(int signal) {
  std::lock_guard held(lock);
  if (reapIfEnded()) return false;
  ::kill(pid, signal);
  return true;
}

bool ChildProcess::waitForEnd(DWORD milliseconds) {
  using Clock = std::chrono::steady_clock;
  const bool forever = milliseconds == INFINITE;
  const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    if (hasEnded()) return true;
    const auto now = Clock::now();
    if (!forever && now >= deadline) return false;
    // Rounded up: a wait never ends before its time-out.
    const long long slice =
        forever ? INT_MAX : std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    if (descriptor >= 0) {
      pollfd ready{descriptor, POLLIN, 0};
      ::poll(&ready, 1, static_cast<int>(std::min<long long>(slice, INT_MAX)));
    } else {
      std::this_thread::sleep_for(
          std::min(std::chrono::milliseconds(slice), std::chrono::milliseconds(kPollInterval)));
    }
  }
}

}  // namespace win32
