// The driver's device-control dispatch, hooked over the port class's own.
#pragma once

#include "Kernel.h"

// Saves the port class's routine and installs the driver's.
VOID HookDeviceControl(PDRIVER_OBJECT driverObject);
DRIVER_DISPATCH DeviceControlDispatch;
