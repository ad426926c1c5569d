#include "Machine.h"

#include "kernel/host/IoManager.h"
#include "kernel/host/KernelHost.h"
#include "kernel/host/PortClassHost.h"
#include "kernel/host/RegistryStore.h"
#include "kernel/host/Strings.h"

// The driver's entry point, linked in as the loader would find it.
extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT driverObject, PUNICODE_STRING registryPath);

namespace machine {

Machine::Machine(MachineOptions machineOptions) : options(std::move(machineOptions)) {
  kernel::RegistryStore::useFile(options.registryFile);
  if (options.withCard) virtualCard = std::make_unique<card::VirtualCard>(options.card);
  busDriver = kernel::IoManager::createDriverObject(u"pci");
  IoCreateDevice(busDriver, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &physicalDevice);
}

Machine::~Machine() {
  if (driver) unload();
  IoDeleteDevice(physicalDevice);
  kernel::IoManager::deleteDriverObject(busDriver);
}

std::vector<CM_PARTIAL_RESOURCE_DESCRIPTOR> Machine::cardResources() const {
  std::vector<CM_PARTIAL_RESOURCE_DESCRIPTOR> resources;
  if (!virtualCard) return resources;
  for (const auto& window : {virtualCard->registerWindow(), virtualCard->auxWindow()}) {
    CM_PARTIAL_RESOURCE_DESCRIPTOR memory{};
    memory.Type = CmResourceTypeMemory;
    memory.u.Memory.Start.QuadPart = static_cast<LONGLONG>(window.physical);
    memory.u.Memory.Length = window.length;
    resources.push_back(memory);
  }
  CM_PARTIAL_RESOURCE_DESCRIPTOR interrupt{};
  interrupt.Type = CmResourceTypeInterrupt;
  interrupt.u.Interrupt.Level = virtualCard->interruptLine();
  interrupt.u.Interrupt.Vector = virtualCard->interruptLine();
  interrupt.u.Interrupt.Affinity = 1;
  resources.push_back(interrupt);
  return resources;
}

NTSTATUS Machine::loadDriver() {
  driver = kernel::IoManager::createDriverObject(kServiceName);
  kernel::OwnedUnicodeString registryPath(kServiceKeyPath);
  const NTSTATUS status = DriverEntry(driver, registryPath.get());
  if (!NT_SUCCESS(status)) {
    // A failed entry is not unloaded; the driver must have cleaned up itself.
    kernel::IoManager::deleteDriverObject(driver);
    driver = nullptr;
  }
  return status;
}

NTSTATUS Machine::addDevice() {
  if (!driver || !driver->DriverExtension->AddDevice) return STATUS_INVALID_DEVICE_REQUEST;
  return driver->DriverExtension->AddDevice(driver, physicalDevice);
}

PDEVICE_OBJECT Machine::functionalDevice() const {
  return physicalDevice ? physicalDevice->AttachedDevice : nullptr;
}

NTSTATUS Machine::startDevice() {
  if (!virtualCard) return STATUS_NO_SUCH_DEVICE;
  return startDevice(cardResources());
}

NTSTATUS Machine::startDevice(const std::vector<CM_PARTIAL_RESOURCE_DESCRIPTOR>& resources) {
  PDEVICE_OBJECT device = functionalDevice();
  if (!device) return STATUS_NO_SUCH_DEVICE;
  const NTSTATUS status = kernel::PortClassHost::startDevice(device, resources);
  deviceStarted = NT_SUCCESS(status);
  return status;
}

NTSTATUS Machine::boot() {
  NTSTATUS status = loadDriver();
  if (NT_SUCCESS(status)) status = addDevice();
  if (NT_SUCCESS(status)) status = startDevice();
  return status;
}

void Machine::stopDevice() {
  if (PDEVICE_OBJECT device = functionalDevice()) kernel::PortClassHost::stopDevice(device);
  deviceStarted = false;
}

void Machine::setPowerState(DEVICE_POWER_STATE state) {
  if (PDEVICE_OBJECT device = functionalDevice()) {
    kernel::PortClassHost::setDevicePowerState(device, state);
  }
}

UnloadReport Machine::unload() {
  UnloadReport report;
  if (!driver) return report;
  if (PDEVICE_OBJECT device = functionalDevice()) kernel::PortClassHost::removeDevice(device);
  physicalDevice->AttachedDevice = nullptr;
  deviceStarted = false;
  if (driver->DriverUnload) driver->DriverUnload(driver);
  kernel::IoManager::deleteDriverObject(driver);
  driver = nullptr;
  kernel::KernelHost::waitForDpcs();
  report.outstanding = kernel::PoolTracker::outstanding();
  report.clean = kernel::KernelHost::checkUnload();
  return report;
}

}  // namespace machine
