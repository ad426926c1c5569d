#include "WaveStream.h"

#include "CardContext.h"

WaveStream::~WaveStream() {
  PAGED_CODE();
  if (!miniport) return;  // never initialised
  if (state != KSSTATE_STOP) SetState(KSSTATE_STOP);
  // Unpublished first, so the service tick no longer notifies this stream.
  if (streamPublished) miniport->StreamClosed(index);
  if (serviceGroup) serviceGroup->Release();
  if (dmaChannel) dmaChannel->Release();
  static_cast<IMiniportWaveCyclic*>(miniport)->Release();
}

STDMETHODIMP WaveStream::NonDelegatingQueryInterface(REFIID interfaceId, PVOID* object) {
  if (IsEqualGUIDAligned(interfaceId, IID_IUnknown) ||
      IsEqualGUIDAligned(interfaceId, IID_IMiniportWaveCyclicStream)) {
    *object = static_cast<IMiniportWaveCyclicStream*>(this);
  } else if (IsEqualGUIDAligned(interfaceId, IID_IDrmAudioStream)) {
    *object = static_cast<IDrmAudioStream*>(this);
  } else {
    *object = nullptr;
    return STATUS_INVALID_PARAMETER;
  }
  static_cast<IUnknown*>(*object)->AddRef();
  return STATUS_SUCCESS;
}

NTSTATUS WaveStream::Init(WaveMiniport* owner, ULONG streamIndex, BOOLEAN isCapture,
                          PDMACHANNEL channel, PKSDATAFORMAT dataFormat) {
  PAGED_CODE();
  miniport = owner;
  static_cast<IMiniportWaveCyclic*>(miniport)->AddRef();
  dmaChannel = channel;
  dmaChannel->AddRef();
  state = KSSTATE_STOP;
  capture = isCapture ? 1 : 0;
  index = streamIndex;
  isRender = index == kRenderIndex ? 1 : 0;
  pausedFromRun = 0;
  NTSTATUS status = PcNewServiceGroup(&serviceGroup, nullptr);
  if (!NT_SUCCESS(status)) return status;
  return SetFormat(dataFormat);
}

STDMETHODIMP WaveStream::SetFormat(PKSDATAFORMAT dataFormat) {
  PAGED_CODE();
  const NTSTATUS status = WaveMiniport::ValidateFormat(dataFormat, static_cast<ULONG>(-1));
  if (!NT_SUCCESS(status)) return status;
  const auto& wave = reinterpret_cast<PKSDATAFORMAT_WAVEFORMATEX>(dataFormat)->WaveFormatEx;
  KeWaitForSingleObject(miniport->FormatLock(), Executive, KernelMode, FALSE, nullptr);
  sampleRate = wave.nSamplesPerSec;
  channels = wave.nChannels;
  bitsPerSample = wave.wBitsPerSample;
  KeReleaseMutex(miniport->FormatLock(), FALSE);
  // The new values stay stored even while running.
  return state == KSSTATE_RUN ? STATUS_INVALID_DEVICE_REQUEST : STATUS_SUCCESS;
}

STDMETHODIMP_(ULONG) WaveStream::SetNotificationFreq(ULONG interval, PULONG framingSize) {
  PAGED_CODE();
  miniport->notificationInterval = interval;
  if (state == KSSTATE_RUN) return 0;
  notificationFrames = sampleRate * interval / 1000;
  framingBytes = bitsPerSample / 8 * channels * notificationFrames;
  *framingSize = framingBytes;
  return interval;
}

STDMETHODIMP WaveStream::SetState(KSSTATE newState) {
  PAGED_CODE();
  if (newState == state) return STATUS_SUCCESS;
  auto& card = cardContext;
  const LONG twoBlocks = static_cast<LONG>(2 * card.blockBytes);
  KIRQL old;
  switch (newState) {
    case KSSTATE_STOP:
      KeAcquireSpinLock(&card.streamLock, &old);
      (isRender ? card.renderRunning : card.captureRunning) = 0;
      KeReleaseSpinLock(&card.streamLock, old);
      break;
    case KSSTATE_ACQUIRE:
      break;
    case KSSTATE_PAUSE:
      if (state == KSSTATE_RUN) {
        KeAcquireSpinLock(&card.streamLock, &old);
        pausedFromRun = 1;
        (isRender ? card.renderRunning : card.captureRunning) = 0;
        KeReleaseSpinLock(&card.streamLock, old);
      }
      break;
    case KSSTATE_RUN:
      KeAcquireSpinLock(&card.streamLock, &old);
      if (state == KSSTATE_PAUSE && pausedFromRun) {
        // A resume re-reads the last two blocks.
        pausedFromRun = 0;
        if (isRender) {
          card.renderPrimed = 0;
          card.renderReadOffset -= twoBlocks;
          if (card.renderReadOffset < 0) card.renderReadOffset += card.streamBufferSize;
          card.renderNotifyBytes = 0;
          card.renderRunning = 1;
        } else {
          card.captureRunning = 1;
        }
      } else if (isRender) {
        // A fresh start takes its first two blocks from the end of the buffer.
        card.renderReadOffset = static_cast<LONG>(card.streamBufferSize) - twoBlocks;
        card.renderNotifyBytes = 0;
        card.renderPosition = 0;
        card.renderPrimed = 0;
        card.renderRunning = 1;
      } else {
        card.capturePosition = 0;
        card.captureNotifyBytes = 0;
        card.captureRunning = 1;
      }
      KeReleaseSpinLock(&card.streamLock, old);
      break;
  }
  // Stored under streamLock: GetPosition reads it there, on any thread.
  KeAcquireSpinLock(&card.streamLock, &old);
  state = newState;
  KeReleaseSpinLock(&card.streamLock, old);
  return STATUS_SUCCESS;
}

// Taken under streamLock rather than as a bare 32-bit read: the service tick
// moves the positions on another processor.
STDMETHODIMP WaveStream::GetPosition(PULONG position) {
  auto& card = cardContext;
  ULONG current = 0;
  KIRQL old;
  KeAcquireSpinLock(&card.streamLock, &old);
  if (dmaChannel && state == KSSTATE_RUN) {
    current = isRender ? card.renderPosition : card.capturePosition;
  }
  KeReleaseSpinLock(&card.streamLock, old);
  *position = current;
  return STATUS_SUCCESS;
}

STDMETHODIMP WaveStream::NormalizePhysicalPosition(PLONGLONG physicalPosition) {
  const LONGLONG bytesPerSecond =
      static_cast<LONGLONG>(bitsPerSample / 8) * channels * sampleRate;
  if (bytesPerSecond > 0) *physicalPosition = *physicalPosition * 10000000 / bytesPerSecond;
  return STATUS_SUCCESS;
}

STDMETHODIMP_(void) WaveStream::Silence(PVOID buffer, ULONG byteCount) {
  RtlZeroMemory(buffer, byteCount);
}

STDMETHODIMP WaveStream::SetContentId(ULONG, struct DRMRIGHTS*) { return STATUS_SUCCESS; }
