// The device service a program's Windows stand-ins use: korvane-host's when
// KORVANE_HOST names its socket, else a machine embedded in the process,
// booted on first use as the environment says (MachineEnvironment.h) and
// unloaded when the process exits. When neither can be had, a service with no
// devices whose problem() says why.
#pragma once

#include <memory>

#include "DeviceService.h"

namespace machine {

std::shared_ptr<DeviceService> processDeviceService();

// Puts another service in its place (tests, programs that make their own
// machine); null returns to the environment's on next use. The one replaced
// ends when its last user lets go of it.
void setProcessDeviceService(std::shared_ptr<DeviceService> service);

}  // namespace machine
