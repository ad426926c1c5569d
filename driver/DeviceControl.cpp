#include "DeviceControl.h"

namespace {
PDRIVER_DISPATCH portClassDeviceControl;
}  // namespace

VOID HookDeviceControl(PDRIVER_OBJECT driverObject) {
  portClassDeviceControl = driverObject->MajorFunction[IRP_MJ_DEVICE_CONTROL];
  driverObject->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DeviceControlDispatch;
}

NTSTATUS DeviceControlDispatch(PDEVICE_OBJECT deviceObject, PIRP irp) {
  return portClassDeviceControl(deviceObject, irp);
}
