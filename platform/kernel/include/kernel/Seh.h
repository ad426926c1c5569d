// Structured exception handling as kernel code uses it around probes of
// user memory: MmProbeAndLockPages raises, __try / __except catches.
#pragma once

#include "kernel/Types.h"

namespace kernel {
struct StructuredException {
  NTSTATUS code;
};
}  // namespace kernel

#define EXCEPTION_EXECUTE_HANDLER 1
#define EXCEPTION_CONTINUE_SEARCH 0

[[noreturn]] VOID ExRaiseStatus(NTSTATUS status);

#define __try try
#define __except(filter) catch (const ::kernel::StructuredException& structuredException_)
#define GetExceptionCode() (structuredException_.code)
