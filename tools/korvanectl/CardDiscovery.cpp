#include "CardDiscovery.h"

#include "ErrorText.h"

namespace korvanectl {

namespace {

// The service name the card's driver is installed under.
constexpr char kCardService[] = "vytpci_";
// Service names and instance ids are far shorter.
constexpr DWORD kNameBytes = 512;

class DeviceInfoList {
 public:
  explicit DeviceInfoList(HDEVINFO opened) : set(opened) {}
  ~DeviceInfoList() {
    if (valid()) SetupDiDestroyDeviceInfoList(set);
  }
  DeviceInfoList(const DeviceInfoList&) = delete;
  DeviceInfoList& operator=(const DeviceInfoList&) = delete;
  bool valid() const { return set != INVALID_HANDLE_VALUE; }
  HDEVINFO get() const { return set; }

 private:
  HDEVINFO set;
};

Discovery openTopologyInterface(const char* instanceId) {
  Discovery found;
  DeviceInfoList device(
      SetupDiGetClassDevsA(&KSCATEGORY_TOPOLOGY, instanceId, nullptr, DIGCF_DEVICEINTERFACE));
  if (!device.valid()) {
    found.problem = "the card's interfaces cannot be listed: " + errorText(GetLastError());
    return found;
  }
  SP_DEVICE_INTERFACE_DATA face{};
  face.cbSize = sizeof face;
  if (!SetupDiEnumDeviceInterfaces(device.get(), nullptr, &KSCATEGORY_TOPOLOGY, 0, &face)) {
    found.problem = std::string("the card ") + instanceId + " has no topology interface";
    return found;
  }
  DWORD needed = 0;
  if (SetupDiGetDeviceInterfaceDetailA(device.get(), &face, nullptr, 0, &needed, nullptr) ||
      GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    found.problem =
        "the size of the card's interface path is unknown: " + errorText(GetLastError());
    return found;
  }
  auto* detail = static_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(LocalAlloc(LPTR, needed));
  if (!detail) {
    found.problem = "out of memory";
    return found;
  }
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
  if (!SetupDiGetDeviceInterfaceDetailA(device.get(), &face, detail, needed, nullptr, nullptr)) {
    found.problem = "the card's interface path is unknown: " + errorText(GetLastError());
    LocalFree(detail);
    return found;
  }
  found.path = detail->DevicePath;
  LocalFree(detail);
  found.handle = CreateFileA(found.path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (found.handle == INVALID_HANDLE_VALUE) {
    found.problem = "the card's topology filter did not open: " + errorText(GetLastError());
  }
  return found;
}

}  // namespace

Discovery openCard() {
  DeviceInfoList topology(SetupDiGetClassDevsA(&KSCATEGORY_TOPOLOGY, nullptr, nullptr,
                                               DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
  if (!topology.valid()) {
    return {INVALID_HANDLE_VALUE, {}, "the devices cannot be listed: " + errorText(GetLastError())};
  }
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD index = 0; SetupDiEnumDeviceInfo(topology.get(), index, &device); ++index) {
    BYTE service[kNameBytes];
    DWORD type = 0;
    // The panel stops at the first device without a service property.
    if (!SetupDiGetDeviceRegistryPropertyA(topology.get(), &device, SPDRP_SERVICE, &type, service,
                                           sizeof service, nullptr)) {
      break;
    }
    if (CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, reinterpret_cast<char*>(service), -1,
                       kCardService, -1) != CSTR_EQUAL) {
      continue;
    }
    char instanceId[kNameBytes];
    if (!SetupDiGetDeviceInstanceIdA(topology.get(), &device, instanceId, sizeof instanceId,
                                     nullptr)) {
      return {INVALID_HANDLE_VALUE,
              {},
              "the card's instance id is unknown: " + errorText(GetLastError())};
    }
    return openTopologyInterface(instanceId);
  }
  return {INVALID_HANDLE_VALUE, {}, "no card found"};
}

}  // namespace korvanectl
