#include "kernel/Seh.h"
#include "kernel/host/KernelHost.h"
#include "kernel/host/PoolTracker.h"
#include "kernel/host/Verifier.h"

namespace kernel {
int liveMdlCount();
}

VOID ExRaiseStatus(NTSTATUS status) { throw kernel::StructuredException{status}; }

namespace kernel {

bool KernelHost::checkUnload() {
  bool clean = PoolTracker::reportLeaks();
  if (const int threads = runningSystemThreads(); threads > 0) {
    clean = false;
    Verifier::report(Rule::ThreadLeak, std::to_string(threads) + " system threads still run");
  }
  if (const int mdls = liveMdlCount(); mdls > 0) {
    clean = false;
    Verifier::report(Rule::MdlMisuse, std::to_string(mdls) + " MDLs still allocated");
  }
  return clean;
}

}  // namespace kernel
