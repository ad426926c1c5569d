// The two port drivers: each binds one miniport and speaks for it.
#pragma once

#include "Objects.h"

namespace kernel::portcls {

// What the port class needs of every port beyond its interfaces.
class PortBase {
 public:
  virtual ~PortBase() = default;
  // Drops the port's miniport, breaking the reference cycle between the two
  // (the miniport keeps its port) when the subdevice goes away.
  virtual void releaseMiniport() = 0;
  virtual std::vector<GUID> categories() const = 0;
  // The bound miniport's common interface (not referenced), or null.
  virtual PMINIPORT miniportInterface() const = 0;
  // The miniport's filter descriptor, or null.
  const PCFILTER_DESCRIPTOR* description() const;
};

class WaveCyclicPort final : public IPortWaveCyclic, public PortBase, public CUnknown {
 public:
  explicit WaveCyclicPort(PUNKNOWN outer);
  ~WaveCyclicPort() override;
  DECLARE_STD_UNKNOWN()

  STDMETHODIMP Init(PDEVICE_OBJECT deviceObject, PIRP irp, PUNKNOWN unknownMiniport,
                    PUNKNOWN unknownAdapter, PRESOURCELIST resourceList) override;
  STDMETHODIMP_(void) Notify(PSERVICEGROUP serviceGroup) override;
  STDMETHODIMP NewMasterDmaChannel(PDMACHANNEL* dmaChannel, PUNKNOWN outerUnknown,
                                   PRESOURCELIST resourceList, ULONG maximumLength,
                                   BOOLEAN dma32BitAddresses, BOOLEAN dma64BitAddresses,
                                   ULONG dmaWidth, ULONG dmaSpeed) override;

  void releaseMiniport() override;
  std::vector<GUID> categories() const override;
  PMINIPORT miniportInterface() const override { return boundMiniport; }
  PDEVICE_OBJECT device() const { return deviceObject; }

  // A stream on the pin: instance count and data ranges checked, then the
  // miniport's NewStream. Passive level.
  NTSTATUS createPin(ULONG pinId, const KSDATAFORMAT* format, class Pin** pin);
  void pinClosed(ULONG pinId);

 private:
  PMINIPORTWAVECYCLIC boundMiniport = nullptr;
  PDEVICE_OBJECT deviceObject = nullptr;
  KMUTEX pinLock;  // guards openPins
  ULONG openPins[32] = {};
};

class TopologyPort final : public IPortTopology, public PortBase, public CUnknown {
 public:
  explicit TopologyPort(PUNKNOWN outer);
  ~TopologyPort() override;
  DECLARE_STD_UNKNOWN()

  STDMETHODIMP Init(PDEVICE_OBJECT deviceObject, PIRP irp, PUNKNOWN unknownMiniport,
                    PUNKNOWN unknownAdapter, PRESOURCELIST resourceList) override;

  void releaseMiniport() override;
  std::vector<GUID> categories() const override;
  PMINIPORT miniportInterface() const override { return boundMiniport; }

 private:
  PMINIPORTTOPOLOGY boundMiniport = nullptr;
};

// The port behind a port's IUnknown, or null if it is none of ours.
PortBase* portOf(PUNKNOWN unknown);

// Whether a format falls within a pin's data range.
bool formatInRange(const KSDATAFORMAT& format, const KSDATARANGE& range);

}  // namespace kernel::portcls
