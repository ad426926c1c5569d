// System threads: passive-level threads of the driver, waitable as objects.
#pragma once

#include "kernel/Objects.h"
#include "kernel/Sync.h"

struct KTHREAD;  // begins with a DISPATCHER_HEADER, signalled when the thread ends
using PKTHREAD = KTHREAD*;
using PETHREAD = KTHREAD*;

struct CLIENT_ID {
  HANDLE UniqueProcess;
  HANDLE UniqueThread;
};
using PCLIENT_ID = CLIENT_ID*;

using KSTART_ROUTINE = VOID(PVOID startContext);
using PKSTART_ROUTINE = KSTART_ROUTINE*;

NTSTATUS PsCreateSystemThread(PHANDLE threadHandle, ULONG desiredAccess,
                              POBJECT_ATTRIBUTES objectAttributes, HANDLE processHandle,
                              PCLIENT_ID clientId, PKSTART_ROUTINE startRoutine,
                              PVOID startContext);
// Ends the calling system thread; does not return.
[[noreturn]] NTSTATUS PsTerminateSystemThread(NTSTATUS exitStatus);
PKTHREAD KeGetCurrentThread();
