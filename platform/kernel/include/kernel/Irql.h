// Interrupt request levels. Each thread has its own level: passive for
// threads and requests, dispatch while a spin lock is held or a DPC runs,
// device level while an interrupt service routine runs.
#pragma once

#include <source_location>

#include "kernel/Types.h"

#define PASSIVE_LEVEL 0
#define LOW_LEVEL 0
#define APC_LEVEL 1
#define DISPATCH_LEVEL 2
#define DEVICE_LEVEL 10  // the level our interrupt lines run their service at
#define HIGH_LEVEL 31

KIRQL KeGetCurrentIrql();
VOID KeRaiseIrql(KIRQL newIrql, PKIRQL oldIrql,
                 std::source_location where = std::source_location::current());
VOID KeLowerIrql(KIRQL newIrql, std::source_location where = std::source_location::current());
KIRQL KeRaiseIrqlToDpcLevel();

namespace kernel {
void checkPagedCode(std::source_location where);
}

// Marks code that may be paged out: entering it above APC level is a violation.
#define PAGED_CODE() ::kernel::checkPagedCode(std::source_location::current())
