// The port class's adapter-level operations and the plug-and-play and power
// requests it serves for the adapter's device.
#include <algorithm>
#include <map>
#include <mutex>

#include "Ports.h"
#include "kernel/host/PortClassHost.h"

namespace kernel::portcls {

namespace {

struct DeviceRecord {
  PCPFNSTARTDEVICE startDevice = nullptr;
  PDEVICE_OBJECT lowerDevice = nullptr;
  PADAPTERPOWERMANAGEMENT power = nullptr;  // referenced
  DEVICE_POWER_STATE powerState = PowerDeviceD0;
  bool started = false;
};

// Plug-and-play and power requests arrive one at a time at passive level;
// the lock only keeps readers from other threads consistent.
struct PortClassState {
  std::mutex lock;
  std::map<PDEVICE_OBJECT, DeviceRecord> devices;
  std::vector<Subdevice> subdevices;
  std::vector<PhysicalConnection> connections;
};

PortClassState& state() {
  static auto* portClass = new PortClassState;
  return *portClass;
}

VOID unloadDriver(PDRIVER_OBJECT) {}

std::u16string copyOf(PCWSTR text) { return text ? std::u16string(text) : std::u16string(); }

std::u16string serviceNameOf(PDEVICE_OBJECT device) {
  const auto& key = device->DriverObject->DriverExtension->ServiceKeyName;
  if (!key.Buffer) return {};
  return std::u16string(key.Buffer, key.Length / sizeof(WCHAR));
}

}  // namespace

}  // namespace kernel::portcls

using namespace kernel::portcls;

NTSTATUS PcInitializeAdapterDriver(PDRIVER_OBJECT driverObject, PUNICODE_STRING,
                                   PDRIVER_ADD_DEVICE addDevice) {
  driverObject->DriverExtension->AddDevice = addDevice;
  driverObject->DriverUnload = unloadDriver;
  for (auto& dispatch : driverObject->MajorFunction) dispatch = PcDispatchIrp;
  return STATUS_SUCCESS;
}

NTSTATUS PcAddAdapterDevice(PDRIVER_OBJECT driverObject, PDEVICE_OBJECT physicalDeviceObject,
                            PCPFNSTARTDEVICE startDevice, ULONG, ULONG deviceExtensionSize) {
  if (!startDevice) return STATUS_INVALID_PARAMETER;
  PDEVICE_OBJECT device = nullptr;
  NTSTATUS status = IoCreateDevice(driverObject, deviceExtensionSize, nullptr, FILE_DEVICE_KS, 0,
                                   FALSE, &device);
  if (!NT_SUCCESS(status)) return status;
  DeviceRecord record;
  record.startDevice = startDevice;
  record.lowerDevice = IoAttachDeviceToDeviceStack(device, physicalDeviceObject);
  device->Flags &= ~static_cast<ULONG>(DO_DEVICE_INITIALIZING);
  std::lock_guard held(state().lock);
  state().devices.emplace(device, record);
  return STATUS_SUCCESS;
}

NTSTATUS PcNewPort(PPORT* outPort, REFCLSID classId) {
  *outPort = nullptr;
  IPort* port = nullptr;
  if (IsEqualGUIDAligned(classId, CLSID_PortWaveCyclic)) {
    auto* wave = new (NonPagedPool, kTagPort) WaveCyclicPort(nullptr);
    port = wave;
  } else if (IsEqualGUIDAligned(classId, CLSID_PortTopology)) {
    auto* topology = new (NonPagedPool, kTagPort) TopologyPort(nullptr);
    port = topology;
  } else {
    return STATUS_INVALID_PARAMETER;
  }
  if (!port) return STATUS_INSUFFICIENT_RESOURCES;
  port->AddRef();
  *outPort = port;
  return STATUS_SUCCESS;
}

// The port class has no miniports of its own to offer.
NTSTATUS PcNewMiniport(PMINIPORT* outMiniport, REFCLSID) {
  *outMiniport = nullptr;
  return STATUS_INVALID_PARAMETER;
}

// A port is known by its own IUnknown, whichever interface the caller holds.
PUNKNOWN identityOf(PUNKNOWN unknown) {
  PVOID identity = nullptr;
  if (!unknown || !NT_SUCCESS(unknown->QueryInterface(IID_IUnknown, &identity))) return nullptr;
  return static_cast<PUNKNOWN>(identity);  // referenced
}

NTSTATUS PcRegisterSubdevice(PDEVICE_OBJECT deviceObject, PWSTR name, PUNKNOWN unknown) {
  PortBase* port = portOf(unknown);
  if (!deviceObject || !name || !port) return STATUS_INVALID_PARAMETER;
  PUNKNOWN identity = identityOf(unknown);  // the registration's reference
  std::lock_guard held(state().lock);
  state().subdevices.push_back(kernel::Subdevice{copyOf(name), deviceObject, identity,
                                                 port->categories(),
                                                 serviceNameOf(deviceObject)});
  return STATUS_SUCCESS;
}

NTSTATUS PcRegisterPhysicalConnection(PDEVICE_OBJECT deviceObject, PUNKNOWN fromUnknown,
                                      ULONG fromPin, PUNKNOWN toUnknown, ULONG toPin) {
  if (!deviceObject || !portOf(fromUnknown) || !portOf(toUnknown)) {
    return STATUS_INVALID_PARAMETER;
  }
  PUNKNOWN from = identityOf(fromUnknown);
  PUNKNOWN to = identityOf(toUnknown);
  // The subdevices' registrations keep the ports; a connection only names them.
  from->Release();
  to->Release();
  std::lock_guard held(state().lock);
  state().connections.push_back(kernel::PhysicalConnection{deviceObject, from, fromPin, to, toPin});
  return STATUS_SUCCESS;
}

NTSTATUS PcRegisterAdapterPowerManagement(PUNKNOWN unknown, PVOID deviceObject) {
  if (!unknown || !deviceObject) return STATUS_INVALID_PARAMETER;
  PVOID power = nullptr;
  NTSTATUS status = unknown->QueryInterface(IID_IAdapterPowerManagement, &power);
  if (!NT_SUCCESS(status)) return status;
  std::lock_guard held(state().lock);
  auto found = state().devices.find(static_cast<PDEVICE_OBJECT>(deviceObject));
  if (found == state().devices.end()) {
    static_cast<PADAPTERPOWERMANAGEMENT>(power)->Release();
    return STATUS_INVALID_PARAMETER;
  }
  if (found->second.power) found->second.power->Release();
  found->second.power = static_cast<PADAPTERPOWERMANAGEMENT>(power);
  return STATUS_SUCCESS;
}

NTSTATUS PcNewInterruptSync(PINTERRUPTSYNC* outInterruptSync, PUNKNOWN outerUnknown,
                            PRESOURCELIST resourceList, ULONG resourceIndex,
                            INTERRUPTSYNCMODE mode) {
  *outInterruptSync = nullptr;
  if (!resourceList) return STATUS_INVALID_PARAMETER;
  PCM_PARTIAL_RESOURCE_DESCRIPTOR entry =
      resourceList->FindTranslatedEntry(CmResourceTypeInterrupt, resourceIndex);
  if (!entry) return STATUS_INSUFFICIENT_RESOURCES;
  auto* sync = new (NonPagedPool, kTagInterruptSync)
      InterruptSync(outerUnknown, entry->u.Interrupt.Vector, mode);
  if (!sync) return STATUS_INSUFFICIENT_RESOURCES;
  sync->AddRef();
  *outInterruptSync = sync;
  return STATUS_SUCCESS;
}

NTSTATUS PcNewServiceGroup(PSERVICEGROUP* outServiceGroup, PUNKNOWN outerUnknown) {
  *outServiceGroup = nullptr;
  auto* group = new (NonPagedPool, kTagServiceGroup) ServiceGroup(outerUnknown);
  if (!group) return STATUS_INSUFFICIENT_RESOURCES;
  group->AddRef();
  *outServiceGroup = group;
  return STATUS_SUCCESS;
}

namespace kernel {

PRESOURCELIST PortClassHost::newResourceList(
    const std::vector<CM_PARTIAL_RESOURCE_DESCRIPTOR>& entries) {
  auto* list = new (NonPagedPool, kTagResourceList) ResourceList(nullptr, entries);
  if (list) list->AddRef();
  return list;
}

NTSTATUS PortClassHost::startDevice(PDEVICE_OBJECT functionalDevice,
                                    const std::vector<CM_PARTIAL_RESOURCE_DESCRIPTOR>& resources) {
  PCPFNSTARTDEVICE start = nullptr;
  {
    std::lock_guard held(state().lock);
    auto found = state().devices.find(functionalDevice);
    if (found == state().devices.end() || found->second.started) return STATUS_INVALID_DEVICE_REQUEST;
    start = found->second.startDevice;
  }
  PRESOURCELIST list = newResourceList(resources);
  if (!list) return STATUS_INSUFFICIENT_RESOURCES;
  const NTSTATUS status = start(functionalDevice, nullptr, list);
  list->Release();
  std::lock_guard held(state().lock);
  auto& record = state().devices.at(functionalDevice);
  record.started = NT_SUCCESS(status);
  record.powerState = PowerDeviceD0;
  return status;
}

void PortClassHost::stopDevice(PDEVICE_OBJECT functionalDevice) {
  std::vector<Subdevice> dropped;
  PADAPTERPOWERMANAGEMENT power = nullptr;
  {
    std::lock_guard held(state().lock);
    auto& subdevices = state().subdevices;
    for (auto it = subdevices.begin(); it != subdevices.end();) {
      if (it->device == functionalDevice) {
        dropped.push_back(*it);
        it = subdevices.erase(it);
      } else {
        ++it;
      }
    }
    std::erase_if(state().connections,
                  [&](const PhysicalConnection& c) { return c.device == functionalDevice; });
    auto found = state().devices.find(functionalDevice);
    if (found != state().devices.end()) {
      power = found->second.power;
      found->second.power = nullptr;
      found->second.started = false;
    }
  }
  // Last registered first; the miniports go before the adapter's power
  // interface, which may hold the adapter's last reference.
  std::reverse(dropped.begin(), dropped.end());
  for (auto& subdevice : dropped) {
    portOf(subdevice.port)->releaseMiniport();
    subdevice.port->Release();
  }
  if (power) power->Release();
}

void PortClassHost::setDevicePowerState(PDEVICE_OBJECT functionalDevice,
                                        DEVICE_POWER_STATE newState) {
  PADAPTERPOWERMANAGEMENT power = nullptr;
  {
    std::lock_guard held(state().lock);
    auto found = state().devices.find(functionalDevice);
    if (found == state().devices.end()) return;
    power = found->second.power;
    found->second.powerState = newState;
    if (power) power->AddRef();
  }
  if (!power) return;
  POWER_STATE request;
  request.DeviceState = newState;
  power->PowerChangeState(request);
  power->Release();
}

void PortClassHost::removeDevice(PDEVICE_OBJECT functionalDevice) {
  stopDevice(functionalDevice);
  {
    std::lock_guard held(state().lock);
    auto found = state().devices.find(functionalDevice);
    if (found != state().devices.end()) {
      if (found->second.lowerDevice) IoDetachDevice(found->second.lowerDevice);
      state().devices.erase(found);
    }
  }
  IoDeleteDevice(functionalDevice);
}

std::vector<Subdevice> PortClassHost::subdevices() {
  std::lock_guard held(state().lock);
  return state().subdevices;
}

std::vector<PhysicalConnection> PortClassHost::physicalConnections() {
  std::lock_guard held(state().lock);
  return state().connections;
}

}  // namespace kernel
