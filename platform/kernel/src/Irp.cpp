#include "kernel/Irp.h"

#include <atomic>

#include "Internal.h"
#include "IrpTracking.h"
#include "kernel/host/Verifier.h"

namespace {
KSPIN_LOCK cancelSpinLock = 0;
}  // namespace

VOID IofCompleteRequest(PIRP irp, CHAR, ::kernel::SourcePlace where) {
  if (__atomic_load_n(&irp->CancelRoutine, __ATOMIC_ACQUIRE) != nullptr) {
    kernel::Verifier::report(kernel::Rule::IrpMisuse,
                             "completing a request whose cancel routine is still set", where);
  }
  if (!kernel::internal::completeRecord(irp)) {
    kernel::Verifier::report(kernel::Rule::IrpMisuse,
                             "completing a request twice or one never sent", where);
  }
}

NTSTATUS IofCallDriver(PDEVICE_OBJECT deviceObject, PIRP irp) {
  --irp->CurrentLocation;
  --irp->Tail.Overlay.CurrentStackLocation;
  PIO_STACK_LOCATION stack = irp->Tail.Overlay.CurrentStackLocation;
  stack->DeviceObject = deviceObject;
  PDRIVER_DISPATCH dispatch = deviceObject->DriverObject->MajorFunction[stack->MajorFunction];
  return dispatch(deviceObject, irp);
}

PDRIVER_CANCEL IoSetCancelRoutine(PIRP irp, PDRIVER_CANCEL cancelRoutine) {
  return __atomic_exchange_n(&irp->CancelRoutine, cancelRoutine, __ATOMIC_ACQ_REL);
}

VOID IoAcquireCancelSpinLock(PKIRQL irql) { *irql = KfAcquireSpinLock(&cancelSpinLock); }

VOID IoReleaseCancelSpinLock(KIRQL irql) { KfReleaseSpinLock(&cancelSpinLock, irql); }

BOOLEAN IoCancelIrp(PIRP irp) {
  KIRQL irql;
  IoAcquireCancelSpinLock(&irql);
  const int heldBefore = kernel::internal::spinLocksHeld();
  irp->Cancel = TRUE;
  PDRIVER_CANCEL routine = IoSetCancelRoutine(irp, nullptr);
  if (!routine) {
    IoReleaseCancelSpinLock(irql);
    return FALSE;
  }
  irp->CancelIrql = irql;
  routine(IoGetCurrentIrpStackLocation(irp)->DeviceObject, irp);
  if (kernel::internal::spinLocksHeld() != heldBefore - 1) {
    kernel::Verifier::report(kernel::Rule::IrpMisuse,
                             "cancel routine returned without releasing the cancel spin lock");
  }
  return TRUE;
}

NTSTATUS IoCreateDevice(PDRIVER_OBJECT driverObject, ULONG deviceExtensionSize, PUNICODE_STRING,
                        ULONG deviceType, ULONG deviceCharacteristics, BOOLEAN,
                        PDEVICE_OBJECT* deviceObject) {
  auto* device = new DEVICE_OBJECT{};
  device->DriverObject = driverObject;
  device->DeviceType = deviceType;
  device->Characteristics = deviceCharacteristics;
  device->StackSize = 1;
  device->Flags = DO_DEVICE_INITIALIZING;
  if (deviceExtensionSize) {
    device->DeviceExtension = ::operator new(deviceExtensionSize);
    std::memset(device->DeviceExtension, 0, deviceExtensionSize);
  }
  device->NextDevice = driverObject->DeviceObject;
  driverObject->DeviceObject = device;
  *deviceObject = device;
  return STATUS_SUCCESS;
}

VOID IoDeleteDevice(PDEVICE_OBJECT deviceObject) {
  PDRIVER_OBJECT driver = deviceObject->DriverObject;
  for (PDEVICE_OBJECT* link = &driver->DeviceObject; *link; link = &(*link)->NextDevice) {
    if (*link == deviceObject) {
      *link = deviceObject->NextDevice;
      break;
    }
  }
  ::operator delete(deviceObject->DeviceExtension);
  delete deviceObject;
}

PDEVICE_OBJECT IoAttachDeviceToDeviceStack(PDEVICE_OBJECT sourceDevice,
                                           PDEVICE_OBJECT targetDevice) {
  PDEVICE_OBJECT top = targetDevice;
  while (top->AttachedDevice) top = top->AttachedDevice;
  top->AttachedDevice = sourceDevice;
  sourceDevice->StackSize = static_cast<CHAR>(top->StackSize + 1);
  return top;
}

VOID IoDetachDevice(PDEVICE_OBJECT targetDevice) { targetDevice->AttachedDevice = nullptr; }

namespace {
std::atomic<int> wdmMajor{6};
std::atomic<int> wdmMinor{1};
}  // namespace

BOOLEAN IoIsWdmVersionAvailable(UCHAR majorVersion, UCHAR minorVersion) {
  const int major = wdmMajor.load();
  return (major > majorVersion || (major == majorVersion && wdmMinor.load() >= minorVersion))
             ? TRUE
             : FALSE;
}

namespace kernel {
void setWdmVersion(int major, int minor) {
  wdmMajor = major;
  wdmMinor = minor;
}
}  // namespace kernel
