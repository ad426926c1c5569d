// The machine: the virtual card on the bus and the driver loaded for it the
// way the operating system loads it (driver entry with the service key, add
// device, start with the card's resources), power transitions, and an unload
// that reports what the driver left behind.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Kernel.h"
#include "card/VirtualCard.h"
#include "kernel/host/PoolTracker.h"

namespace machine {

inline constexpr char16_t kServiceName[] = u"vytpci_";
inline constexpr char kServiceKeyPath[] =
    "\\Registry\\Machine\\System\\CurrentControlSet\\Services\\vytpci_";

struct MachineOptions {
  card::CardOptions card;
  bool withCard = true;      // false: a machine without the card
  std::string registryFile;  // where the registry persists; empty: memory only
};

// What an unload left behind.
struct UnloadReport {
  kernel::PoolUsage outstanding;
  bool clean = true;  // no pool, no system thread, no MDL left
};

class Machine {
 public:
  explicit Machine(MachineOptions options = {});
  ~Machine();  // unloads if still loaded
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  // Driver entry, add device and start, in that order; the first failure ends it.
  NTSTATUS boot();
  NTSTATUS loadDriver();
  NTSTATUS addDevice();
  NTSTATUS startDevice();
  NTSTATUS startDevice(const std::vector<CM_PARTIAL_RESOURCE_DESCRIPTOR>& resources);
  void stopDevice();
  void setPowerState(DEVICE_POWER_STATE state);
  UnloadReport unload();

  // The card's two memory windows and its interrupt, as the bus reports them.
  std::vector<CM_PARTIAL_RESOURCE_DESCRIPTOR> cardResources() const;
  card::VirtualCard* card() { return virtualCard.get(); }
  PDRIVER_OBJECT driverObject() const { return driver; }
  PDEVICE_OBJECT functionalDevice() const;
  bool loaded() const { return driver != nullptr; }

 private:
  MachineOptions options;
  std::unique_ptr<card::VirtualCard> virtualCard;
  PDRIVER_OBJECT busDriver = nullptr;
  PDEVICE_OBJECT physicalDevice = nullptr;
  PDRIVER_OBJECT driver = nullptr;
  bool deviceStarted = false;
};

}  // namespace machine
