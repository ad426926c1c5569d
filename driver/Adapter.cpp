#include "Adapter.h"

#include "BlockService.h"
#include "CardCommon.h"
#include "CardContext.h"
#include "DeviceControl.h"
#include "Interrupt.h"
#include "LowLatency.h"
#include "Settings.h"
#include "TopologyMiniport.h"
#include "WaveMiniport.h"

namespace {

constexpr ULONG kMaxObjects = 2;
// The miniports' class identifiers: only their own creation functions make them.
constexpr GUID kNoMiniportClass = {};

PDRIVER_UNLOAD portClassUnload;

// The driver-wide state lives from load to unload: a later StartDevice within
// the same load finds its blocks and settings still there.
VOID DriverUnload(PDRIVER_OBJECT driverObject) {
  PAGED_CODE();
  // A client that never let go: its buffers and events are released here.
  UnmapClientBuffers();
  ReleaseEvents();
  StopSettingsThread();
  auto& card = cardContext;
  if (card.registryPath.Buffer) ExFreePool(card.registryPath.Buffer);
  card.registryPath = UNICODE_STRING{};
  FreeCardBlocks();
  if (portClassUnload) portClassUnload(driverObject);
}

}  // namespace

extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT driverObject, PUNICODE_STRING registryPath) {
  PAGED_CODE();
  auto& card = cardContext;
  ClearInputLevelHistory();
  RtlZeroMemory(&card, sizeof card);
  card.sampleRate = kDefaultSampleRate;
  card.bitDepth = kDefaultBitDepth;
  card.bufferFrames = kDefaultBufferFrames;
  card.blockBytes = BlockBytesFor(card.bitDepth, card.bufferFrames);
  if (!AllocateCardBlocks()) return STATUS_UNSUCCESSFUL;
  card.streamBufferSize = kStreamBufferBytes;
  card.hwRingSize = kHardwareRingBytes;
  KeInitializeMutex(&card.registerLock, 0);
  KeInitializeSpinLock(&card.streamLock);
  card.recordVolume = kDefaultRecordVolume;
  card.duckingEnabled = 0;
  card.duckingSensitivity = kDefaultDuckingSensitivity;

  InitializeLowLatencyState();
  LoadSettings(registryPath);

  const NTSTATUS status = PcInitializeAdapterDriver(driverObject, registryPath, AddDevice);
  HookDeviceControl(driverObject);
  portClassUnload = driverObject->DriverUnload;
  driverObject->DriverUnload = DriverUnload;
  StartSettingsThread();
  return status;
}

NTSTATUS AddDevice(PDRIVER_OBJECT driverObject, PDEVICE_OBJECT physicalDeviceObject) {
  PAGED_CODE();
  return PcAddAdapterDevice(driverObject, physicalDeviceObject, StartDevice, kMaxObjects, 0);
}

NTSTATUS StartDevice(PDEVICE_OBJECT deviceObject, PIRP irp, PRESOURCELIST resourceList) {
  PAGED_CODE();
  cardContext.deviceObject = deviceObject;
  KeInitializeDpc(&deviceObject->Dpc, ServiceDpc, &cardContext);

  // The wave port must exist on this system before anything is built.
  PPORT probe = nullptr;
  NTSTATUS status = PcNewPort(&probe, CLSID_PortWaveCyclic);
  if (!NT_SUCCESS(status)) return status;
  probe->Release();

  PUNKNOWN created = nullptr;
  status = NewCardCommon(&created, nullptr, NonPagedPool);
  if (!NT_SUCCESS(status)) return status;
  PVOID common = nullptr;
  status = created->QueryInterface(IID_ICardCommon, &common);
  if (NT_SUCCESS(status)) {
    status = static_cast<PCARDCOMMON>(common)->Init(resourceList, deviceObject);
    if (NT_SUCCESS(status)) status = PcRegisterAdapterPowerManagement(created, deviceObject);
  }
  created->Release();
  if (!NT_SUCCESS(status)) {
    if (common) static_cast<PCARDCOMMON>(common)->Release();
    return status;
  }
  auto* cardCommon = static_cast<PCARDCOMMON>(common);

  PUNKNOWN topologyPort = nullptr;
  PUNKNOWN wavePort = nullptr;
  status = CreateAndRegisterSubdevice(deviceObject, irp, const_cast<PWSTR>(KTEXT("Topology")),
                                      CLSID_PortTopology, kNoMiniportClass,
                                      CreateTopologyMiniport, cardCommon, nullptr,
                                      &topologyPort);
  if (NT_SUCCESS(status)) {
    status = CreateAndRegisterSubdevice(deviceObject, irp, const_cast<PWSTR>(KTEXT("Wave")),
                                        CLSID_PortWaveCyclic, kNoMiniportClass,
                                        CreateWaveMiniport, cardCommon, resourceList, &wavePort);
  }
  if (NT_SUCCESS(status)) {
    // The wave filter's analog output bridge feeds the topology's playback
    // input; the topology's recording output feeds the wave capture bridge.
    status = PcRegisterPhysicalConnection(deviceObject, wavePort, 3, topologyPort, 0);
    if (NT_SUCCESS(status)) {
      status = PcRegisterPhysicalConnection(deviceObject, topologyPort, 8, wavePort, 1);
    }
  }
  cardCommon->Release();
  if (topologyPort) topologyPort->Release();
  if (wavePort) wavePort->Release();
  return status;
}

NTSTATUS CreateAndRegisterSubdevice(PDEVICE_OBJECT deviceObject, PIRP irp, PWSTR name,
                                    REFCLSID portClassId, REFCLSID miniportClassId,
                                    PFNCREATEMINIPORT miniportCreate, PUNKNOWN unknownAdapter,
                                    PRESOURCELIST resourceList, PUNKNOWN* outPortUnknown) {
  PAGED_CODE();
  PPORT port = nullptr;
  NTSTATUS status = PcNewPort(&port, portClassId);
  if (!NT_SUCCESS(status)) return status;

  PUNKNOWN miniport = nullptr;
  if (miniportCreate) {
    status = miniportCreate(&miniport, miniportClassId, nullptr, NonPagedPool);
  } else {
    status = PcNewMiniport(reinterpret_cast<PMINIPORT*>(&miniport), miniportClassId);
  }
  if (NT_SUCCESS(status)) {
    status = port->Init(deviceObject, irp, miniport, unknownAdapter, resourceList);
    if (NT_SUCCESS(status)) {
      status = PcRegisterSubdevice(deviceObject, name, port);
      if (NT_SUCCESS(status) && outPortUnknown) {
        status = port->QueryInterface(IID_IUnknown, reinterpret_cast<PVOID*>(outPortUnknown));
      }
    }
    miniport->Release();
  }
  port->Release();
  return status;
}
