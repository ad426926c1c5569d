// The adapter object: maps the card's windows, owns the interrupt sync object
// and follows the device's power state.
#pragma once

#include "ICardCommon.h"

class CardCommon final : public ICardCommon, public IAdapterPowerManagement, public CUnknown {
 public:
  DEFINE_STD_CONSTRUCTOR(CardCommon)
  ~CardCommon() override;
  DECLARE_STD_UNKNOWN()

  // ICardCommon; passive level.
  STDMETHODIMP Init(PRESOURCELIST resourceList, PDEVICE_OBJECT deviceObject) override;
  STDMETHODIMP_(PINTERRUPTSYNC) GetInterruptSync() override;
  STDMETHODIMP_(PDEVICE_OBJECT) GetDeviceObject() override;
  STDMETHODIMP_(HardwareBlock*) GetHardwareBlock() override;

  // IAdapterPowerManagement; passive level.
  STDMETHODIMP_(void) PowerChangeState(POWER_STATE newState) override;
  STDMETHODIMP QueryPowerChangeState(POWER_STATE newStateQuery) override;
  STDMETHODIMP QueryDeviceCapabilities(PDEVICE_CAPABILITIES powerDeviceCaps) override;

  DEVICE_POWER_STATE powerState() const { return currentPowerState; }

 private:
  PINTERRUPTSYNC interruptSync = nullptr;
  DEVICE_POWER_STATE currentPowerState = PowerDeviceUnspecified;
  HardwareBlock hardwareBlock{};
  PDEVICE_OBJECT deviceObject = nullptr;
  PVOID mappedWindows[2] = {};
  ULONG mappedLengths[2] = {};
};

NTSTATUS NewCardCommon(PUNKNOWN* unknown, PUNKNOWN outerUnknown, POOL_TYPE poolType);

// Connects the interrupt and programs both DMA channels, once. Passive level.
VOID StartEngine();
