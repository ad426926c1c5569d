// Deferred procedure calls: queued from an interrupt service routine, run at
// dispatch level on the kernel's DPC thread, at most once per queueing.
#pragma once

#include "kernel/Types.h"

struct KDPC;
using PKDPC = KDPC*;
using PRKDPC = KDPC*;

using KDEFERRED_ROUTINE = VOID(PKDPC dpc, PVOID deferredContext, PVOID systemArgument1,
                               PVOID systemArgument2);
using PKDEFERRED_ROUTINE = KDEFERRED_ROUTINE*;

struct KDPC {
  UCHAR Type;
  UCHAR Importance;
  USHORT Number;
  PKDEFERRED_ROUTINE DeferredRoutine;
  PVOID DeferredContext;
  PVOID SystemArgument1;
  PVOID SystemArgument2;
  PVOID DpcData;  // non-null while the DPC is queued; owned by the DPC queue
};

VOID KeInitializeDpc(PRKDPC dpc, PKDEFERRED_ROUTINE deferredRoutine, PVOID deferredContext);
BOOLEAN KeInsertQueueDpc(PRKDPC dpc, PVOID systemArgument1, PVOID systemArgument2);
BOOLEAN KeRemoveQueueDpc(PRKDPC dpc);
VOID KeFlushQueuedDpcs();
