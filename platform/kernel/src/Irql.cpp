#include "kernel/Irql.h"

#include "Internal.h"
#include "kernel/host/Verifier.h"

namespace {
thread_local KIRQL currentIrql = PASSIVE_LEVEL;
thread_local int heldSpinLocks = 0;
}  // namespace

namespace kernel::internal {

int spinLocksHeld() { return heldSpinLocks; }
void noteSpinLockAcquired() { ++heldSpinLocks; }
void noteSpinLockReleased() { --heldSpinLocks; }
void setIrql(KIRQL irql) { currentIrql = irql; }

bool refuseAbovePassive(int rule, const char* what, ::kernel::SourcePlace where) {
  if (currentIrql == PASSIVE_LEVEL) return false;
  Verifier::report(static_cast<Rule>(rule),
                   std::string(what) + " at IRQL " + std::to_string(currentIrql), where);
  return true;
}

}  // namespace kernel::internal

KIRQL KeGetCurrentIrql() { return currentIrql; }

VOID KeRaiseIrql(KIRQL newIrql, PKIRQL oldIrql, ::kernel::SourcePlace where) {
  if (newIrql < currentIrql) {
    kernel::Verifier::report(kernel::Rule::IrqlMismatch,
                             "KeRaiseIrql to " + std::to_string(newIrql) + " from " +
                                 std::to_string(currentIrql),
                             where);
  }
  *oldIrql = currentIrql;
  currentIrql = newIrql;
}

VOID KeLowerIrql(KIRQL newIrql, ::kernel::SourcePlace where) {
  if (newIrql > currentIrql) {
    kernel::Verifier::report(kernel::Rule::IrqlMismatch,
                             "KeLowerIrql to " + std::to_string(newIrql) + " from " +
                                 std::to_string(currentIrql),
                             where);
  }
  currentIrql = newIrql;
}

KIRQL KeRaiseIrqlToDpcLevel() {
  KIRQL old = currentIrql;
  if (currentIrql < DISPATCH_LEVEL) currentIrql = DISPATCH_LEVEL;
  return old;
}

namespace kernel {
void checkPagedCode(::kernel::SourcePlace where) {
  if (currentIrql > APC_LEVEL) {
    Verifier::report(Rule::PagedCodeAtRaisedIrql,
                     "pageable code entered at IRQL " + std::to_string(currentIrql), where);
  }
}
}  // namespace kernel
