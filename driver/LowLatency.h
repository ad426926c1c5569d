// The low-latency client: one program at a time that claims the card, maps
// its own buffers and is woken once per block.
#pragma once

#include "Kernel.h"

struct LowLatencyState {
  PKEVENT events[2];  // referenced; guarded by eventLock
  PMDL captureMdls[2][2];  // [channel][half]
  PMDL playMdls[2][2];
  PUCHAR captureAddresses[2][2];
  PUCHAR playAddresses[2][2];
  ULONG clientValue;
  IO_REMOVE_LOCK removeLock;  // brackets every private request
  KSPIN_LOCK bufferLock;      // guards clientPlay and clientCapture in cardContext
  KSPIN_LOCK eventLock;
  LONG claimed;
  ULONG ownerToken;
};

extern LowLatencyState lowLatency;

VOID InitializeLowLatencyState();
