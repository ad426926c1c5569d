#include "Internal.h"
#include "kernel/Irp.h"
#include "kernel/host/Verifier.h"

// IoCount starts at 1 for the owner; each acquisition adds one. Teardown marks
// the lock removed, drops its own acquisition and the owner's, and waits for
// the count to reach 0.
VOID IoInitializeRemoveLockEx(PIO_REMOVE_LOCK lock, ULONG, ULONG, ULONG, ULONG) {
  lock->Common.Removed = FALSE;
  lock->Common.IoCount = 1;
  KeInitializeEvent(&lock->Common.RemoveEvent, NotificationEvent, FALSE);
}

NTSTATUS IoAcquireRemoveLockEx(PIO_REMOVE_LOCK lock, PVOID, PCSTR, ULONG, ULONG) {
  InterlockedIncrement(&lock->Common.IoCount);
  if (__atomic_load_n(&lock->Common.Removed, __ATOMIC_ACQUIRE)) {
    if (InterlockedDecrement(&lock->Common.IoCount) == 0) {
      KeSetEvent(&lock->Common.RemoveEvent, IO_NO_INCREMENT, FALSE);
    }
    return STATUS_DELETE_PENDING;
  }
  return STATUS_SUCCESS;
}

VOID IoReleaseRemoveLockEx(PIO_REMOVE_LOCK lock, PVOID, ULONG) {
  const LONG count = InterlockedDecrement(&lock->Common.IoCount);
  if (count < 0) {
    kernel::Verifier::report(kernel::Rule::RemoveLockMisuse, "released more than acquired");
  } else if (count == 0) {
    KeSetEvent(&lock->Common.RemoveEvent, IO_NO_INCREMENT, FALSE);
  }
}

VOID IoReleaseRemoveLockAndWaitEx(PIO_REMOVE_LOCK lock, PVOID, ULONG) {
  __atomic_store_n(&lock->Common.Removed, TRUE, __ATOMIC_RELEASE);
  const LONG count = InterlockedExchangeAdd(&lock->Common.IoCount, -2) - 2;
  if (count < 0) {
    kernel::Verifier::report(kernel::Rule::RemoveLockMisuse,
                             "IoReleaseRemoveLockAndWait without holding the lock");
    return;
  }
  if (count > 0) {
    KeWaitForSingleObject(&lock->Common.RemoveEvent, Executive, KernelMode, FALSE, nullptr);
  }
}
