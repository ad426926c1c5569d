#include "Objects.h"

namespace kernel::portcls {

ResourceList::ResourceList(PUNKNOWN outer,
                           const std::vector<CM_PARTIAL_RESOURCE_DESCRIPTOR>& list)
    : CUnknown(outer) {
  if (list.empty()) return;
  entries = static_cast<PCM_PARTIAL_RESOURCE_DESCRIPTOR>(ExAllocatePoolWithTag(
      NonPagedPool, list.size() * sizeof(CM_PARTIAL_RESOURCE_DESCRIPTOR), kTagResourceList));
  if (!entries) return;
  std::memcpy(entries, list.data(), list.size() * sizeof(CM_PARTIAL_RESOURCE_DESCRIPTOR));
  count = static_cast<ULONG>(list.size());
}

ResourceList::~ResourceList() {
  if (entries) ExFreePoolWithTag(entries, kTagResourceList);
}

STDMETHODIMP ResourceList::NonDelegatingQueryInterface(REFIID interfaceId, PVOID* object) {
  if (IsEqualGUIDAligned(interfaceId, IID_IResourceList)) {
    *object = static_cast<IResourceList*>(this);
    AddRef();
    return STATUS_SUCCESS;
  }
  return CUnknown::NonDelegatingQueryInterface(interfaceId, object);
}

STDMETHODIMP_(ULONG) ResourceList::NumberOfEntries() { return count; }

STDMETHODIMP_(ULONG) ResourceList::NumberOfEntriesOfType(CM_RESOURCE_TYPE type) {
  ULONG matching = 0;
  for (ULONG i = 0; i < count; ++i) matching += entries[i].Type == type;
  return matching;
}

STDMETHODIMP_(PCM_PARTIAL_RESOURCE_DESCRIPTOR) ResourceList::FindTranslatedEntry(
    CM_RESOURCE_TYPE type, ULONG index) {
  for (ULONG i = 0; i < count; ++i) {
    if (entries[i].Type == type && index-- == 0) return &entries[i];
  }
  return nullptr;
}

// Bus and processor addresses are the same on this machine.
STDMETHODIMP_(PCM_PARTIAL_RESOURCE_DESCRIPTOR) ResourceList::FindUntranslatedEntry(
    CM_RESOURCE_TYPE type, ULONG index) {
  return FindTranslatedEntry(type, index);
}

}  // namespace kernel::portcls
