#include "Dma.h"

#include "CardContext.h"
#include "CardRegisters.h"

namespace {

// Holds registerLock for one programming or stopping sequence.
class RegisterSequence {
 public:
  RegisterSequence() {
    KeWaitForSingleObject(&cardContext.registerLock, Executive, KernelMode, FALSE, nullptr);
  }
  ~RegisterSequence() { KeReleaseMutex(&cardContext.registerLock, FALSE); }
  RegisterSequence(const RegisterSequence&) = delete;
  RegisterSequence& operator=(const RegisterSequence&) = delete;
};

}  // namespace

VOID ProgramPlaybackDma() {
  PAGED_CODE();
  auto& card = cardContext;
  const ULONG ring = card.playRingPhysical.u.LowPart;
  RegisterSequence sequence;
  WriteRegister(card.registers, reg::kPlayRingBase, ring);
  WriteRegister(card.auxRegisters, reg::kAuxPlayRingLow, ring);
  WriteRegister(card.auxRegisters, reg::kAuxPlayRingHigh, 0);
  WriteRegister(card.registers, reg::kPlayBitDepth, card.bitDepth);
  WriteRegister(card.auxRegisters, reg::kAuxDmaEnable, reg::kDmaEnableValue);
  WriteRegister(card.registers, reg::kPlayRate, reg::PlayRateCode(card.sampleRate));
  WriteRegister(card.registers, reg::kPlayBlockSize, card.blockBytes);
  WriteRegister(card.registers, reg::kPlayStart, reg::kStart);
}

VOID ProgramCaptureDma() {
  PAGED_CODE();
  auto& card = cardContext;
  const ULONG ring = card.captureRingPhysical.u.LowPart;
  RegisterSequence sequence;
  WriteRegister(card.registers, reg::kCaptureRingBase, ring);
  WriteRegister(card.auxRegisters, reg::kAuxCaptureRingLow, ring);
  WriteRegister(card.auxRegisters, reg::kAuxCaptureRingHigh, 0);
  WriteRegister(card.registers, reg::kCaptureBitDepth, card.bitDepth);
  WriteRegister(card.auxRegisters, reg::kAuxDmaEnable, reg::kDmaEnableValue);
  WriteRegister(card.registers, reg::kCaptureRate, reg::CaptureRateCode(card.sampleRate));
  WriteRegister(card.registers, reg::kCaptureBlockSize, card.blockBytes);
  WriteRegister(card.registers, reg::kCaptureStart, reg::kStart);
}

// The ring positions are the service DPC's: a stop or restart from passive
// level changes them between two ticks (UnderStreamLock).

VOID StopPlaybackDma() {
  PAGED_CODE();
  {
    RegisterSequence sequence;
    WriteRegister(cardContext.registers, reg::kPlayStop, reg::kPlayStopValue);
  }
  UnderStreamLock([](CardContext& card) {
    card.playFillPos = 0;
    card.playHwPos = 0;
  });
}

VOID StopCaptureDma() {
  PAGED_CODE();
  {
    RegisterSequence sequence;
    WriteRegister(cardContext.registers, reg::kCaptureStop, reg::kCaptureStopValue);
  }
  UnderStreamLock([](CardContext& card) {
    card.captureReadPos = 0;
    card.captureHwPos = 0;
  });
}

VOID RestartDma() {
  PAGED_CODE();
  UnderStreamLock([](CardContext& card) {
    RtlZeroMemory(card.playRing, card.hwRingSize);
    RtlZeroMemory(card.captureRing, card.hwRingSize);
    card.captureReadPos = 0;
    card.playFillPos = static_cast<LONG>(2 * card.blockBytes);
  });
  ProgramPlaybackDma();
  ProgramCaptureDma();
}
