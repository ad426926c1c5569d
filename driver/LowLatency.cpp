#include "LowLatency.h"

#include "CardContext.h"

LowLatencyState lowLatency;

namespace {
constexpr ULONG kRemoveLockSize = 24;
}  // namespace

VOID InitializeLowLatencyState() {
  RtlZeroMemory(&lowLatency, sizeof lowLatency);
  IoInitializeRemoveLockEx(&lowLatency.removeLock, kTagRemoveLock, 0, 0, kRemoveLockSize);
  lowLatency.bufferLock = 0;
  lowLatency.eventLock = 0;
}
