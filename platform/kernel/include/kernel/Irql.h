// Interrupt request levels. Each thread has its own level: passive for
// threads and requests, dispatch while a spin lock is held or a DPC runs,
// device level while an interrupt service routine runs.
#pragma once

#include "kernel/SourcePlace.h"

#include "kernel/Types.h"

#define PASSIVE_LEVEL 0
#define LOW_LEVEL 0
#define APC_LEVEL 1
#define DISPATCH_LEVEL 2
#define DEVICE_LEVEL 10  // the level our interrupt lines run their service at
#define HIGH_LEVEL 31

KIRQL KeGetCurrentIrql();
VOID KeRaiseIrql(KIRQL newIrql, PKIRQL oldIrql,
                 ::kernel::SourcePlace where = ::kernel::SourcePlace::current());
VOID KeLowerIrql(KIRQL newIrql, ::kernel::SourcePlace where = ::kernel::SourcePlace::current());
KIRQL KeRaiseIrqlToDpcLevel();

namespace kernel {
void checkPagedCode(::kernel::SourcePlace where);
}

// Marks code that may be paged out: entering it above APC level is a violation.
#define PAGED_CODE() ::kernel::checkPagedCode(::kernel::SourcePlace::current())
