#include "Objects.h"
#include "kernel/Registers.h"

namespace kernel::portcls {

DmaChannel::DmaChannel(PUNKNOWN outer, ULONG maximum, bool only32)
    : CUnknown(outer), maximumLength(maximum), addresses32(only32) {}

DmaChannel::~DmaChannel() { FreeBuffer(); }

STDMETHODIMP DmaChannel::NonDelegatingQueryInterface(REFIID interfaceId, PVOID* object) {
  if (IsEqualGUIDAligned(interfaceId, IID_IDmaChannel)) {
    *object = static_cast<IDmaChannel*>(this);
    AddRef();
    return STATUS_SUCCESS;
  }
  return CUnknown::NonDelegatingQueryInterface(interfaceId, object);
}

STDMETHODIMP DmaChannel::AllocateBuffer(ULONG size, PPHYSICAL_ADDRESS constraint) {
  if (buffer || size == 0 || size > maximumLength) return STATUS_INVALID_PARAMETER;
  PHYSICAL_ADDRESS highest;
  highest.QuadPart = addresses32 ? 0xFFFFFFFFLL : 0x7FFFFFFFFFFFFFFFLL;
  if (constraint && constraint->QuadPart && constraint->QuadPart < highest.QuadPart) {
    highest = *constraint;
  }
  buffer = MmAllocateContiguousMemory(size, highest);
  if (!buffer) return STATUS_INSUFFICIENT_RESOURCES;
  physical = MmGetPhysicalAddress(buffer);
  allocatedSize = size;
  bufferSize = size;
  return STATUS_SUCCESS;
}

STDMETHODIMP_(void) DmaChannel::FreeBuffer() {
  if (!buffer) return;
  MmFreeContiguousMemory(buffer);
  buffer = nullptr;
  physical.QuadPart = 0;
  allocatedSize = 0;
  bufferSize = 0;
}

STDMETHODIMP_(ULONG) DmaChannel::TransferCount() { return maximumLength; }
STDMETHODIMP_(ULONG) DmaChannel::MaximumBufferSize() { return maximumLength; }
STDMETHODIMP_(ULONG) DmaChannel::AllocatedBufferSize() { return allocatedSize; }
STDMETHODIMP_(ULONG) DmaChannel::BufferSize() { return bufferSize; }

STDMETHODIMP_(void) DmaChannel::SetBufferSize(ULONG size) {
  if (size <= allocatedSize) bufferSize = size;
}

STDMETHODIMP_(PVOID) DmaChannel::SystemAddress() { return buffer; }
STDMETHODIMP_(PHYSICAL_ADDRESS) DmaChannel::PhysicalAddress() { return physical; }

STDMETHODIMP_(void) DmaChannel::CopyTo(PVOID destination, PVOID source, ULONG byteCount) {
  std::memcpy(destination, source, byteCount);
}

STDMETHODIMP_(void) DmaChannel::CopyFrom(PVOID destination, PVOID source, ULONG byteCount) {
  std::memcpy(destination, source, byteCount);
}

}  // namespace kernel::portcls
