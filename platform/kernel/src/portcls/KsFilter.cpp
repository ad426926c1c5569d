#include "kernel/host/KsFilter.h"

#include "Pin.h"
#include "Ports.h"
#include "kernel/host/IoManager.h"

namespace kernel {

// ---- KsPin ----------------------------------------------------------------------

KsPin::KsPin(portcls::Pin* instance) : pin(instance) {}

KsPin::~KsPin() {
  pin->close();
  pin->Release();
}

NTSTATUS KsPin::setState(KSSTATE target) { return pin->setState(target); }
KSSTATE KsPin::state() const { return pin->state(); }
ULONG KsPin::position() const { return pin->position(); }
PUCHAR KsPin::buffer() const { return pin->buffer(); }
ULONG KsPin::bufferSize() const { return pin->bufferSize(); }
void KsPin::setNotification(std::function<void()> notification) {
  pin->setNotification(std::move(notification));
}
unsigned long long KsPin::notifications() const { return pin->notifications(); }
PMINIPORTWAVECYCLICSTREAM KsPin::stream() const { return pin->stream(); }

// ---- KsFilter -------------------------------------------------------------------

KsFilter::KsFilter(PFILE_OBJECT file, PUNKNOWN filterPort) : handle(file), port(filterPort) {
  port->AddRef();
}

KsFilter::~KsFilter() {
  IoManager::close(handle);
  port->Release();
}

std::unique_ptr<KsFilter> KsFilter::open(PDEVICE_OBJECT device, const std::u16string& name,
                                         NTSTATUS* status) {
  PFILE_OBJECT file = nullptr;
  const NTSTATUS opened = device ? IoManager::open(device, name, &file) : STATUS_NO_SUCH_DEVICE;
  if (status) *status = opened;
  if (!NT_SUCCESS(opened)) return nullptr;
  if (!file->FsContext) {
    IoManager::close(file);
    if (status) *status = STATUS_OBJECT_NAME_NOT_FOUND;
    return nullptr;
  }
  return std::unique_ptr<KsFilter>(new KsFilter(file, static_cast<PUNKNOWN>(file->FsContext)));
}

const PCFILTER_DESCRIPTOR* KsFilter::descriptor() const {
  auto* base = portcls::portOf(port);
  return base ? base->description() : nullptr;
}

NTSTATUS KsFilter::property(const void* request, ULONG requestSize, void* value, ULONG valueSize,
                            ULONG_PTR* returned) {
  return IoManager::deviceControl(handle, IOCTL_KS_PROPERTY, const_cast<void*>(request),
                                  requestSize, value, valueSize, returned);
}

NTSTATUS KsFilter::channelProperty(const GUID& set, ULONG id, ULONG verb, ULONG node,
                                   LONG channel, void* value, ULONG valueSize,
                                   ULONG_PTR* returned) {
  KSNODEPROPERTY_AUDIO_CHANNEL request{};
  request.NodeProperty.Property.Set = set;
  request.NodeProperty.Property.Id = id;
  request.NodeProperty.Property.Flags = verb | KSPROPERTY_TYPE_TOPOLOGY;
  request.NodeProperty.NodeId = node;
  request.Channel = channel;
  return property(&request, sizeof request, value, valueSize, returned);
}

NTSTATUS KsFilter::intersect(ULONG pinId, const KSDATARANGE* clientRange, void* result,
                             ULONG resultSize, ULONG* resultLength) {
  auto* base = portcls::portOf(port);
  const PCFILTER_DESCRIPTOR* filter = base ? base->description() : nullptr;
  if (!filter || pinId >= filter->PinCount || !clientRange) return STATUS_INVALID_PARAMETER;
  const KSPIN_DESCRIPTOR& pin = filter->Pins[pinId].KsPinDescriptor;
  for (ULONG i = 0; i < pin.DataRangesCount; ++i) {
    const NTSTATUS status = base->miniportInterface()->DataRangeIntersection(
        pinId, const_cast<PKSDATARANGE>(clientRange), pin.DataRanges[i], resultSize, result,
        resultLength);
    if (status != STATUS_NO_MATCH) return status;
  }
  return STATUS_NO_MATCH;
}

NTSTATUS KsFilter::createPin(ULONG pinId, const KSDATAFORMAT* format,
                             std::unique_ptr<KsPin>* pin) {
  pin->reset();
  auto* wave = dynamic_cast<portcls::WaveCyclicPort*>(portcls::portOf(port));
  if (!wave) return STATUS_INVALID_DEVICE_REQUEST;
  portcls::Pin* created = nullptr;
  const NTSTATUS status = wave->createPin(pinId, format, &created);
  if (NT_SUCCESS(status)) *pin = std::make_unique<KsPin>(created);
  return status;
}

}  // namespace kernel
