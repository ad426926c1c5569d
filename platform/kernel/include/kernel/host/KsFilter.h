// Kernel streaming as a program reaches it: a handle on a published filter,
// property requests through IOCTL_KS_PROPERTY, format negotiation, and pins
// (streams) with their state, position, cyclic buffer and notifications.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "kernel/portcls/PortCls.h"

namespace kernel {

namespace portcls {
class Pin;
}

class KsPin {
 public:
  explicit KsPin(portcls::Pin* pin);
  ~KsPin();  // takes the pin to KSSTATE_STOP and closes it
  KsPin(const KsPin&) = delete;
  KsPin& operator=(const KsPin&) = delete;

  // Moves one state at a time to the target, as kernel streaming does.
  NTSTATUS setState(KSSTATE target);
  KSSTATE state() const;
  // The stream's position: a byte offset in its cyclic buffer.
  ULONG position() const;
  PUCHAR buffer() const;
  ULONG bufferSize() const;
  // Runs at dispatch level on the DPC thread each time the driver notifies
  // the stream's service group: keep it short and never block.
  void setNotification(std::function<void()> notification);
  // Notifications received so far.
  unsigned long long notifications() const;
  PMINIPORTWAVECYCLICSTREAM stream() const;

 private:
  portcls::Pin* pin;
};

class KsFilter {
 public:
  // Opens the filter the port class published under `name` on the device.
  static std::unique_ptr<KsFilter> open(PDEVICE_OBJECT device, const std::u16string& name,
                                        NTSTATUS* status = nullptr);
  ~KsFilter();
  KsFilter(const KsFilter&) = delete;
  KsFilter& operator=(const KsFilter&) = delete;

  PFILE_OBJECT file() const { return handle; }
  const PCFILTER_DESCRIPTOR* descriptor() const;

  // IOCTL_KS_PROPERTY: the request (a KSPROPERTY, or a KSP_NODE with
  // KSPROPERTY_TYPE_TOPOLOGY, followed by any instance data) and the value buffer.
  NTSTATUS property(const void* request, ULONG requestSize, void* value, ULONG valueSize,
                    ULONG_PTR* returned);
  // The same for a node property whose instance is a channel.
  NTSTATUS channelProperty(const GUID& set, ULONG id, ULONG verb, ULONG node, LONG channel,
                           void* value, ULONG valueSize, ULONG_PTR* returned);

  // The pin's format for a client's range: the miniport's intersection first,
  // as the port class asks it.
  NTSTATUS intersect(ULONG pinId, const KSDATARANGE* clientRange, void* result,
                     ULONG resultSize, ULONG* resultLength);
  // A stream on the pin in the given format.
  NTSTATUS createPin(ULONG pinId, const KSDATAFORMAT* format, std::unique_ptr<KsPin>* pin);

 private:
  KsFilter(PFILE_OBJECT file, PUNKNOWN port);
  PFILE_OBJECT handle;
  PUNKNOWN port;  // referenced
};

}  // namespace kernel
