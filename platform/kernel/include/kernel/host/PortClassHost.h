// What the plug-and-play and power managers do to an adapter driver built on
// the port class, and what the port class publishes: used by the machine that
// boots the driver, and by tests.
#pragma once

#include <string>
#include <vector>

#include "kernel/portcls/PortCls.h"

namespace kernel {

// A filter the port class published as a device interface.
struct Subdevice {
  std::u16string name;            // as registered: "Wave", "Topology"
  PDEVICE_OBJECT device;          // the adapter's functional device object
  PUNKNOWN port;                  // the port (referenced by the port class)
  std::vector<GUID> categories;   // the interface classes it is published under
  std::u16string serviceName;     // the driver's service name, e.g. "vytpci_"
};

struct PhysicalConnection {
  PDEVICE_OBJECT device;
  PUNKNOWN fromPort;
  ULONG fromPin;
  PUNKNOWN toPort;
  ULONG toPin;
};

class PortClassHost {
 public:
  // A resource list object over the given entries (referenced once).
  static PRESOURCELIST newResourceList(const std::vector<CM_PARTIAL_RESOURCE_DESCRIPTOR>& entries);

  // The start request: the port class calls the adapter's StartDevice with
  // the resource list and marks the device started when it succeeds.
  static NTSTATUS startDevice(PDEVICE_OBJECT functionalDevice,
                              const std::vector<CM_PARTIAL_RESOURCE_DESCRIPTOR>& resources);
  // The stop request: drops the device's subdevices (last registered first),
  // its physical connections and its power interface, so that the miniports
  // and the adapter object are destroyed.
  static void stopDevice(PDEVICE_OBJECT functionalDevice);
  // A device power transition, delivered through the adapter's power interface.
  static void setDevicePowerState(PDEVICE_OBJECT functionalDevice, DEVICE_POWER_STATE state);
  // The remove request after a stop: detaches and deletes the functional device.
  static void removeDevice(PDEVICE_OBJECT functionalDevice);

  static std::vector<Subdevice> subdevices();
  static std::vector<PhysicalConnection> physicalConnections();
};

}  // namespace kernel
