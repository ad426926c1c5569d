#include "Ports.h"

#include "Pin.h"

namespace kernel::portcls {

namespace {
// Answers a port's own query for the object behind an IUnknown.
const GUID IID_PortBase = {0x1F0E9C52, 0x6B0D, 0x4C3E,
                           {0x9B, 0x55, 0x2C, 0x7E, 0x3A, 0x10, 0x44, 0x01}};
}  // namespace

PortBase* portOf(PUNKNOWN unknown) {
  PVOID object = nullptr;
  if (!unknown || !NT_SUCCESS(unknown->QueryInterface(IID_PortBase, &object))) return nullptr;
  // The query added no reference: the answer is a plain pointer.
  return static_cast<PortBase*>(object);
}

const PCFILTER_DESCRIPTOR* PortBase::description() const {
  PMINIPORT miniport = miniportInterface();
  PPCFILTER_DESCRIPTOR descriptor = nullptr;
  if (!miniport || !NT_SUCCESS(miniport->GetDescription(&descriptor))) return nullptr;
  return descriptor;
}

namespace {
bool matchesOrWildcard(const GUID& asked, const GUID& offered) {
  return IsEqualGUIDAligned(offered, GUID_NULL) || IsEqualGUIDAligned(asked, offered);
}
}  // namespace

bool formatInRange(const KSDATAFORMAT& format, const KSDATARANGE& range) {
  if (!matchesOrWildcard(format.MajorFormat, range.MajorFormat) ||
      !matchesOrWildcard(format.SubFormat, range.SubFormat) ||
      !matchesOrWildcard(format.Specifier, range.Specifier)) {
    return false;
  }
  // An audio range with a wave format also bounds channels, bits and rate.
  if (range.FormatSize >= sizeof(KSDATARANGE_AUDIO) &&
      IsEqualGUIDAligned(format.Specifier, KSDATAFORMAT_SPECIFIER_WAVEFORMATEX) &&
      format.FormatSize >= sizeof(KSDATAFORMAT_WAVEFORMATEX)) {
    const auto& audio = reinterpret_cast<const KSDATARANGE_AUDIO&>(range);
    const auto& wave = reinterpret_cast<const KSDATAFORMAT_WAVEFORMATEX&>(format).WaveFormatEx;
    return wave.nChannels >= 1 && wave.nChannels <= audio.MaximumChannels &&
           wave.wBitsPerSample >= audio.MinimumBitsPerSample &&
           wave.wBitsPerSample <= audio.MaximumBitsPerSample &&
           wave.nSamplesPerSec >= audio.MinimumSampleFrequency &&
           wave.nSamplesPerSec <= audio.MaximumSampleFrequency;
  }
  return true;
}

// ---- WaveCyclic ------------------------------------------------------------------

WaveCyclicPort::WaveCyclicPort(PUNKNOWN outer) : CUnknown(outer) { KeInitializeMutex(&pinLock, 0); }

WaveCyclicPort::~WaveCyclicPort() { releaseMiniport(); }

STDMETHODIMP WaveCyclicPort::NonDelegatingQueryInterface(REFIID interfaceId, PVOID* object) {
  if (IsEqualGUIDAligned(interfaceId, IID_PortBase)) {
    *object = static_cast<PortBase*>(this);
    return STATUS_SUCCESS;
  }
  if (IsEqualGUIDAligned(interfaceId, IID_IPort) ||
      IsEqualGUIDAligned(interfaceId, IID_IPortWaveCyclic)) {
    *object = static_cast<IPortWaveCyclic*>(this);
    AddRef();
    return STATUS_SUCCESS;
  }
  return CUnknown::NonDelegatingQueryInterface(interfaceId, object);
}

STDMETHODIMP WaveCyclicPort::Init(PDEVICE_OBJECT device, PIRP, PUNKNOWN unknownMiniport,
                                  PUNKNOWN unknownAdapter, PRESOURCELIST resourceList) {
  if (boundMiniport || !unknownMiniport) return STATUS_INVALID_PARAMETER;
  PVOID miniport = nullptr;
  NTSTATUS status = unknownMiniport->QueryInterface(IID_IMiniportWaveCyclic, &miniport);
  if (!NT_SUCCESS(status)) return status;
  boundMiniport = static_cast<PMINIPORTWAVECYCLIC>(miniport);
  deviceObject = device;
  status = boundMiniport->Init(unknownAdapter, resourceList, this);
  if (!NT_SUCCESS(status)) releaseMiniport();
  return status;
}

STDMETHODIMP_(void) WaveCyclicPort::Notify(PSERVICEGROUP serviceGroup) {
  if (serviceGroup) serviceGroup->RequestService();
}

STDMETHODIMP WaveCyclicPort::NewMasterDmaChannel(PDMACHANNEL* dmaChannel, PUNKNOWN channelOuter,
                                                 PRESOURCELIST, ULONG maximumLength,
                                                 BOOLEAN dma32BitAddresses,
                                                 BOOLEAN dma64BitAddresses, ULONG, ULONG) {
  *dmaChannel = nullptr;
  auto* channel = new (NonPagedPool, kTagDmaChannel)
      DmaChannel(channelOuter, maximumLength, dma32BitAddresses && !dma64BitAddresses);
  if (!channel) return STATUS_INSUFFICIENT_RESOURCES;
  channel->AddRef();
  *dmaChannel = channel;
  return STATUS_SUCCESS;
}

NTSTATUS WaveCyclicPort::createPin(ULONG pinId, const KSDATAFORMAT* format, Pin** out) {
  *out = nullptr;
  const PCFILTER_DESCRIPTOR* descriptor = description();
  if (!descriptor || !boundMiniport) return STATUS_INVALID_DEVICE_REQUEST;
  if (pinId >= descriptor->PinCount || pinId >= RTL_NUMBER_OF(openPins) || !format ||
      format->FormatSize < sizeof(KSDATAFORMAT)) {
    return STATUS_INVALID_PARAMETER;
  }
  const PCPIN_DESCRIPTOR& pin = descriptor->Pins[pinId];
  if (pin.MaxFilterInstanceCount == 0) return STATUS_INVALID_DEVICE_REQUEST;  // a bridge
  bool inRange = false;
  for (ULONG i = 0; i < pin.KsPinDescriptor.DataRangesCount && !inRange; ++i) {
    inRange = formatInRange(*format, *pin.KsPinDescriptor.DataRanges[i]);
  }
  if (!inRange) return STATUS_NO_MATCH;

  KeWaitForSingleObject(&pinLock, Executive, KernelMode, FALSE, nullptr);
  if (openPins[pinId] >= pin.MaxFilterInstanceCount) {
    KeReleaseMutex(&pinLock, FALSE);
    return STATUS_DEVICE_BUSY;
  }
  auto* created = new (NonPagedPool, kTagPin) Pin(nullptr, GetNonDelegatingUnknown(), pinId);
  if (!created) {
    KeReleaseMutex(&pinLock, FALSE);
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  created->AddRef();
  PMINIPORTWAVECYCLICSTREAM stream = nullptr;
  PDMACHANNEL channel = nullptr;
  PSERVICEGROUP group = nullptr;
  const BOOLEAN capture = pin.KsPinDescriptor.DataFlow == KSPIN_DATAFLOW_OUT ? TRUE : FALSE;
  const NTSTATUS status =
      boundMiniport->NewStream(&stream, nullptr, NonPagedPool, pinId, capture,
                               const_cast<PKSDATAFORMAT>(format), &channel, &group);
  if (!NT_SUCCESS(status) || !stream) {
    KeReleaseMutex(&pinLock, FALSE);
    created->Release();
    return NT_SUCCESS(status) ? STATUS_UNSUCCESSFUL : status;
  }
  ++openPins[pinId];
  KeReleaseMutex(&pinLock, FALSE);
  created->attach(stream, channel, group);
  *out = created;
  return STATUS_SUCCESS;
}

void WaveCyclicPort::pinClosed(ULONG pinId) {
  KeWaitForSingleObject(&pinLock, Executive, KernelMode, FALSE, nullptr);
  if (pinId < RTL_NUMBER_OF(openPins) && openPins[pinId] > 0) --openPins[pinId];
  KeReleaseMutex(&pinLock, FALSE);
}

void WaveCyclicPort::releaseMiniport() {
  if (PMINIPORTWAVECYCLIC miniport = boundMiniport) {
    boundMiniport = nullptr;
    miniport->Release();
  }
}

std::vector<GUID> WaveCyclicPort::categories() const {
  return {KSCATEGORY_AUDIO, KSCATEGORY_RENDER, KSCATEGORY_CAPTURE};
}

// ---- Topology ---------------------------------------------------------------------

TopologyPort::TopologyPort(PUNKNOWN outer) : CUnknown(outer) {}

TopologyPort::~TopologyPort() { releaseMiniport(); }

STDMETHODIMP TopologyPort::NonDelegatingQueryInterface(REFIID interfaceId, PVOID* object) {
  if (IsEqualGUIDAligned(interfaceId, IID_PortBase)) {
    *object = static_cast<PortBase*>(this);
    return STATUS_SUCCESS;
  }
  if (IsEqualGUIDAligned(interfaceId, IID_IPort) ||
      IsEqualGUIDAligned(interfaceId, IID_IPortTopology)) {
    *object = static_cast<IPortTopology*>(this);
    AddRef();
    return STATUS_SUCCESS;
  }
  return CUnknown::NonDelegatingQueryInterface(interfaceId, object);
}

STDMETHODIMP TopologyPort::Init(PDEVICE_OBJECT, PIRP, PUNKNOWN unknownMiniport,
                                PUNKNOWN unknownAdapter, PRESOURCELIST resourceList) {
  if (boundMiniport || !unknownMiniport) return STATUS_INVALID_PARAMETER;
  PVOID miniport = nullptr;
  NTSTATUS status = unknownMiniport->QueryInterface(IID_IMiniportTopology, &miniport);
  if (!NT_SUCCESS(status)) return status;
  boundMiniport = static_cast<PMINIPORTTOPOLOGY>(miniport);
  status = boundMiniport->Init(unknownAdapter, resourceList, this);
  if (!NT_SUCCESS(status)) releaseMiniport();
  return status;
}

void TopologyPort::releaseMiniport() {
  if (PMINIPORTTOPOLOGY miniport = boundMiniport) {
    boundMiniport = nullptr;
    miniport->Release();
  }
}

std::vector<GUID> TopologyPort::categories() const {
  return {KSCATEGORY_AUDIO, KSCATEGORY_TOPOLOGY};
}

}  // namespace kernel::portcls
