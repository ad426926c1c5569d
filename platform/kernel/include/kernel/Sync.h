// Dispatcher objects (events, mutexes, threads), waits, and spin locks.
#pragma once

#include "kernel/SourcePlace.h"

#include "kernel/Types.h"

// Object kinds in DISPATCHER_HEADER::Type.
#define DISPATCHER_EVENT_NOTIFICATION 0
#define DISPATCHER_EVENT_SYNCHRONIZATION 1
#define DISPATCHER_MUTEX 2
#define DISPATCHER_THREAD 6

struct DISPATCHER_HEADER {
  UCHAR Type;
  UCHAR Reserved[3];
  LONG SignalState;  // > 0: signalled
};

enum EVENT_TYPE { NotificationEvent = 0, SynchronizationEvent = 1 };

struct KEVENT {
  DISPATCHER_HEADER Header;
};
using PKEVENT = KEVENT*;
using PRKEVENT = KEVENT*;

// SignalState 1 when free; the owner's recursion count is 1 - SignalState.
struct KMUTEX {
  DISPATCHER_HEADER Header;
  ULONGLONG OwnerThread;
  ULONG Level;
};
using PKMUTEX = KMUTEX*;
using PRKMUTEX = KMUTEX*;

enum KWAIT_REASON { Executive = 0, UserRequest = 6 };
#define KernelMode 0
#define UserMode 1

#define IO_NO_INCREMENT 0
#define EVENT_INCREMENT 1

// Waits on an event, mutex or thread. A null timeout waits for ever; a
// negative one is relative, in 100-ns units. Returns STATUS_SUCCESS or
// STATUS_TIMEOUT.
NTSTATUS KeWaitForSingleObject(PVOID object, KWAIT_REASON waitReason, KPROCESSOR_MODE waitMode,
                               BOOLEAN alertable, PLARGE_INTEGER timeout,
                               ::kernel::SourcePlace where = ::kernel::SourcePlace::current());

VOID KeInitializeMutex(PRKMUTEX mutex, ULONG level);
LONG KeReleaseMutex(PRKMUTEX mutex, BOOLEAN wait,
                    ::kernel::SourcePlace where = ::kernel::SourcePlace::current());
LONG KeReadStateMutex(PRKMUTEX mutex);

VOID KeInitializeEvent(PRKEVENT event, EVENT_TYPE type, BOOLEAN state);
LONG KeSetEvent(PRKEVENT event, KPRIORITY increment, BOOLEAN wait,
                ::kernel::SourcePlace where = ::kernel::SourcePlace::current());
VOID KeClearEvent(PRKEVENT event);
LONG KeResetEvent(PRKEVENT event);
LONG KeReadStateEvent(PRKEVENT event);

using KSPIN_LOCK = ULONG_PTR;
using PKSPIN_LOCK = KSPIN_LOCK*;

VOID KeInitializeSpinLock(PKSPIN_LOCK spinLock);
KIRQL KfAcquireSpinLock(PKSPIN_LOCK spinLock,
                        ::kernel::SourcePlace where = ::kernel::SourcePlace::current());
VOID KfReleaseSpinLock(PKSPIN_LOCK spinLock, KIRQL newIrql,
                       ::kernel::SourcePlace where = ::kernel::SourcePlace::current());
VOID KeAcquireSpinLockAtDpcLevel(PKSPIN_LOCK spinLock,
                                 ::kernel::SourcePlace where = ::kernel::SourcePlace::current());
VOID KeReleaseSpinLockFromDpcLevel(PKSPIN_LOCK spinLock,
                                   ::kernel::SourcePlace where = ::kernel::SourcePlace::current());

#define KeAcquireSpinLock(lock, oldIrql) (*(oldIrql) = KfAcquireSpinLock(lock))
#define KeReleaseSpinLock(lock, newIrql) KfReleaseSpinLock(lock, newIrql)

// Atomic operations on 32-bit values shared between the ISR, DPCs and threads.
LONG InterlockedIncrement(volatile LONG* addend);
LONG InterlockedDecrement(volatile LONG* addend);
LONG InterlockedExchangeAdd(volatile LONG* addend, LONG value);
LONG InterlockedExchange(volatile LONG* target, LONG value);
LONG InterlockedCompareExchange(volatile LONG* destination, LONG exchange, LONG comparand);
PVOID InterlockedExchangePointer(PVOID volatile* target, PVOID value);
PVOID InterlockedCompareExchangePointer(PVOID volatile* destination, PVOID exchange,
                                        PVOID comparand);
LONG ReadLongAcquire(const volatile LONG* source);
