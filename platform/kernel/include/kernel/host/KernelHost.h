// The host's control of the stand-in kernel: the DPC thread, system threads,
// debug output and the checks made when a driver unloads.
#pragma once

#include <string>
#include <vector>

namespace kernel {

class KernelHost {
 public:
  // Blocks until no DPC is queued or running (virtual time does this after
  // every timer callback).
  static void waitForDpcs();
  // Number of DPC routine runs since start.
  static unsigned long long dpcRuns();

  // System threads created and not yet ended.
  static int runningSystemThreads();

  // Lines the driver printed with DbgPrint, oldest first, and a way to clear them.
  static std::vector<std::string> debugLines();
  static void clearDebugLines();

  // The checks of an unload: reports a violation per leaked pool tag, per
  // running system thread and per MDL still allocated. True when clean.
  static bool checkUnload();
};

// The WDM version IoIsWdmVersionAvailable answers for (6.1 unless set).
void setWdmVersion(int major, int minor);



}  // namespace kernel
