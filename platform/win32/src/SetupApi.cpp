#include "win32/SetupApi.h"

#include <cstddef>
#include <cstring>
#include <string_view>

#include "DeviceInfoSets.h"
#include "DevicePaths.h"
#include "ProcessDeviceService.h"
#include "win32/Errors.h"

namespace win32 {

namespace {

// Every device here is a sound device: the media setup class.
constexpr GUID kMediaClass = {
    0x4D36E96C, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

std::string classIdOf(const GUID& guid) {
  return machine::classIdText(guid.Data1, guid.Data2, guid.Data3, guid.Data4);
}

bool exposes(const machine::DeviceEntry& device, const std::string& classId) {
  for (const auto& face : device.interfaces) {
    if (machine::sameName(face.classId, classId)) return true;
  }
  return false;
}

BOOL fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// The set a handle names, or null with ERROR_INVALID_HANDLE.
std::shared_ptr<const DeviceInfoSet> setOf(HDEVINFO handle) {
  auto set = findDeviceInfoSet(handle);
  if (!set) SetLastError(ERROR_INVALID_HANDLE);
  return set;
}

// The member an SP_DEVINFO_DATA filled from this set stands for, or null
// with the error set.
const machine::DeviceEntry* memberOf(const DeviceInfoSet& set, const SP_DEVINFO_DATA* data) {
  if (!data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (data->cbSize != sizeof(SP_DEVINFO_DATA)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return nullptr;
  }
  const ULONG_PTR index = data->Reserved - 1;
  if (data->Reserved == 0 || index >= set.devices.size() ||
      deviceInstanceNumber(set.devices[index].instanceId) != data->DevInst) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return &set.devices[index];
}

void describe(const DeviceInfoSet& set, std::size_t index, SP_DEVINFO_DATA* data) {
  data->ClassGuid = kMediaClass;
  data->DevInst = deviceInstanceNumber(set.devices[index].instanceId);
  data->Reserved = index + 1;
}

// A string property or id into the caller's buffer, with the size queries
// and their errors every such call has.
BOOL copyText(std::string_view text, char* buffer, DWORD bufferSize, PDWORD requiredSize) {
  const auto needed = static_cast<DWORD>(text.size() + 1);
  if (requiredSize) *requiredSize = needed;
  if (!buffer && bufferSize != 0) return fail(ERROR_INVALID_USER_BUFFER);
  if (!buffer || bufferSize < needed) return fail(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
  return TRUE;
}

// Interface references in SP_DEVICE_INTERFACE_DATA::Reserved: the device's
// and the interface's index, plus one so that a zeroed structure is no reference.
ULONG_PTR interfaceReference(std::size_t device, std::size_t face) {
  return ((ULONG_PTR{device} << 32) | face) + 1;
}

}  // namespace

HDEVINFO SetupDiGetClassDevsA(const GUID* classGuid, PCSTR enumerator, HWND, DWORD flags) {
  if (!(flags & DIGCF_DEVICEINTERFACE)) {
    SetLastError(ERROR_INVALID_FLAGS);
    return INVALID_HANDLE_VALUE;
  }
  const bool allClasses = flags & DIGCF_ALLCLASSES;
  if (!classGuid && !allClasses) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const std::string classId = classGuid ? classIdOf(*classGuid) : std::string();
  auto set = std::make_shared<DeviceInfoSet>();
  // Every device here is present: DIGCF_PRESENT keeps them all.
  for (auto& device : machine::processDeviceService()->devices()) {
    if (!allClasses && !exposes(device, classId)) continue;
    if (enumerator && *enumerator && !machine::sameName(device.instanceId, enumerator)) continue;
    set->devices.push_back(std::move(device));
  }
  return addDeviceInfoSet(std::move(set));
}

BOOL SetupDiEnumDeviceInfo(HDEVINFO handle, DWORD memberIndex, PSP_DEVINFO_DATA deviceInfo) {
  auto set = setOf(handle);
  if (!set) return FALSE;
  if (!deviceInfo) return fail(ERROR_INVALID_PARAMETER);
  if (deviceInfo->cbSize != sizeof(SP_DEVINFO_DATA)) return fail(ERROR_INVALID_USER_BUFFER);
  if (memberIndex >= set->devices.size()) return fail(ERROR_NO_MORE_ITEMS);
  describe(*set, memberIndex, deviceInfo);
  return TRUE;
}

BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO handle, PSP_DEVINFO_DATA deviceInfo, DWORD property,
                                       PDWORD propertyRegDataType, PBYTE propertyBuffer,
                                       DWORD propertyBufferSize, PDWORD requiredSize) {
  auto set = setOf(handle);
  if (!set) return FALSE;
  const machine::DeviceEntry* device = memberOf(*set, deviceInfo);
  if (!device) return FALSE;
  if (property != SPDRP_SERVICE || !device->serviceName) return fail(ERROR_INVALID_DATA);
  if (propertyRegDataType) *propertyRegDataType = REG_SZ;
  return copyText(*device->serviceName, reinterpret_cast<char*>(propertyBuffer), propertyBufferSize,
                  requiredSize);
}

BOOL SetupDiGetDeviceInstanceIdA(HDEVINFO handle, PSP_DEVINFO_DATA deviceInfo,
                                 PSTR deviceInstanceId, DWORD deviceInstanceIdSize,
                                 PDWORD requiredSize) {
  auto set = setOf(handle);
  if (!set) return FALSE;
  const machine::DeviceEntry* device = memberOf(*set, deviceInfo);
  if (!device) return FALSE;
  return copyText(device->instanceId, deviceInstanceId, deviceInstanceIdSize, requiredSize);
}

BOOL SetupDiEnumDeviceInterfaces(HDEVINFO handle, PSP_DEVINFO_DATA deviceInfo,
                                 const GUID* interfaceClassGuid, DWORD memberIndex,
                                 PSP_DEVICE_INTERFACE_DATA deviceInterfaceData) {
  auto set = setOf(handle);
  if (!set) return FALSE;
  if (!interfaceClassGuid || !deviceInterfaceData) return fail(ERROR_INVALID_PARAMETER);
  if (deviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
    return fail(ERROR_INVALID_USER_BUFFER);
  }
  const machine::DeviceEntry* only = nullptr;
  if (deviceInfo && !(only = memberOf(*set, deviceInfo))) return FALSE;
  const std::string classId = classIdOf(*interfaceClassGuid);
  DWORD seen = 0;
  for (std::size_t device = 0; device < set->devices.size(); ++device) {
    if (only && only != &set->devices[device]) continue;
    const auto& faces = set->devices[device].interfaces;
    for (std::size_t face = 0; face < faces.size(); ++face) {
      if (!machine::sameName(faces[face].classId, classId) || seen++ != memberIndex) continue;
      deviceInterfaceData->InterfaceClassGuid = *interfaceClassGuid;
      deviceInterfaceData->Flags = SPINT_ACTIVE;
      deviceInterfaceData->Reserved = interfaceReference(device, face);
      return TRUE;
    }
  }
  return fail(ERROR_NO_MORE_ITEMS);
}

BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO handle,
                                      PSP_DEVICE_INTERFACE_DATA deviceInterfaceData,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize,
                                      PDWORD requiredSize, PSP_DEVINFO_DATA deviceInfoData) {
  auto set = setOf(handle);
  if (!set) return FALSE;
  if (!deviceInterfaceData) return fail(ERROR_INVALID_PARAMETER);
  if (deviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
    return fail(ERROR_INVALID_USER_BUFFER);
  }
  const ULONG_PTR reference = deviceInterfaceData->Reserved - 1;
  const std::size_t device = reference >> 32;
  const std::size_t face = reference & 0xFFFFFFFF;
  if (deviceInterfaceData->Reserved == 0 || device >= set->devices.size() ||
      face >= set->devices[device].interfaces.size()) {
    return fail(ERROR_INVALID_PARAMETER);
  }
  if (deviceInfoData && deviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) {
    return fail(ERROR_INVALID_USER_BUFFER);
  }
  const std::string& path = set->devices[device].interfaces[face].path;
  constexpr DWORD kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
  const auto needed = static_cast<DWORD>(kPathOffset + path.size() + 1);
  if (requiredSize) *requiredSize = needed;
  if (!detail) return fail(detailSize ? ERROR_INVALID_USER_BUFFER : ERROR_INSUFFICIENT_BUFFER);
  if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) || detailSize <= kPathOffset) {
    return fail(ERROR_INVALID_USER_BUFFER);
  }
  if (detailSize < needed) return fail(ERROR_INSUFFICIENT_BUFFER);
  // DevicePath is declared with one element; the caller allocated `needed` bytes.
  std::memcpy(reinterpret_cast<char*>(detail) + kPathOffset, path.c_str(), path.size() + 1);
  if (deviceInfoData) describe(*set, device, deviceInfoData);
  return TRUE;
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO handle) {
  return removeDeviceInfoSet(handle) ? TRUE : fail(ERROR_INVALID_HANDLE);
}

}  // namespace win32
