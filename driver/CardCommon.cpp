#include "CardCommon.h"

#include "CardContext.h"
#include "CardRegisters.h"
#include "Dma.h"
#include "Interrupt.h"

NTSTATUS NewCardCommon(PUNKNOWN* unknown, PUNKNOWN outerUnknown, POOL_TYPE poolType) {
  *unknown = nullptr;
  auto* common = new (poolType, kTagAdapter) CardCommon(outerUnknown);
  if (!common) return STATUS_INSUFFICIENT_RESOURCES;
  *unknown = static_cast<ICardCommon*>(common);
  common->AddRef();
  return STATUS_SUCCESS;
}

CardCommon::~CardCommon() {
  if (interruptSync) {
    interruptSync->Disconnect();
    interruptSync->Release();
  }
  // No interrupt can queue the device's DPC any more; let a queued one finish
  // before the device object it lives in can go.
  KeFlushQueuedDpcs();
  for (int i = 0; i < 2; ++i) {
    if (mappedWindows[i]) MmUnmapIoSpace(mappedWindows[i], mappedLengths[i]);
  }
  if (cardContext.cardCommon == this) {
    cardContext.cardCommon = nullptr;
    // The interrupt is gone with the sync object: the next start connects anew.
    InterlockedExchange(&cardContext.engineStarted, 0);
  }
}

STDMETHODIMP CardCommon::NonDelegatingQueryInterface(REFIID interfaceId, PVOID* object) {
  if (IsEqualGUIDAligned(interfaceId, IID_IUnknown) ||
      IsEqualGUIDAligned(interfaceId, IID_ICardCommon)) {
    *object = static_cast<ICardCommon*>(this);
  } else if (IsEqualGUIDAligned(interfaceId, IID_IAdapterPowerManagement)) {
    *object = static_cast<IAdapterPowerManagement*>(this);
  } else {
    *object = nullptr;
    return STATUS_INVALID_PARAMETER;
  }
  static_cast<IUnknown*>(*object)->AddRef();
  return STATUS_SUCCESS;
}

STDMETHODIMP CardCommon::Init(PRESOURCELIST resourceList, PDEVICE_OBJECT device) {
  PAGED_CODE();
  RtlZeroMemory(&hardwareBlock, sizeof hardwareBlock);
  deviceObject = device;

  PCM_PARTIAL_RESOURCE_DESCRIPTOR ranges[2] = {
      resourceList->FindTranslatedEntry(CmResourceTypeMemory, 0),
      resourceList->FindTranslatedEntry(CmResourceTypeMemory, 1)};
  if (!ranges[0] || !ranges[1]) return STATUS_INSUFFICIENT_RESOURCES;
  for (int i = 0; i < 2; ++i) {
    mappedLengths[i] = ranges[i]->u.Memory.Length;
    mappedWindows[i] = MmMapIoSpace(ranges[i]->u.Memory.Start, mappedLengths[i], MmNonCached);
    if (!mappedWindows[i]) return STATUS_INSUFFICIENT_RESOURCES;
  }
  // The register window is the shorter range; with equal lengths, the second.
  const int registerIndex = mappedLengths[0] < mappedLengths[1] ? 0 : 1;
  hardwareBlock.registers = static_cast<PUCHAR>(mappedWindows[registerIndex]);
  hardwareBlock.auxRegisters = static_cast<PUCHAR>(mappedWindows[1 - registerIndex]);
  cardContext.registers = hardwareBlock.registers;
  cardContext.auxRegisters = hardwareBlock.auxRegisters;

  for (const auto& initial : reg::kInitialValues) {
    WriteRegister(hardwareBlock.registers, initial.offset, initial.value);
  }

  const NTSTATUS status =
      PcNewInterruptSync(&interruptSync, nullptr, resourceList, 0, InterruptSyncModeNormal);
  if (!NT_SUCCESS(status) || !interruptSync) {
    interruptSync = nullptr;
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  // Connected later, by StartEngine.
  cardContext.cardCommon = this;
  currentPowerState = PowerDeviceD0;
  return STATUS_SUCCESS;
}

STDMETHODIMP_(PINTERRUPTSYNC) CardCommon::GetInterruptSync() { return interruptSync; }
STDMETHODIMP_(PDEVICE_OBJECT) CardCommon::GetDeviceObject() { return deviceObject; }
STDMETHODIMP_(HardwareBlock*) CardCommon::GetHardwareBlock() { return &hardwareBlock; }

STDMETHODIMP_(void) CardCommon::PowerChangeState(POWER_STATE newState) {
  PAGED_CODE();
  const DEVICE_POWER_STATE target = newState.DeviceState;
  if (target == currentPowerState) return;
  auto& card = cardContext;
  const bool engineRunning = card.engineReady && ReadLongAcquire(&card.engineStarted);
  switch (target) {
    case PowerDeviceD0:
      if (hardwareBlock.waveNotify) hardwareBlock.waveNotify->RestoreStreamStates();
      if (engineRunning) {
        WriteRegister(card.registers, reg::kPowerControl, reg::kPowerOn);
        RestartDma();
      }
      break;
    case PowerDeviceD1:
      if (engineRunning) {
        WriteRegister(card.registers, reg::kPowerControl, reg::kPowerLow);
        StopPlaybackDma();
        StopCaptureDma();
      }
      break;
    case PowerDeviceD2:
    case PowerDeviceD3:
      if (engineRunning) {
        WriteRegister(card.registers, reg::kPlayStop, reg::kPlayStopValue);
        StopPlaybackDma();
        StopCaptureDma();
      }
      if (currentPowerState == PowerDeviceD0 && hardwareBlock.waveNotify) {
        hardwareBlock.waveNotify->PowerDown();
      }
      break;
    default:
      return;  // not a device power state: nothing changes
  }
  currentPowerState = target;
}

STDMETHODIMP CardCommon::QueryPowerChangeState(POWER_STATE) { return STATUS_SUCCESS; }
STDMETHODIMP CardCommon::QueryDeviceCapabilities(PDEVICE_CAPABILITIES) { return STATUS_SUCCESS; }

// Its callers (the first stream, a claim, the start request) can come at the
// same moment from different programs: registerLock makes the start happen
// once. The mutex is recursive, so RestartDma's sequences take it again.
VOID StartEngine() {
  PAGED_CODE();
  auto& card = cardContext;
  KeWaitForSingleObject(&card.registerLock, Executive, KernelMode, FALSE, nullptr);
  if (card.engineStarted != 1 && card.cardCommon) {
    PINTERRUPTSYNC sync = card.cardCommon->GetInterruptSync();
    if (NT_SUCCESS(sync->RegisterServiceRoutine(InterruptServiceRoutine, card.cardCommon,
                                                FALSE)) &&
        NT_SUCCESS(sync->Connect())) {
      RestartDma();
      InterlockedExchange(&card.engineStarted, 1);
    }
  }
  KeReleaseMutex(&card.registerLock, FALSE);
}
