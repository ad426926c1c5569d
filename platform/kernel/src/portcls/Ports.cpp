#include "Ports.h"

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

// ---- WaveCyclic ------------------------------------------------------------------

WaveCyclicPort::WaveCyclicPort(PUNKNOWN outer) : CUnknown(outer) {}

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
