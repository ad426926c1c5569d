#include "WaveMiniport.h"

#include "CardCommon.h"
#include "CardContext.h"
#include "Controller.h"
#include "Dma.h"
#include "WaveFilter.h"
#include "WaveStream.h"

namespace {

constexpr ULONG kResultFormatBytes = sizeof(KSDATAFORMAT_WAVEFORMATEXTENSIBLE);  // 104
constexpr ULONG kWaveFormatExBytes = sizeof(KSDATAFORMAT_WAVEFORMATEX);          // 82

// The PCM subformat: its first 16 bits are the wave format tag 1.
bool IsPcmSubFormat(const GUID& subFormat) { return (subFormat.Data1 & 0xFFFF) == WAVE_FORMAT_PCM; }

}  // namespace

NTSTATUS CreateWaveMiniport(PUNKNOWN* unknown, REFCLSID, PUNKNOWN outerUnknown,
                            POOL_TYPE poolType) {
  *unknown = nullptr;
  auto* miniport = new (poolType, kTagAdapter) WaveMiniport(outerUnknown);
  if (!miniport) return STATUS_INSUFFICIENT_RESOURCES;
  *unknown = static_cast<IMiniportWaveCyclic*>(miniport);
  miniport->AddRef();
  return STATUS_SUCCESS;
}

WaveMiniport* WaveMiniport::FromTarget(PUNKNOWN target) {
  return static_cast<WaveMiniport*>(static_cast<IMiniportWaveCyclic*>(target));
}

// The engine's teardown. The service tick is switched off first, under
// streamLock; the DMA channels are stopped after it is released (stopping
// takes the sleeping registerLock, which may not be taken under streamLock);
// then the DPCs still queued run to their end before anything they touch goes.
// The blocks, the registry path and the settings thread live until the driver
// unloads, so a later start within the same load finds them.
WaveMiniport::~WaveMiniport() {
  PAGED_CODE();
  auto& card = cardContext;
  if (card.waveMiniport == this) {
    KIRQL old;
    KeAcquireSpinLock(&card.streamLock, &old);
    const bool wasReady = card.engineReady != 0;
    card.engineReady = 0;
    KeReleaseSpinLock(&card.streamLock, old);
    if (wasReady && card.registers) {
      StopPlaybackDma();
      StopCaptureDma();
    }
    KeFlushQueuedDpcs();
    KeAcquireSpinLock(&card.streamLock, &old);
    card.renderRunning = 0;
    card.captureRunning = 0;
    card.renderBuffer = nullptr;
    card.captureBuffer = nullptr;
    card.playRing = nullptr;
    card.captureRing = nullptr;
    card.waveMiniport = nullptr;
    KeReleaseSpinLock(&card.streamLock, old);
  }
  if (hardwareBlock && hardwareBlock->waveNotify == this) hardwareBlock->waveNotify = nullptr;
  if (cardCommon) cardCommon->Release();
  for (PDMACHANNEL channel : streamDmaChannels) {
    if (channel) channel->Release();
  }
  for (PDMACHANNEL channel : ringDmaChannels) {
    if (channel) channel->Release();
  }
  if (port) port->Release();
}

STDMETHODIMP WaveMiniport::NonDelegatingQueryInterface(REFIID interfaceId, PVOID* object) {
  if (IsEqualGUIDAligned(interfaceId, IID_IUnknown) ||
      IsEqualGUIDAligned(interfaceId, IID_IMiniport) ||
      IsEqualGUIDAligned(interfaceId, IID_IMiniportWaveCyclic)) {
    *object = static_cast<IMiniportWaveCyclic*>(this);
    AddRef();
    return STATUS_SUCCESS;
  }
  *object = nullptr;
  return STATUS_INVALID_PARAMETER;
}

STDMETHODIMP WaveMiniport::GetDescription(PPCFILTER_DESCRIPTOR* description) {
  *description = const_cast<PPCFILTER_DESCRIPTOR>(&WaveFilterDescriptor);
  return STATUS_SUCCESS;
}

NTSTATUS WaveMiniport::ValidateFormat(PKSDATAFORMAT dataFormat, ULONG pin) {
  if (!dataFormat || dataFormat->FormatSize < kWaveFormatExBytes ||
      !IsEqualGUIDAligned(dataFormat->MajorFormat, KSDATAFORMAT_TYPE_AUDIO) ||
      !IsEqualGUIDAligned(dataFormat->Specifier, KSDATAFORMAT_SPECIFIER_WAVEFORMATEX) ||
      !IsPcmSubFormat(dataFormat->SubFormat)) {
    return STATUS_UNSUCCESSFUL;
  }
  if (pin == kWavePinDigitalRender && !IoIsWdmVersionAvailable(6, 0)) {
    return STATUS_INVALID_PARAMETER;
  }
  const auto& wave = reinterpret_cast<PKSDATAFORMAT_WAVEFORMATEX>(dataFormat)->WaveFormatEx;
  if (wave.wBitsPerSample != cardContext.bitDepth ||
      wave.nSamplesPerSec != cardContext.sampleRate || wave.nChannels != 2) {
    return STATUS_UNSUCCESSFUL;
  }
  return STATUS_SUCCESS;
}

STDMETHODIMP WaveMiniport::DataRangeIntersection(ULONG pinId, PKSDATARANGE clientRange,
                                                 PKSDATARANGE matchingDataRange,
                                                 ULONG outputBufferLength,
                                                 PVOID resultantFormat,
                                                 PULONG resultantFormatLength) {
  PAGED_CODE();
  if (pinId != kWavePinCapture && pinId != kWavePinRender) return STATUS_NO_MATCH;
  if (!IsEqualGUIDAligned(clientRange->SubFormat, KSDATAFORMAT_SUBTYPE_PCM) &&
      !IsEqualGUIDAligned(clientRange->SubFormat, GUID_NULL)) {
    return STATUS_NO_MATCH;
  }
  if (!IsEqualGUIDAligned(clientRange->MajorFormat, KSDATAFORMAT_TYPE_AUDIO) &&
      !IsEqualGUIDAligned(clientRange->MajorFormat, GUID_NULL)) {
    return STATUS_NO_MATCH;
  }
  bool dsound = false;
  if (IsEqualGUIDAligned(clientRange->Specifier, KSDATAFORMAT_SPECIFIER_DSOUND)) {
    dsound = true;
  } else if (!IsEqualGUIDAligned(clientRange->Specifier, KSDATAFORMAT_SPECIFIER_WAVEFORMATEX) &&
             !IsEqualGUIDAligned(clientRange->Specifier, GUID_NULL)) {
    return STATUS_NO_MATCH;
  }

  const auto& card = cardContext;
  ULONG channels = 2;
  ULONG bits = card.bitDepth;
  ULONG rate = card.sampleRate;
  // A client range without audio limits takes the card's format.
  if (clientRange->FormatSize >= sizeof(KSDATARANGE_AUDIO)) {
    const auto* client = reinterpret_cast<PKSDATARANGE_AUDIO>(clientRange);
    const bool cardFits = client->MaximumChannels >= 2 &&
                          client->MinimumBitsPerSample <= bits &&
                          bits <= client->MaximumBitsPerSample &&
                          client->MinimumSampleFrequency <= rate &&
                          rate <= client->MaximumSampleFrequency;
    if (!cardFits) {
      channels = client->MaximumChannels;
      bits = client->MaximumBitsPerSample;
      rate = client->MaximumSampleFrequency;
    }
  }

  if (outputBufferLength == 0) {
    *resultantFormatLength = kResultFormatBytes;
    return STATUS_BUFFER_OVERFLOW;
  }
  if (outputBufferLength < kResultFormatBytes) return STATUS_BUFFER_TOO_SMALL;
  if (dsound) return STATUS_NOT_SUPPORTED;

  auto* result = static_cast<KSDATAFORMAT_WAVEFORMATEXTENSIBLE*>(resultantFormat);
  RtlCopyMemory(&result->DataFormat, matchingDataRange, sizeof(KSDATAFORMAT));
  auto& format = result->WaveFormatExt;
  format.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
  format.Format.nChannels = static_cast<WORD>(channels);
  format.Format.nSamplesPerSec = rate;
  format.Format.nBlockAlign = static_cast<WORD>(bits / 8 * channels);
  format.Format.nAvgBytesPerSec = format.Format.nBlockAlign * rate;
  format.Format.wBitsPerSample = static_cast<WORD>(bits);
  format.Format.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);  // 22
  format.Samples.wValidBitsPerSample = static_cast<WORD>(bits);
  format.dwChannelMask = KSAUDIO_SPEAKER_STEREO;
  format.SubFormat = KSDATAFORMAT_SUBTYPE_PCM;
  result->DataFormat.FormatSize = kResultFormatBytes;
  result->DataFormat.SampleSize = format.Format.nBlockAlign;
  *resultantFormatLength = kResultFormatBytes;
  return STATUS_SUCCESS;
}

NTSTATUS WaveMiniport::CreateDmaChannel(PDMACHANNEL* channel) {
  NTSTATUS status = port->NewMasterDmaChannel(channel, nullptr, nullptr, kStreamBufferBytes, TRUE,
                                              FALSE, static_cast<ULONG>(-1),
                                              static_cast<ULONG>(-1));
  if (!NT_SUCCESS(status)) return status;
  return (*channel)->AllocateBuffer(kStreamBufferBytes, nullptr);
}

STDMETHODIMP WaveMiniport::Init(PUNKNOWN unknownAdapter, PRESOURCELIST resourceList,
                                PPORTWAVECYCLIC wavePort) {
  PAGED_CODE();
  port = wavePort;
  port->AddRef();
  PVOID common = nullptr;
  NTSTATUS status = unknownAdapter->QueryInterface(IID_ICardCommon, &common);
  if (!NT_SUCCESS(status)) return status;
  cardCommon = static_cast<PCARDCOMMON>(common);

  hardwareBlock = cardCommon->GetHardwareBlock();
  hardwareBlock->waveNotify = this;

  channelConfiguration = KSAUDIO_SPEAKER_STEREO;
  for (ULONG index = 0; index < 2; ++index) {
    streamAllocated[index] = 0;
    status = CreateDmaChannel(&streamDmaChannels[index]);
    if (!NT_SUCCESS(status)) return status;
  }
  for (PDMACHANNEL& ring : ringDmaChannels) {
    status = CreateDmaChannel(&ring);
    if (!NT_SUCCESS(status)) return status;
  }

  auto& card = cardContext;
  card.renderBuffer = static_cast<PUCHAR>(streamDmaChannels[kRenderIndex]->SystemAddress());
  card.captureBuffer = static_cast<PUCHAR>(streamDmaChannels[kCaptureIndex]->SystemAddress());
  card.playRingPhysical = ringDmaChannels[0]->PhysicalAddress();
  card.captureRingPhysical = ringDmaChannels[1]->PhysicalAddress();
  card.playRing = static_cast<PUCHAR>(ringDmaChannels[0]->SystemAddress());
  card.captureRing = static_cast<PUCHAR>(ringDmaChannels[1]->SystemAddress());
  card.waveMiniport = this;

  KeInitializeMutex(&formatLock, 0);
  ReadMixerRecord();
  card.engineReady = 1;

  return resourceList->NumberOfEntriesOfType(CmResourceTypeInterrupt) > 0
             ? STATUS_SUCCESS
             : STATUS_DEVICE_CONFIGURATION_ERROR;
}

STDMETHODIMP WaveMiniport::NewStream(PMINIPORTWAVECYCLICSTREAM* outStream, PUNKNOWN streamOuter,
                                     POOL_TYPE poolType, ULONG pin, BOOLEAN capture,
                                     PKSDATAFORMAT dataFormat, PDMACHANNEL* outDmaChannel,
                                     PSERVICEGROUP* outServiceGroup) {
  PAGED_CODE();
  *outStream = nullptr;
  *outDmaChannel = nullptr;
  *outServiceGroup = nullptr;
  StartEngine();  // a no-op once started
  if (ReadLongAcquire(&cardContext.engineStarted) != 1) return STATUS_UNSUCCESSFUL;
  if (!NT_SUCCESS(ValidateFormat(dataFormat, pin))) return STATUS_UNSUCCESSFUL;
  const ULONG index = capture ? kCaptureIndex : kRenderIndex;
  if (streamAllocated[index]) return STATUS_UNSUCCESSFUL;

  auto* stream = new (poolType, kTagStream) WaveStream(streamOuter);
  if (!stream) return STATUS_INSUFFICIENT_RESOURCES;
  stream->AddRef();
  const NTSTATUS status =
      stream->Init(this, index, capture, streamDmaChannels[index], dataFormat);
  if (!NT_SUCCESS(status)) {
    stream->Release();
    return status;
  }
  KIRQL old;
  KeAcquireSpinLock(&cardContext.streamLock, &old);
  streamAllocated[index] = 1;
  streams[index] = stream;
  KeReleaseSpinLock(&cardContext.streamLock, old);
  stream->Published();

  *outStream = stream;
  *outServiceGroup = stream->ServiceGroup();
  (*outServiceGroup)->AddRef();
  *outDmaChannel = streamDmaChannels[index];
  (*outDmaChannel)->AddRef();
  return STATUS_SUCCESS;
}

VOID WaveMiniport::StreamClosed(ULONG index) {
  KIRQL old;
  KeAcquireSpinLock(&cardContext.streamLock, &old);
  streamAllocated[index] = 0;
  streams[index] = nullptr;
  KeReleaseSpinLock(&cardContext.streamLock, old);
}

STDMETHODIMP_(void) WaveMiniport::NotifyStream(ULONG index) {
  if (index > kCaptureIndex || !streamAllocated[index] || !port) return;
  if (PSERVICEGROUP group = streams[index]->ServiceGroup()) port->Notify(group);
}

STDMETHODIMP_(void) WaveMiniport::RestoreStreamStates() {
  PAGED_CODE();
  KSSTATE remembered[2] = {KSSTATE_STOP, KSSTATE_STOP};
  for (ULONG index = 0; index < 2; ++index) {
    if (!streamAllocated[index]) continue;
    remembered[index] = streams[index]->State();
    streams[index]->SetState(KSSTATE_STOP);
  }
  for (ULONG index = 0; index < 2; ++index) {
    if (!streamAllocated[index]) continue;
    streams[index]->SetState(KSSTATE_ACQUIRE);
    streams[index]->SetState(remembered[index]);
  }
}

STDMETHODIMP_(void) WaveMiniport::PowerDown() {}
