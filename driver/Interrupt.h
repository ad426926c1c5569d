// The block interrupt and its deferred service.
#pragma once

#include "Kernel.h"

// Device level, under the interrupt sync lock: acknowledges what the card
// raised, counts a block of credit and queues the service DPC.
NTSTATUS InterruptServiceRoutine(PINTERRUPTSYNC interruptSync, PVOID dynamicContext);
// Dispatch level: one service tick under streamLock.
KDEFERRED_ROUTINE ServiceDpc;
