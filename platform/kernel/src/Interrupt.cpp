#include "kernel/Interrupt.h"

#include "Internal.h"
#include "kernel/Irql.h"
#include "kernel/host/Bus.h"

struct KINTERRUPT {
  PKSERVICE_ROUTINE serviceRoutine;
  PVOID serviceContext;
  KSPIN_LOCK ownLock;
  PKSPIN_LOCK lock;
  ULONG vector;
  KIRQL irql;
};

namespace {

// Enters the interrupt's level and lock, as the processor and the kernel's
// interrupt dispatch do before a service routine runs.
template <typename Body>
BOOLEAN atInterruptLevel(PKINTERRUPT interrupt, Body body) {
  const KIRQL previous = KeGetCurrentIrql();
  kernel::internal::setIrql(interrupt->irql > previous ? interrupt->irql : previous);
  KeAcquireSpinLockAtDpcLevel(interrupt->lock);
  const BOOLEAN result = body();
  KeReleaseSpinLockFromDpcLevel(interrupt->lock);
  kernel::internal::setIrql(previous);
  return result;
}

}  // namespace

NTSTATUS IoConnectInterrupt(PKINTERRUPT* interruptObject, PKSERVICE_ROUTINE serviceRoutine,
                            PVOID serviceContext, PKSPIN_LOCK spinLock, ULONG vector, KIRQL irql,
                            KIRQL, KINTERRUPT_MODE, BOOLEAN, KAFFINITY, BOOLEAN) {
  if (!serviceRoutine) return STATUS_INVALID_PARAMETER;
  auto* interrupt = new KINTERRUPT{serviceRoutine, serviceContext, 0, nullptr, vector,
                                   irql ? irql : static_cast<KIRQL>(DEVICE_LEVEL)};
  interrupt->lock = spinLock ? spinLock : &interrupt->ownLock;
  kernel::Bus::instance().connectInterrupt(vector, [interrupt] {
    atInterruptLevel(interrupt, [interrupt] {
      return interrupt->serviceRoutine(interrupt, interrupt->serviceContext);
    });
  });
  *interruptObject = interrupt;
  return STATUS_SUCCESS;
}

VOID IoDisconnectInterrupt(PKINTERRUPT interruptObject) {
  kernel::Bus::instance().disconnectInterrupt(interruptObject->vector);
  delete interruptObject;
}

BOOLEAN KeSynchronizeExecution(PKINTERRUPT interrupt, PKSYNCHRONIZE_ROUTINE synchronizeRoutine,
                               PVOID synchronizeContext) {
  return atInterruptLevel(interrupt,
                          [&] { return synchronizeRoutine(synchronizeContext); });
}
