// The device information sets handed out as HDEVINFO: each a snapshot of the
// devices it holds, kept in a table so that a handle that is not (or no
// longer) a set is recognised. Sets are never changed once made, so a set
// found here may be read from any thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "DeviceService.h"
#include "win32/SetupApi.h"

namespace win32 {

struct DeviceInfoSet {
  std::vector<machine::DeviceEntry> devices;
};

HDEVINFO addDeviceInfoSet(std::shared_ptr<const DeviceInfoSet> set);
std::shared_ptr<const DeviceInfoSet> findDeviceInfoSet(HDEVINFO handle);
bool removeDeviceInfoSet(HDEVINFO handle);

// The device-instance number a device has in this process (SP_DEVINFO_DATA's
// DevInst): the same for a device in every set.
DWORD deviceInstanceNumber(const std::string& instanceId);

}  // namespace win32
