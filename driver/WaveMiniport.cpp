#include "WaveMiniport.h"

#include "CardContext.h"
#include "Controller.h"
#include "Dma.h"

namespace {
constexpr ULONG kSpeakerStereo = 3;
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

// The engine's teardown. The DMA channels are stopped first: that takes the
// sleeping registerLock, which may not be taken under streamLock.
WaveMiniport::~WaveMiniport() {
  PAGED_CODE();
  auto& card = cardContext;
  if (card.waveMiniport == this) {
    if (card.engineReady && card.registers) {
      StopPlaybackDma();
      StopCaptureDma();
    }
    KIRQL old;
    KeAcquireSpinLock(&card.streamLock, &old);
    card.engineReady = 0;
    card.renderRunning = 0;
    card.captureRunning = 0;
    card.renderBuffer = nullptr;
    card.captureBuffer = nullptr;
    card.playRing = nullptr;
    card.captureRing = nullptr;
    KeReleaseSpinLock(&card.streamLock, old);
    card.waveMiniport = nullptr;
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
  *description = nullptr;
  return STATUS_NOT_IMPLEMENTED;
}

STDMETHODIMP WaveMiniport::DataRangeIntersection(ULONG, PKSDATARANGE, PKSDATARANGE, ULONG, PVOID,
                                                 PULONG) {
  return STATUS_NO_MATCH;
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

  channelConfiguration = kSpeakerStereo;
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

STDMETHODIMP WaveMiniport::NewStream(PMINIPORTWAVECYCLICSTREAM* stream, PUNKNOWN, POOL_TYPE, ULONG,
                                     BOOLEAN, PKSDATAFORMAT, PDMACHANNEL* dmaChannel,
                                     PSERVICEGROUP* serviceGroup) {
  *stream = nullptr;
  *dmaChannel = nullptr;
  *serviceGroup = nullptr;
  return STATUS_NOT_IMPLEMENTED;
}

STDMETHODIMP_(void) WaveMiniport::NotifyStream(ULONG) {}

STDMETHODIMP_(void) WaveMiniport::RestoreStreamStates() {}

STDMETHODIMP_(void) WaveMiniport::PowerDown() {}
