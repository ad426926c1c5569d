#include <algorithm>

#include "Objects.h"

namespace kernel::portcls {

ServiceGroup::ServiceGroup(PUNKNOWN outer) : CUnknown(outer) {}

ServiceGroup::~ServiceGroup() {
  for (PSERVICESINK member : members) member->Release();
}

STDMETHODIMP ServiceGroup::NonDelegatingQueryInterface(REFIID interfaceId, PVOID* object) {
  if (IsEqualGUIDAligned(interfaceId, IID_IServiceGroup) ||
      IsEqualGUIDAligned(interfaceId, IID_IServiceSink)) {
    *object = static_cast<IServiceGroup*>(this);
    AddRef();
    return STATUS_SUCCESS;
  }
  return CUnknown::NonDelegatingQueryInterface(interfaceId, object);
}

// Runs at dispatch level (the service DPC); members are asked in turn.
STDMETHODIMP_(void) ServiceGroup::RequestService() {
  KIRQL old;
  KeAcquireSpinLock(&lock, &old);
  for (PSERVICESINK member : members) member->RequestService();
  KeReleaseSpinLock(&lock, old);
}

STDMETHODIMP ServiceGroup::AddMember(PSERVICESINK serviceSink) {
  if (!serviceSink) return STATUS_INVALID_PARAMETER;
  serviceSink->AddRef();
  KIRQL old;
  KeAcquireSpinLock(&lock, &old);
  members.push_back(serviceSink);
  KeReleaseSpinLock(&lock, old);
  return STATUS_SUCCESS;
}

STDMETHODIMP_(void) ServiceGroup::RemoveMember(PSERVICESINK serviceSink) {
  KIRQL old;
  KeAcquireSpinLock(&lock, &old);
  auto found = std::find(members.begin(), members.end(), serviceSink);
  const bool present = found != members.end();
  if (present) members.erase(found);
  KeReleaseSpinLock(&lock, old);
  if (present) serviceSink->Release();
}

STDMETHODIMP_(void) ServiceGroup::SupportDelayedService() {}
STDMETHODIMP_(void) ServiceGroup::RequestDelayedService(ULONGLONG) { RequestService(); }
STDMETHODIMP_(void) ServiceGroup::CancelDelayedService() {}

}  // namespace kernel::portcls
