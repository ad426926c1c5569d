#include "kernel/Debug.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "kernel/host/KernelHost.h"

namespace {

std::mutex debugLock;
std::vector<std::string>& lines() {
  static auto* printed = new std::vector<std::string>;
  return *printed;
}

}  // namespace

ULONG DbgPrint(PCSTR format, ...) {
  char text[512];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  // The debugger sees it when KORVANE_DEBUG_PRINT is set; hosts read it back.
  if (std::getenv("KORVANE_DEBUG_PRINT")) std::fputs(text, stderr);
  std::lock_guard held(debugLock);
  lines().emplace_back(text);
  return STATUS_SUCCESS;
}

namespace kernel {

std::vector<std::string> KernelHost::debugLines() {
  std::lock_guard held(debugLock);
  return lines();
}

void KernelHost::clearDebugLines() {
  std::lock_guard held(debugLock);
  lines().clear();
}

}  // namespace kernel
