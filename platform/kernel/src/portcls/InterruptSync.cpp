#include <algorithm>

#include "Objects.h"
#include "kernel/Irql.h"

namespace kernel::portcls {

InterruptSync::InterruptSync(PUNKNOWN outer, ULONG line, INTERRUPTSYNCMODE syncMode)
    : CUnknown(outer), vector(line), mode(syncMode) {}

InterruptSync::~InterruptSync() { Disconnect(); }

STDMETHODIMP InterruptSync::NonDelegatingQueryInterface(REFIID interfaceId, PVOID* object) {
  if (IsEqualGUIDAligned(interfaceId, IID_IInterruptSync)) {
    *object = static_cast<IInterruptSync*>(this);
    AddRef();
    return STATUS_SUCCESS;
  }
  return CUnknown::NonDelegatingQueryInterface(interfaceId, object);
}

// Normal mode: routines run in order until one claims the interrupt. All:
// every routine runs. Repeat: rounds of all routines until none claims it.
BOOLEAN InterruptSync::service(PKINTERRUPT, PVOID context) {
  auto* self = static_cast<InterruptSync*>(context);
  bool claimed = false;
  for (;;) {
    bool claimedThisRound = false;
    for (const auto& entry : self->routines) {
      if (NT_SUCCESS(entry.routine(self, entry.context))) {
        claimedThisRound = true;
        if (self->mode == InterruptSyncModeNormal) break;
      }
    }
    claimed = claimed || claimedThisRound;
    if (self->mode != InterruptSyncModeRepeat || !claimedThisRound) break;
  }
  return claimed ? TRUE : FALSE;
}

STDMETHODIMP InterruptSync::CallSynchronizedRoutine(PINTERRUPTSYNCROUTINE routine,
                                                    PVOID dynamicContext) {
  struct Call {
    InterruptSync* self;
    PINTERRUPTSYNCROUTINE routine;
    PVOID context;
    NTSTATUS status;
  } call{this, routine, dynamicContext, STATUS_SUCCESS};
  auto trampoline = [](PVOID argument) -> BOOLEAN {
    auto* c = static_cast<Call*>(argument);
    c->status = c->routine(c->self, c->context);
    return TRUE;
  };
  if (interrupt) {
    KeSynchronizeExecution(interrupt, trampoline, &call);
  } else {
    // Not connected: the lock alone keeps it from overlapping anything.
    KIRQL old;
    KeRaiseIrql(DEVICE_LEVEL, &old);
    KeAcquireSpinLockAtDpcLevel(&lock);
    trampoline(&call);
    KeReleaseSpinLockFromDpcLevel(&lock);
    KeLowerIrql(old);
  }
  return call.status;
}

STDMETHODIMP_(PKINTERRUPT) InterruptSync::GetKInterrupt() { return interrupt; }

STDMETHODIMP InterruptSync::Connect() {
  if (interrupt) return STATUS_SUCCESS;
  return IoConnectInterrupt(&interrupt, service, this, &lock, vector, DEVICE_LEVEL, DEVICE_LEVEL,
                            LevelSensitive, TRUE, 1, FALSE);
}

STDMETHODIMP_(void) InterruptSync::Disconnect() {
  if (!interrupt) return;
  IoDisconnectInterrupt(interrupt);
  interrupt = nullptr;
}

STDMETHODIMP InterruptSync::RegisterServiceRoutine(PINTERRUPTSYNCROUTINE routine,
                                                   PVOID dynamicContext, BOOLEAN first) {
  if (!routine) return STATUS_INVALID_PARAMETER;
  // Registration happens before Connect; the list is not touched while connected.
  if (interrupt) return STATUS_UNSUCCESSFUL;
  routines.push_back(Routine{routine, dynamicContext});
  if (first) std::rotate(routines.begin(), routines.end() - 1, routines.end());
  return STATUS_SUCCESS;
}

}  // namespace kernel::portcls
