// A pin instance of a wave port: the miniport's stream, its DMA channel and
// service group, and its kernel-streaming state.
#pragma once

#include <atomic>
#include <functional>

#include "Objects.h"

namespace kernel::portcls {

inline constexpr ULONG kTagPin = 0x6E506350;  // "PcPn"

class Pin final : public IServiceSink, public CUnknown {
 public:
  Pin(PUNKNOWN outer, PUNKNOWN port, ULONG pinId);
  ~Pin() override;
  DECLARE_STD_UNKNOWN()

  // The stream is handed over by the port after NewStream succeeded.
  void attach(PMINIPORTWAVECYCLICSTREAM stream, PDMACHANNEL dmaChannel,
              PSERVICEGROUP serviceGroup);
  ULONG pinId() const { return id; }
  PUNKNOWN port() const { return owner; }

  // IServiceSink: the driver's notification, at dispatch level.
  STDMETHODIMP_(void) RequestService() override;

  NTSTATUS setState(KSSTATE target);
  KSSTATE state() const { return current; }
  ULONG position() const;
  PUCHAR buffer() const;
  ULONG bufferSize() const;
  PMINIPORTWAVECYCLICSTREAM stream() const { return miniportStream; }
  void setNotification(std::function<void()> notification);
  unsigned long long notifications() const { return notified.load(); }
  // Stops the stream and lets go of it, its channel and its group.
  void close();

 private:
  PUNKNOWN owner;  // the port, referenced
  ULONG id;
  PMINIPORTWAVECYCLICSTREAM miniportStream = nullptr;
  PDMACHANNEL channel = nullptr;
  PSERVICEGROUP group = nullptr;
  KSSTATE current = KSSTATE_STOP;
  KSPIN_LOCK notificationLock = 0;
  std::function<void()> onNotify;  // guarded by notificationLock
  std::atomic<unsigned long long> notified{0};
};

}  // namespace kernel::portcls
