// What the I/O manager knows of each request it sent, shared with completion.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

#include "kernel/Irp.h"

namespace kernel::internal {

struct RequestRecord {
  IRP irp{};
  bool completed = false;
  std::condition_variable done;
};

// Called by IofCompleteRequest; false when the request is unknown or was
// already completed.
bool completeRecord(PIRP irp);

// The lock that guards every RequestRecord's completed flag.
std::mutex& requestLock();

}  // namespace kernel::internal
