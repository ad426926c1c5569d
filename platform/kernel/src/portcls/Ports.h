// The two port drivers: each binds one miniport and speaks for it.
#pragma once

#include "Objects.h"

namespace kernel::portcls {

// What the port class needs of every port beyond its interfaces.
class PortBase {
 public:
  // Drops the port's miniport, breaking the reference cycle between the two
  // (the miniport keeps its port) when the subdevice goes away.
  virtual void releaseMiniport() = 0;
  virtual std::vector<GUID> categories() const = 0;

 protected:
  ~PortBase() = default;
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
  PMINIPORTWAVECYCLIC miniport() const { return boundMiniport; }
  PDEVICE_OBJECT device() const { return deviceObject; }

 private:
  PMINIPORTWAVECYCLIC boundMiniport = nullptr;
  PDEVICE_OBJECT deviceObject = nullptr;
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
  PMINIPORTTOPOLOGY miniport() const { return boundMiniport; }

 private:
  PMINIPORTTOPOLOGY boundMiniport = nullptr;
};

// The port behind a port's IUnknown, or null if it is none of ours.
PortBase* portOf(PUNKNOWN unknown);

}  // namespace kernel::portcls
