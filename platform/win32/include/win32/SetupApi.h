// Device discovery: sets of the machine's devices that expose an interface
// class, their properties, and the paths of their interfaces. A set is a
// snapshot taken when it is made. Failures return FALSE (or
// INVALID_HANDLE_VALUE) and set the last error:
//   ERROR_INVALID_HANDLE       a set that is not (or no longer) open
//   ERROR_INVALID_PARAMETER    a missing argument, or an element of another set
//   ERROR_INVALID_USER_BUFFER  a structure whose cbSize is not its size, or a
//                              null buffer with a non-zero size
//   ERROR_INSUFFICIENT_BUFFER  a null or short buffer; *RequiredSize says how much
//   ERROR_NO_MORE_ITEMS        an index past the end of an enumeration
//   ERROR_INVALID_DATA         a property the device does not have
//   ERROR_INVALID_FLAGS        a set of device setup classes (only interface
//                              sets exist here)
#pragma once

#include "win32/Types.h"

namespace win32 {

using HDEVINFO = void*;

inline constexpr DWORD DIGCF_PRESENT = 0x00000002;
inline constexpr DWORD DIGCF_ALLCLASSES = 0x00000004;
inline constexpr DWORD DIGCF_DEVICEINTERFACE = 0x00000010;

inline constexpr DWORD SPDRP_SERVICE = 0x00000004;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD SPINT_ACTIVE = 0x00000001;

struct SP_DEVINFO_DATA {
  DWORD cbSize;
  GUID ClassGuid;
  DWORD DevInst;
  ULONG_PTR Reserved;
};
using PSP_DEVINFO_DATA = SP_DEVINFO_DATA*;

struct SP_DEVICE_INTERFACE_DATA {
  DWORD cbSize;
  GUID InterfaceClassGuid;
  DWORD Flags;
  ULONG_PTR Reserved;
};
using PSP_DEVICE_INTERFACE_DATA = SP_DEVICE_INTERFACE_DATA*;

// Allocated by the caller at the size SetupDiGetDeviceInterfaceDetailA asks
// for; cbSize is the size of this structure, not of the allocation.
struct SP_DEVICE_INTERFACE_DETAIL_DATA_A {
  DWORD cbSize;
  CHAR DevicePath[1];
};
using PSP_DEVICE_INTERFACE_DETAIL_DATA_A = SP_DEVICE_INTERFACE_DETAIL_DATA_A*;

// A 64-bit program's sizes, which callers pass as cbSize.
static_assert(sizeof(SP_DEVINFO_DATA) == 32);
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 32);
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 8);

// With DIGCF_DEVICEINTERFACE: the devices exposing an interface of the class
// (every device with DIGCF_ALLCLASSES); an enumerator is a device instance id
// and keeps that device only (none when no device has it).
HDEVINFO SetupDiGetClassDevsA(const GUID* classGuid, PCSTR enumerator, HWND parent, DWORD flags);
BOOL SetupDiEnumDeviceInfo(HDEVINFO set, DWORD memberIndex, PSP_DEVINFO_DATA deviceInfo);
// SPDRP_SERVICE: the device's service name as REG_SZ, its null included.
BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA deviceInfo, DWORD property,
                                       PDWORD propertyRegDataType, PBYTE propertyBuffer,
                                       DWORD propertyBufferSize, PDWORD requiredSize);
BOOL SetupDiGetDeviceInstanceIdA(HDEVINFO set, PSP_DEVINFO_DATA deviceInfo, PSTR deviceInstanceId,
                                 DWORD deviceInstanceIdSize, PDWORD requiredSize);
// The set's interfaces of the class, of one device when deviceInfo is given.
BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA deviceInfo,
                                 const GUID* interfaceClassGuid, DWORD memberIndex,
                                 PSP_DEVICE_INTERFACE_DATA deviceInterfaceData);
BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA deviceInterfaceData,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_A deviceInterfaceDetailData,
                                      DWORD deviceInterfaceDetailDataSize, PDWORD requiredSize,
                                      PSP_DEVINFO_DATA deviceInfoData);
BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set);

}  // namespace win32

using namespace win32;
