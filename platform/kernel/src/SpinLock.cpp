// Spin locks raise to dispatch level and spin on the lock word; the verifier
// counts the locks each thread holds.
#include <thread>

#include "Internal.h"
#include "kernel/Irql.h"
#include "kernel/Sync.h"
#include "kernel/host/Verifier.h"

namespace {

void spinAcquire(PKSPIN_LOCK lock) {
  for (;;) {
    ULONG_PTR expected = 0;
    if (__atomic_compare_exchange_n(lock, &expected, 1, false, __ATOMIC_ACQUIRE,
                                    __ATOMIC_RELAXED)) {
      break;
    }
    while (__atomic_load_n(lock, __ATOMIC_RELAXED) != 0) std::this_thread::yield();
  }
  kernel::internal::noteSpinLockAcquired();
}

bool spinRelease(PKSPIN_LOCK lock, ::kernel::SourcePlace where) {
  if (__atomic_load_n(lock, __ATOMIC_RELAXED) == 0 || kernel::internal::spinLocksHeld() == 0) {
    kernel::Verifier::report(kernel::Rule::SpinLockMisuse, "releasing a spin lock not held",
                             where);
    return false;
  }
  kernel::internal::noteSpinLockReleased();
  __atomic_store_n(lock, 0, __ATOMIC_RELEASE);
  return true;
}

}  // namespace

VOID KeInitializeSpinLock(PKSPIN_LOCK spinLock) { *spinLock = 0; }

KIRQL KfAcquireSpinLock(PKSPIN_LOCK spinLock, ::kernel::SourcePlace where) {
  KIRQL old = KeGetCurrentIrql();
  if (old > DISPATCH_LEVEL) {
    kernel::Verifier::report(kernel::Rule::IrqlMismatch,
                             "KfAcquireSpinLock above dispatch level", where);
  }
  if (old < DISPATCH_LEVEL) kernel::internal::setIrql(DISPATCH_LEVEL);
  spinAcquire(spinLock);
  return old;
}

VOID KfReleaseSpinLock(PKSPIN_LOCK spinLock, KIRQL newIrql, ::kernel::SourcePlace where) {
  if (!spinRelease(spinLock, where)) return;
  if (newIrql > KeGetCurrentIrql()) {
    kernel::Verifier::report(kernel::Rule::IrqlMismatch,
                             "KfReleaseSpinLock to a higher IRQL", where);
    return;
  }
  kernel::internal::setIrql(newIrql);
}

VOID KeAcquireSpinLockAtDpcLevel(PKSPIN_LOCK spinLock, ::kernel::SourcePlace where) {
  if (KeGetCurrentIrql() < DISPATCH_LEVEL) {
    kernel::Verifier::report(kernel::Rule::IrqlMismatch,
                             "KeAcquireSpinLockAtDpcLevel below dispatch level", where);
  }
  spinAcquire(spinLock);
}

VOID KeReleaseSpinLockFromDpcLevel(PKSPIN_LOCK spinLock, ::kernel::SourcePlace where) {
  spinRelease(spinLock, where);
}

LONG InterlockedIncrement(volatile LONG* addend) {
  return __atomic_add_fetch(addend, 1, __ATOMIC_SEQ_CST);
}
LONG InterlockedDecrement(volatile LONG* addend) {
  return __atomic_sub_fetch(addend, 1, __ATOMIC_SEQ_CST);
}
LONG InterlockedExchangeAdd(volatile LONG* addend, LONG value) {
  return __atomic_fetch_add(addend, value, __ATOMIC_SEQ_CST);
}
LONG InterlockedExchange(volatile LONG* target, LONG value) {
  return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
LONG InterlockedCompareExchange(volatile LONG* destination, LONG exchange, LONG comparand) {
  __atomic_compare_exchange_n(destination, &comparand, exchange, false, __ATOMIC_SEQ_CST,
                              __ATOMIC_SEQ_CST);
  return comparand;
}
PVOID InterlockedExchangePointer(PVOID volatile* target, PVOID value) {
  return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
PVOID InterlockedCompareExchangePointer(PVOID volatile* destination, PVOID exchange,
                                        PVOID comparand) {
  __atomic_compare_exchange_n(destination, &comparand, exchange, false, __ATOMIC_SEQ_CST,
                              __ATOMIC_SEQ_CST);
  return comparand;
}
LONG ReadLongAcquire(const volatile LONG* source) {
  return __atomic_load_n(source, __ATOMIC_ACQUIRE);
}
