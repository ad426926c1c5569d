#include "kernel/portcls/Unknown.h"

#include <cstring>

#include "kernel/Sync.h"

// {00000000-0000-0000-C000-000000000046}: the one identifier every object answers.
const GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000,
                           {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

CUnknown::CUnknown(PUNKNOWN outer) {
  ownUnknown.owner = this;
  outerUnknown = outer ? outer : &ownUnknown;
}

CUnknown::~CUnknown() = default;

STDMETHODIMP CUnknown::NonDelegatingQueryInterface(REFIID interfaceId, PVOID* object) {
  if (IsEqualGUIDAligned(interfaceId, IID_IUnknown)) {
    *object = &ownUnknown;
    NonDelegatingAddRef();
    return STATUS_SUCCESS;
  }
  *object = nullptr;
  return STATUS_INVALID_PARAMETER;
}

STDMETHODIMP_(ULONG) CUnknown::NonDelegatingAddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&referenceCount));
}

STDMETHODIMP_(ULONG) CUnknown::NonDelegatingRelease() {
  const LONG count = InterlockedDecrement(&referenceCount);
  if (count == 0) {
    // Keep the object alive through its destructor, which may query itself.
    referenceCount = 1;
    delete this;
  }
  return static_cast<ULONG>(count);
}

STDMETHODIMP CUnknown::OwnUnknown::QueryInterface(REFIID interfaceId, PVOID* object) {
  return owner->NonDelegatingQueryInterface(interfaceId, object);
}
STDMETHODIMP_(ULONG) CUnknown::OwnUnknown::AddRef() { return owner->NonDelegatingAddRef(); }
STDMETHODIMP_(ULONG) CUnknown::OwnUnknown::Release() { return owner->NonDelegatingRelease(); }

void* CUnknown::operator new(std::size_t size, POOL_TYPE poolType, ULONG tag) noexcept {
  void* memory = ExAllocatePoolWithTag(poolType, size, tag);
  if (memory) std::memset(memory, 0, size);
  return memory;
}

void CUnknown::operator delete(void* object) {
  if (object) ExFreePool(object);
}

void CUnknown::operator delete(void* object, POOL_TYPE, ULONG) {
  if (object) ExFreePool(object);
}
