#include "FormatChange.h"

#include "CardContext.h"
#include "Dma.h"
#include "LowLatency.h"
#include "shared/CardControl.h"

namespace {

// ChangeCardFormat's work, registerLock held.
ULONG ChangeFormatLocked(ULONG bits, ULONG rate, ULONG frames) {
  auto& card = cardContext;
  bool busy = false, unchanged = false;
  UnderStreamLock([&](CardContext& c) {
    busy = c.renderRunning || c.captureRunning || c.llRunning ||
           ReadLongAcquire(&lowLatency.claimed);
    unchanged = bits == c.bitDepth && rate == c.sampleRate && frames == c.bufferFrames;
  });
  if (busy) return cardctl::kFormatBusy;
  if (unchanged) return cardctl::kFormatUnchanged;

  // The channels run only once the engine was started: before that the new
  // format is only recorded, and the engine's start programs it. Restarting
  // here would set the card's DMA going with nobody to service its interrupt,
  // and the engine's own start would then clear the rings under it.
  const bool engineRunning = ReadLongAcquire(&card.engineStarted) == 1;
  if (card.registers) {
    StopCaptureDma();
    StopPlaybackDma();
  }
  LARGE_INTEGER wait;
  wait.QuadPart = -100000;  // 10 ms for the channels to drain
  KeDelayExecutionThread(KernelMode, FALSE, &wait);

  UnderStreamLock([&](CardContext& c) {
    c.sampleRate = rate;
    c.bitDepth = bits;
    c.bufferFrames = frames;
    c.blockBytes = BlockBytesFor(bits, frames);
    SetBlockLengths();
    InterlockedExchange(&c.interruptCredit, 0);
  });

  if (engineRunning && card.engineReady) RestartDma();
  return cardctl::kFormatApplied;
}

}  // namespace

ULONG ChangeCardFormat(ULONG bits, ULONG rate, ULONG frames) {
  PAGED_CODE();
  if (bits != 16 && bits != 24) return cardctl::kFormatInvalid;
  if (rate != 44100 && rate != 48000 && rate != 96000) return cardctl::kFormatInvalid;
  if (frames != 256 && frames != 512 && frames != 128) return cardctl::kFormatInvalid;

  auto& card = cardContext;
  // The whole change is one register sequence: an engine starting meanwhile
  // (a stream or a claim) waits for it, and it never sees the engine half
  // started, programmed but not yet marked, and stops channels nobody restarts.
  KeWaitForSingleObject(&card.registerLock, Executive, KernelMode, FALSE, nullptr);
  const ULONG result = ChangeFormatLocked(bits, rate, frames);
  KeReleaseMutex(&card.registerLock, FALSE);
  return result;
}
