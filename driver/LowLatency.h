// The low-latency client: one program at a time that claims the card, maps
// its own buffers and is woken once per block.
#pragma once

#include "Kernel.h"

// The size every acquire and release of the remove lock names, as its
// initialisation does.
inline constexpr ULONG kRemoveLockSize = 24;

struct LowLatencyState {
  PKEVENT events[2];  // referenced; guarded by eventLock
  PMDL captureMdls[2][2];  // [channel][half]
  PMDL playMdls[2][2];
  PUCHAR captureAddresses[2][2];
  PUCHAR playAddresses[2][2];
  ULONG mappedLength;  // bytes of each mapped buffer
  ULONG clientValue;
  IO_REMOVE_LOCK removeLock;  // brackets every private request
  KSPIN_LOCK bufferLock;      // guards clientPlay and clientCapture in cardContext
  KSPIN_LOCK eventLock;
  KSPIN_LOCK claimLock;       // makes the claim and its token one step
  LONG claimed;
  ULONG ownerToken;
};

extern LowLatencyState lowLatency;

VOID InitializeLowLatencyState();

// Passive level, from the control requests.
NTSTATUS SetEvents(const UCHAR* input, ULONG inputLength);
VOID ReleaseEvents();
NTSTATUS MapClientBuffers(const UCHAR* input, ULONG inputLength);
VOID UnmapClientBuffers();
VOID LlStart();
VOID LlStop();
VOID InterleavePlayHalf(ULONG half);

// The service tick (dispatch level, streamLock held).
// Splits llCaptureBlock[half] into the client's two channel buffers of that half.
VOID DeinterleaveCaptureHalf(ULONG half);
VOID SignalClient();
