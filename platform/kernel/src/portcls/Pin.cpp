#include "Pin.h"

#include "Ports.h"

namespace kernel::portcls {

Pin::Pin(PUNKNOWN outer, PUNKNOWN port, ULONG pinId) : CUnknown(outer), owner(port), id(pinId) {
  owner->AddRef();
}

Pin::~Pin() {
  close();
  owner->Release();
}

STDMETHODIMP Pin::NonDelegatingQueryInterface(REFIID interfaceId, PVOID* object) {
  if (IsEqualGUIDAligned(interfaceId, IID_IServiceSink)) {
    *object = static_cast<IServiceSink*>(this);
    AddRef();
    return STATUS_SUCCESS;
  }
  return CUnknown::NonDelegatingQueryInterface(interfaceId, object);
}

void Pin::attach(PMINIPORTWAVECYCLICSTREAM stream, PDMACHANNEL dmaChannel,
                 PSERVICEGROUP serviceGroup) {
  miniportStream = stream;
  channel = dmaChannel;
  group = serviceGroup;
  if (group) group->AddMember(this);
}

STDMETHODIMP_(void) Pin::RequestService() {
  ++notified;
  KeAcquireSpinLockAtDpcLevel(&notificationLock);
  if (onNotify) onNotify();
  KeReleaseSpinLockFromDpcLevel(&notificationLock);
}

void Pin::setNotification(std::function<void()> notification) {
  KIRQL old;
  KeAcquireSpinLock(&notificationLock, &old);
  onNotify.swap(notification);
  KeReleaseSpinLock(&notificationLock, old);
  // The old callback, if any, is destroyed here, outside the lock.
}

NTSTATUS Pin::setState(KSSTATE target) {
  if (!miniportStream) return STATUS_INVALID_DEVICE_REQUEST;
  while (current != target) {
    const auto next = static_cast<KSSTATE>(current < target ? current + 1 : current - 1);
    const NTSTATUS status = miniportStream->SetState(next);
    if (!NT_SUCCESS(status)) return status;
    current = next;
  }
  return STATUS_SUCCESS;
}

ULONG Pin::position() const {
  ULONG position = 0;
  if (miniportStream) miniportStream->GetPosition(&position);
  return position;
}

PUCHAR Pin::buffer() const {
  return channel ? static_cast<PUCHAR>(channel->SystemAddress()) : nullptr;
}

ULONG Pin::bufferSize() const { return channel ? channel->BufferSize() : 0; }

void Pin::close() {
  if (!miniportStream) return;
  setState(KSSTATE_STOP);
  setNotification(nullptr);
  if (group) {
    group->RemoveMember(this);
    group->Release();
    group = nullptr;
  }
  miniportStream->Release();
  miniportStream = nullptr;
  if (channel) {
    channel->Release();
    channel = nullptr;
  }
  if (auto* wave = dynamic_cast<WaveCyclicPort*>(portOf(owner))) wave->pinClosed(id);
}

}  // namespace kernel::portcls
