#include "TopologyMiniport.h"

#include "CardContext.h"
#include "TopologyFilter.h"
#include "TopologyProperties.h"

NTSTATUS CreateTopologyMiniport(PUNKNOWN* unknown, REFCLSID, PUNKNOWN outerUnknown,
                                POOL_TYPE poolType) {
  *unknown = nullptr;
  auto* miniport = new (poolType, kTagAdapter) TopologyMiniport(outerUnknown);
  if (!miniport) return STATUS_INSUFFICIENT_RESOURCES;
  *unknown = static_cast<IMiniportTopology*>(miniport);
  miniport->AddRef();
  return STATUS_SUCCESS;
}

TopologyMiniport::~TopologyMiniport() {
  if (hardwareBlock && hardwareBlock->topology == this) hardwareBlock->topology = nullptr;
  if (cardCommon) cardCommon->Release();
}

STDMETHODIMP TopologyMiniport::NonDelegatingQueryInterface(REFIID interfaceId, PVOID* object) {
  if (IsEqualGUIDAligned(interfaceId, IID_IUnknown) ||
      IsEqualGUIDAligned(interfaceId, IID_IMiniport) ||
      IsEqualGUIDAligned(interfaceId, IID_IMiniportTopology) ||
      IsEqualGUIDAligned(interfaceId, IID_ICardTopology)) {
    *object = static_cast<IMiniportTopology*>(this);
    AddRef();
    return STATUS_SUCCESS;
  }
  *object = nullptr;
  return STATUS_INVALID_PARAMETER;
}

// The port takes a writable pointer by its interface; it never writes through it.
STDMETHODIMP TopologyMiniport::GetDescription(PPCFILTER_DESCRIPTOR* description) {
  PAGED_CODE();
  *description = const_cast<PPCFILTER_DESCRIPTOR>(&kTopologyFilterDescriptor);
  return STATUS_SUCCESS;
}

// The port class's own intersection serves this filter.
STDMETHODIMP TopologyMiniport::DataRangeIntersection(ULONG, PKSDATARANGE, PKSDATARANGE, ULONG,
                                                     PVOID, PULONG) {
  return STATUS_NOT_IMPLEMENTED;
}

STDMETHODIMP TopologyMiniport::Init(PUNKNOWN unknownAdapter, PRESOURCELIST, PPORTTOPOLOGY) {
  PAGED_CODE();
  PVOID common = nullptr;
  NTSTATUS status = unknownAdapter->QueryInterface(IID_ICardCommon, &common);
  if (!NT_SUCCESS(status)) return status;
  cardCommon = static_cast<PCARDCOMMON>(common);
  hardwareBlock = cardCommon->GetHardwareBlock();
  hardwareBlock->topology = this;
  initializeMixerLock();
  return STATUS_SUCCESS;
}
