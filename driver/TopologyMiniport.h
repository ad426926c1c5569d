// The "Topology" subdevice's miniport: the card's mixer as the audio system
// sees it, and the filter through which programs send the private codes.
#pragma once

#include "ICardCommon.h"

// {60BB55CF-C960-4DDF-B7A4-243978B2FE7B}
inline constexpr GUID IID_ICardTopology = {0x60BB55CF, 0xC960, 0x4DDF,
                                           {0xB7, 0xA4, 0x24, 0x39, 0x78, 0xB2, 0xFE, 0x7B}};

class TopologyMiniport final : public IMiniportTopology, public CUnknown {
 public:
  DEFINE_STD_CONSTRUCTOR(TopologyMiniport)
  ~TopologyMiniport() override;
  DECLARE_STD_UNKNOWN()

  // Passive level. The descriptor is static: it is there before Init.
  STDMETHODIMP GetDescription(PPCFILTER_DESCRIPTOR* description) override;
  STDMETHODIMP DataRangeIntersection(ULONG pinId, PKSDATARANGE dataRange,
                                     PKSDATARANGE matchingDataRange, ULONG outputBufferLength,
                                     PVOID resultantFormat,
                                     PULONG resultantFormatLength) override;
  STDMETHODIMP Init(PUNKNOWN unknownAdapter, PRESOURCELIST resourceList,
                    PPORTTOPOLOGY port) override;

 private:
  PCARDCOMMON cardCommon = nullptr;
  HardwareBlock* hardwareBlock = nullptr;
};

NTSTATUS CreateTopologyMiniport(PUNKNOWN* unknown, REFCLSID classId, PUNKNOWN outerUnknown,
                                POOL_TYPE poolType);
