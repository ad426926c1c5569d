// Interrupt objects: a service routine connected to a device's line runs at
// device level with the interrupt's spin lock held.
#pragma once

#include "kernel/Sync.h"
#include "kernel/Types.h"

struct KINTERRUPT;
using PKINTERRUPT = KINTERRUPT*;

using KSERVICE_ROUTINE = BOOLEAN(PKINTERRUPT interrupt, PVOID serviceContext);
using PKSERVICE_ROUTINE = KSERVICE_ROUTINE*;
using KSYNCHRONIZE_ROUTINE = BOOLEAN(PVOID synchronizeContext);
using PKSYNCHRONIZE_ROUTINE = KSYNCHRONIZE_ROUTINE*;

enum KINTERRUPT_MODE { LevelSensitive = 0, Latched = 1 };
using KAFFINITY = ULONG_PTR;

NTSTATUS IoConnectInterrupt(PKINTERRUPT* interruptObject, PKSERVICE_ROUTINE serviceRoutine,
                            PVOID serviceContext, PKSPIN_LOCK spinLock, ULONG vector,
                            KIRQL irql, KIRQL synchronizeIrql, KINTERRUPT_MODE interruptMode,
                            BOOLEAN shareVector, KAFFINITY processorEnableMask,
                            BOOLEAN floatingSave);
VOID IoDisconnectInterrupt(PKINTERRUPT interruptObject);
// Runs the routine at the interrupt's level with its spin lock held, so it
// never overlaps the service routine.
BOOLEAN KeSynchronizeExecution(PKINTERRUPT interrupt, PKSYNCHRONIZE_ROUTINE synchronizeRoutine,
                               PVOID synchronizeContext);
