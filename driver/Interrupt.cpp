#include "Interrupt.h"

#include "BlockService.h"
#include "CardContext.h"
#include "CardRegisters.h"

NTSTATUS InterruptServiceRoutine(PINTERRUPTSYNC, PVOID) {
  auto& card = cardContext;
  const ULONG status = ReadRegister(card.registers, reg::kInterruptStatus);
  if (status & reg::kStatusBit7) {
    WriteRegister(card.registers, reg::kAckStatusBit7, reg::kAcknowledge);
  }
  if (status & reg::kStatusBlock) {
    WriteRegister(card.registers, reg::kAckBlockInterrupt, reg::kAcknowledge);
    InterlockedExchangeAdd(&card.interruptCredit, static_cast<LONG>(card.blockBytes));
    KeInsertQueueDpc(&card.deviceObject->Dpc, card.deviceObject->CurrentIrp, nullptr);
  }
  if (status & reg::kStatusBit5) {
    WriteRegister(card.registers, reg::kAckStatusBit5, reg::kAcknowledge);
  }
  if (status & reg::kStatusBit4) {
    WriteRegister(card.registers, reg::kAckStatusBit4, reg::kAcknowledge);
  }
  return STATUS_SUCCESS;
}

VOID ServiceDpc(PKDPC, PVOID, PVOID, PVOID) {
  auto& card = cardContext;
  KeAcquireSpinLockAtDpcLevel(&card.streamLock);
  if (card.engineReady) ServiceTick();
  KeReleaseSpinLockFromDpcLevel(&card.streamLock);
}
