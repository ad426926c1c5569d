#include "LowLatency.h"

#include "BlockService.h"
#include "CardContext.h"
#include "SampleCodec.h"
#include "shared/CardControl.h"

LowLatencyState lowLatency;

namespace {

using cardctl::kEventsInputBytes;
using cardctl::kMapInputBytes;

ULONGLONG Word64(const UCHAR* input, ULONG index) {
  ULONGLONG value;
  RtlCopyMemory(&value, input + index * 8, sizeof value);
  return value;
}

ULONG BytesPerSample() { return cardContext.bitDepth / 8; }

// Fixed-size sample copies: the compiler turns them into plain moves.
template <ULONG SampleBytes>
VOID Interleave(PUCHAR out, const UCHAR* left, const UCHAR* right, ULONG frames) {
  for (ULONG k = 0; k < frames; ++k) {
    RtlCopyMemory(out, left + k * SampleBytes, SampleBytes);
    RtlCopyMemory(out + SampleBytes, right + k * SampleBytes, SampleBytes);
    out += 2 * SampleBytes;
  }
}

template <ULONG SampleBytes>
VOID Deinterleave(PUCHAR left, PUCHAR right, const UCHAR* in, ULONG frames) {
  ULONG k = 0;
  if constexpr (SampleBytes == 3) {
    // A word per sample: each store's fourth byte is overwritten by the next
    // sample's, so every frame but the last goes as two word moves.
    for (; k + 1 < frames; ++k) {
      codec::Store32(left + 3 * k, codec::Load32(in));
      codec::Store32(right + 3 * k, codec::Load32(in + 3));
      in += 6;
    }
  }
  for (; k < frames; ++k) {
    RtlCopyMemory(left + k * SampleBytes, in, SampleBytes);
    RtlCopyMemory(right + k * SampleBytes, in + SampleBytes, SampleBytes);
    in += 2 * SampleBytes;
  }
}

// Frames a client half may carry: the block's, but never past the mapped length.
ULONG ClientFrames() {
  const ULONG sampleBytes = BytesPerSample();
  const ULONG frames = cardContext.blockBytes / (2 * sampleBytes);
  const ULONG fits = lowLatency.mappedLength / sampleBytes;
  return frames < fits ? frames : fits;
}

// Unlocks and frees every descriptor and empties the address slots.
VOID FreeDescriptors() {
  auto& ll = lowLatency;
  PMDL* tables[] = {&ll.captureMdls[0][0], &ll.playMdls[0][0]};
  for (PMDL* table : tables) {
    for (int i = 0; i < 4; ++i) {
      if (!table[i]) continue;
      MmUnlockPages(table[i]);
      IoFreeMdl(table[i]);
      table[i] = nullptr;
    }
  }
  RtlZeroMemory(ll.captureAddresses, sizeof ll.captureAddresses);
  RtlZeroMemory(ll.playAddresses, sizeof ll.playAddresses);
}

}  // namespace

VOID InitializeLowLatencyState() {
  RtlZeroMemory(&lowLatency, sizeof lowLatency);
  IoInitializeRemoveLockEx(&lowLatency.removeLock, kTagRemoveLock, 0, 0, kRemoveLockSize);
  KeInitializeSpinLock(&lowLatency.bufferLock);
  KeInitializeSpinLock(&lowLatency.eventLock);
  KeInitializeSpinLock(&lowLatency.claimLock);
}

NTSTATUS SetEvents(const UCHAR* input, ULONG inputLength) {
  PAGED_CODE();
  if (!input || inputLength < kEventsInputBytes) return STATUS_UNSUCCESSFUL;
  const ULONGLONG handles[2] = {Word64(input, 0), Word64(input, 1)};
  KIRQL old;
  KeAcquireSpinLock(&lowLatency.eventLock, &old);
  const bool filled = lowLatency.events[0] || lowLatency.events[1];
  KeReleaseSpinLock(&lowLatency.eventLock, old);
  if (!handles[0] || !handles[1] || filled) return STATUS_UNSUCCESSFUL;

  PKEVENT referenced[2] = {};
  for (int half = 0; half < 2; ++half) {
    // Handles travel as 64-bit values of which the low 32 bits are the handle.
    HANDLE handle = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(handles[half] & 0xFFFFFFFF));
    PVOID object = nullptr;
    if (!NT_SUCCESS(ObReferenceObjectByHandle(handle, EVENT_MODIFY_STATE, *ExEventObjectType,
                                              KernelMode, &object, nullptr))) {
      if (referenced[0]) ObDereferenceObject(referenced[0]);
      return STATUS_UNSUCCESSFUL;
    }
    referenced[half] = static_cast<PKEVENT>(object);
  }
  KeAcquireSpinLock(&lowLatency.eventLock, &old);
  const bool raced = lowLatency.events[0] || lowLatency.events[1];
  if (!raced) {
    lowLatency.events[0] = referenced[0];
    lowLatency.events[1] = referenced[1];
  }
  KeReleaseSpinLock(&lowLatency.eventLock, old);
  if (raced) {
    ObDereferenceObject(referenced[0]);
    ObDereferenceObject(referenced[1]);
    return STATUS_UNSUCCESSFUL;
  }
  return STATUS_SUCCESS;
}

VOID ReleaseEvents() {
  PKEVENT released[2];
  KIRQL old;
  KeAcquireSpinLock(&lowLatency.eventLock, &old);
  released[0] = lowLatency.events[0];
  released[1] = lowLatency.events[1];
  lowLatency.events[0] = lowLatency.events[1] = nullptr;
  KeReleaseSpinLock(&lowLatency.eventLock, old);
  for (PKEVENT event : released) {
    if (event) ObDereferenceObject(event);
  }
}

NTSTATUS MapClientBuffers(const UCHAR* input, ULONG inputLength) {
  PAGED_CODE();
  if (!input || inputLength < kMapInputBytes) return STATUS_INVALID_PARAMETER;
  auto& ll = lowLatency;
  for (int channel = 0; channel < 2; ++channel) {
    for (int half = 0; half < 2; ++half) {
      if (ll.captureMdls[channel][half] || ll.playMdls[channel][half]) {
        return STATUS_INVALID_PARAMETER;
      }
    }
  }
  const ULONG length = static_cast<ULONG>(Word64(input, 8) & 0xFFFFFFFF);
  // Lock one buffer; false only when no descriptor could be had.
  auto lockBuffer = [length](ULONGLONG address, PMDL* mdl, PUCHAR* mapped) {
    if (address == 0) return true;
    *mdl = IoAllocateMdl(reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(address)), length, FALSE,
                         FALSE, nullptr);
    if (!*mdl) return false;
    __try {
      MmProbeAndLockPages(*mdl, KernelMode, IoWriteAccess);
    } __except (EXCEPTION_EXECUTE_HANDLER) {
      IoFreeMdl(*mdl);
      *mdl = nullptr;
      return true;  // this buffer stays unmapped; the others go on
    }
    *mapped = static_cast<PUCHAR>(MmGetSystemAddressForMdlSafe(*mdl, NormalPagePriority));
    return true;
  };
  bool complete = length > 0;
  for (int channel = 0; channel < 2 && complete; ++channel) {
    for (int half = 0; half < 2 && complete; ++half) {
      const ULONG slot = static_cast<ULONG>(channel * 2 + half);
      complete = lockBuffer(Word64(input, slot), &ll.captureMdls[channel][half],
                            &ll.captureAddresses[channel][half]) &&
                 lockBuffer(Word64(input, 4 + slot), &ll.playMdls[channel][half],
                            &ll.playAddresses[channel][half]);
    }
  }
  if (!complete) {
    FreeDescriptors();
    return length > 0 ? STATUS_INSUFFICIENT_RESOURCES : STATUS_INVALID_PARAMETER;
  }
  KIRQL old;
  KeAcquireSpinLock(&ll.bufferLock, &old);
  ll.mappedLength = length;
  RtlCopyMemory(cardContext.clientCapture, ll.captureAddresses, sizeof ll.captureAddresses);
  RtlCopyMemory(cardContext.clientPlay, ll.playAddresses, sizeof ll.playAddresses);
  KeReleaseSpinLock(&ll.bufferLock, old);
  return STATUS_SUCCESS;
}

// Also from the watchdog's cancel routine, at dispatch level.
VOID UnmapClientBuffers() {
  auto& ll = lowLatency;
  KIRQL old;
  KeAcquireSpinLock(&ll.bufferLock, &old);
  RtlZeroMemory(cardContext.clientPlay, sizeof cardContext.clientPlay);
  RtlZeroMemory(cardContext.clientCapture, sizeof cardContext.clientCapture);
  ll.mappedLength = 0;
  KeReleaseSpinLock(&ll.bufferLock, old);
  FreeDescriptors();
}

VOID LlStart() {
  UnderStreamLock([](CardContext& card) {
    InterlockedExchange(&card.llHalf, 0);
    card.llRunning = 1;
  });
}

VOID LlStop() {
  UnderStreamLock([](CardContext& card) {
    card.llRunning = 0;
    InterlockedExchange(&card.llHalf, 0);
    card.llEventIndex = 0;
  });
}

VOID InterleavePlayHalf(ULONG half) {
  auto& card = cardContext;
  KIRQL old;
  KeAcquireSpinLock(&lowLatency.bufferLock, &old);
  const PUCHAR left = card.clientPlay[0][half];
  const PUCHAR right = card.clientPlay[1][half];
  if (left && right) {
    AudioBlock& block = card.llPlayBlock[half];
    if (BytesPerSample() == 3) {
      Interleave<3>(block.data, left, right, ClientFrames());
    } else {
      Interleave<2>(block.data, left, right, ClientFrames());
    }
    if (card.routingMode == 0) DuckBlock(block);
  }
  KeReleaseSpinLock(&lowLatency.bufferLock, old);
}

VOID DeinterleaveCaptureHalf(ULONG half) {
  auto& card = cardContext;
  KeAcquireSpinLockAtDpcLevel(&lowLatency.bufferLock);
  const PUCHAR left = card.clientCapture[0][half];
  const PUCHAR right = card.clientCapture[1][half];
  if (left && right) {
    const AudioBlock& block = card.llCaptureBlock[half];
    if (BytesPerSample() == 3) {
      Deinterleave<3>(left, right, block.data, ClientFrames());
    } else {
      Deinterleave<2>(left, right, block.data, ClientFrames());
    }
  }
  KeReleaseSpinLockFromDpcLevel(&lowLatency.bufferLock);
}

VOID SignalClient() {
  auto& card = cardContext;
  KeAcquireSpinLockAtDpcLevel(&lowLatency.eventLock);
  if (PKEVENT event = lowLatency.events[card.llEventIndex]) {
    KeSetEvent(event, IO_NO_INCREMENT, FALSE);
    card.llEventIndex ^= 1;
  }
  KeReleaseSpinLockFromDpcLevel(&lowLatency.eventLock);
}
