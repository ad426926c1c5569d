// Drivers, devices, handles and requests: the I/O manager's side of a driver.
#pragma once

#include "kernel/SourcePlace.h"

#include "kernel/Dpc.h"
#include "kernel/Mdl.h"
#include "kernel/Sync.h"
#include "kernel/Types.h"

struct DRIVER_OBJECT;
struct DEVICE_OBJECT;
struct FILE_OBJECT;
struct IRP;
using PDRIVER_OBJECT = DRIVER_OBJECT*;
using PDEVICE_OBJECT = DEVICE_OBJECT*;
using PFILE_OBJECT = FILE_OBJECT*;
using PIRP = IRP*;

#define IRP_MJ_CREATE 0x00
#define IRP_MJ_CLOSE 0x02
#define IRP_MJ_READ 0x03
#define IRP_MJ_WRITE 0x04
#define IRP_MJ_DEVICE_CONTROL 0x0e
#define IRP_MJ_INTERNAL_DEVICE_CONTROL 0x0f
#define IRP_MJ_CLEANUP 0x12
#define IRP_MJ_POWER 0x16
#define IRP_MJ_SYSTEM_CONTROL 0x17
#define IRP_MJ_PNP 0x1b
#define IRP_MJ_MAXIMUM_FUNCTION 0x1b

#define FILE_DEVICE_UNKNOWN 0x00000022
#define FILE_DEVICE_KS 0x0000002f
#define METHOD_BUFFERED 0
#define METHOD_IN_DIRECT 1
#define METHOD_OUT_DIRECT 2
#define METHOD_NEITHER 3
#define FILE_ANY_ACCESS 0
#define FILE_READ_ACCESS 0x0001
#define FILE_WRITE_ACCESS 0x0002
#define CTL_CODE(deviceType, function, method, access) \
  (((deviceType) << 16) | ((access) << 14) | ((function) << 2) | (method))

using DRIVER_DISPATCH = NTSTATUS(PDEVICE_OBJECT deviceObject, PIRP irp);
using PDRIVER_DISPATCH = DRIVER_DISPATCH*;
using DRIVER_ADD_DEVICE = NTSTATUS(PDRIVER_OBJECT driverObject,
                                   PDEVICE_OBJECT physicalDeviceObject);
using PDRIVER_ADD_DEVICE = DRIVER_ADD_DEVICE*;
using DRIVER_UNLOAD = VOID(PDRIVER_OBJECT driverObject);
using PDRIVER_UNLOAD = DRIVER_UNLOAD*;
using DRIVER_INITIALIZE = NTSTATUS(PDRIVER_OBJECT driverObject, PUNICODE_STRING registryPath);
using PDRIVER_INITIALIZE = DRIVER_INITIALIZE*;
using DRIVER_CANCEL = VOID(PDEVICE_OBJECT deviceObject, PIRP irp);
using PDRIVER_CANCEL = DRIVER_CANCEL*;

struct DRIVER_EXTENSION {
  PDRIVER_OBJECT DriverObject;
  PDRIVER_ADD_DEVICE AddDevice;
  ULONG Count;
  UNICODE_STRING ServiceKeyName;
};
using PDRIVER_EXTENSION = DRIVER_EXTENSION*;

struct DRIVER_OBJECT {
  SHORT Type;
  SHORT Size;
  PDEVICE_OBJECT DeviceObject;
  ULONG Flags;
  PDRIVER_EXTENSION DriverExtension;
  UNICODE_STRING DriverName;
  PDRIVER_INITIALIZE DriverInit;
  PDRIVER_UNLOAD DriverUnload;
  PDRIVER_DISPATCH MajorFunction[IRP_MJ_MAXIMUM_FUNCTION + 1];
};

struct DEVICE_OBJECT {
  SHORT Type;
  USHORT Size;
  LONG ReferenceCount;
  PDRIVER_OBJECT DriverObject;
  PDEVICE_OBJECT NextDevice;
  PDEVICE_OBJECT AttachedDevice;
  PIRP CurrentIrp;
  ULONG Flags;
  ULONG Characteristics;
  PVOID DeviceExtension;
  ULONG DeviceType;
  CHAR StackSize;
  KDPC Dpc;  // the device's own DPC object, used for its interrupt
};

#define DO_BUFFERED_IO 0x00000004
#define DO_DIRECT_IO 0x00000010
#define DO_DEVICE_INITIALIZING 0x00000080
#define DO_POWER_PAGABLE 0x00002000

struct FILE_OBJECT {
  SHORT Type;
  SHORT Size;
  PDEVICE_OBJECT DeviceObject;
  PVOID FsContext;
  PVOID FsContext2;
  UNICODE_STRING FileName;
};

struct IO_STATUS_BLOCK {
  union {
    NTSTATUS Status;
    PVOID Pointer;
  };
  ULONG_PTR Information;
};
using PIO_STATUS_BLOCK = IO_STATUS_BLOCK*;

#define SL_PENDING_RETURNED 0x01

struct IO_STACK_LOCATION {
  UCHAR MajorFunction;
  UCHAR MinorFunction;
  UCHAR Flags;
  UCHAR Control;
  union {
    struct {
      ULONG OutputBufferLength;
      ULONG InputBufferLength;
      ULONG IoControlCode;
      PVOID Type3InputBuffer;
    } DeviceIoControl;
    struct {
      PVOID Argument1;
      PVOID Argument2;
      PVOID Argument3;
      PVOID Argument4;
    } Others;
  } Parameters;
  PDEVICE_OBJECT DeviceObject;
  PFILE_OBJECT FileObject;
};
using PIO_STACK_LOCATION = IO_STACK_LOCATION*;

#define IRP_STACK_LOCATIONS 4

struct IRP {
  SHORT Type;
  USHORT Size;
  PMDL MdlAddress;
  ULONG Flags;
  union {
    PIRP MasterIrp;
    PVOID SystemBuffer;
  } AssociatedIrp;
  IO_STATUS_BLOCK IoStatus;
  KPROCESSOR_MODE RequestorMode;
  BOOLEAN PendingReturned;
  CHAR StackCount;
  CHAR CurrentLocation;
  BOOLEAN Cancel;
  KIRQL CancelIrql;
  PDRIVER_CANCEL CancelRoutine;
  PVOID UserBuffer;
  struct {
    struct {
      PVOID DriverContext[4];
      PIO_STACK_LOCATION CurrentStackLocation;
      PFILE_OBJECT OriginalFileObject;
    } Overlay;
  } Tail;
  IO_STACK_LOCATION Stack[IRP_STACK_LOCATIONS];
};

inline PIO_STACK_LOCATION IoGetCurrentIrpStackLocation(PIRP irp) {
  return irp->Tail.Overlay.CurrentStackLocation;
}
inline PIO_STACK_LOCATION IoGetNextIrpStackLocation(PIRP irp) {
  return irp->Tail.Overlay.CurrentStackLocation - 1;
}
inline VOID IoMarkIrpPending(PIRP irp) {
  IoGetCurrentIrpStackLocation(irp)->Control |= SL_PENDING_RETURNED;
}

#define IO_SOUND_INCREMENT 8

VOID IofCompleteRequest(PIRP irp, CHAR priorityBoost,
                        ::kernel::SourcePlace where = ::kernel::SourcePlace::current());
#define IoCompleteRequest(irp, boost) IofCompleteRequest(irp, boost)
NTSTATUS IofCallDriver(PDEVICE_OBJECT deviceObject, PIRP irp);
#define IoCallDriver(device, irp) IofCallDriver(device, irp)

// Sets the request's cancel routine atomically and returns the previous one.
PDRIVER_CANCEL IoSetCancelRoutine(PIRP irp, PDRIVER_CANCEL cancelRoutine);
VOID IoAcquireCancelSpinLock(PKIRQL irql);
VOID IoReleaseCancelSpinLock(KIRQL irql);
BOOLEAN IoCancelIrp(PIRP irp);

NTSTATUS IoCreateDevice(PDRIVER_OBJECT driverObject, ULONG deviceExtensionSize,
                        PUNICODE_STRING deviceName, ULONG deviceType,
                        ULONG deviceCharacteristics, BOOLEAN exclusive,
                        PDEVICE_OBJECT* deviceObject);
VOID IoDeleteDevice(PDEVICE_OBJECT deviceObject);
PDEVICE_OBJECT IoAttachDeviceToDeviceStack(PDEVICE_OBJECT sourceDevice,
                                           PDEVICE_OBJECT targetDevice);
VOID IoDetachDevice(PDEVICE_OBJECT targetDevice);
BOOLEAN IoIsWdmVersionAvailable(UCHAR majorVersion, UCHAR minorVersion);

// Remove locks: a count of requests in flight that teardown can drain.
struct IO_REMOVE_LOCK_COMMON_BLOCK {
  BOOLEAN Removed;
  BOOLEAN Reserved[3];
  LONG IoCount;
  KEVENT RemoveEvent;
};
struct IO_REMOVE_LOCK {
  IO_REMOVE_LOCK_COMMON_BLOCK Common;
};
using PIO_REMOVE_LOCK = IO_REMOVE_LOCK*;

VOID IoInitializeRemoveLockEx(PIO_REMOVE_LOCK lock, ULONG allocateTag, ULONG maxLockedMinutes,
                              ULONG highWatermark, ULONG remlockSize);
NTSTATUS IoAcquireRemoveLockEx(PIO_REMOVE_LOCK lock, PVOID tag, PCSTR file, ULONG line,
                               ULONG remlockSize);
VOID IoReleaseRemoveLockEx(PIO_REMOVE_LOCK lock, PVOID tag, ULONG remlockSize);
VOID IoReleaseRemoveLockAndWaitEx(PIO_REMOVE_LOCK lock, PVOID tag, ULONG remlockSize);

#define IoInitializeRemoveLock(lock, tag, minutes, highWater) \
  IoInitializeRemoveLockEx(lock, tag, minutes, highWater, sizeof(IO_REMOVE_LOCK))
#define IoAcquireRemoveLock(lock, tag) \
  IoAcquireRemoveLockEx(lock, tag, __FILE__, __LINE__, sizeof(IO_REMOVE_LOCK))
#define IoReleaseRemoveLock(lock, tag) IoReleaseRemoveLockEx(lock, tag, sizeof(IO_REMOVE_LOCK))
#define IoReleaseRemoveLockAndWait(lock, tag) \
  IoReleaseRemoveLockAndWaitEx(lock, tag, sizeof(IO_REMOVE_LOCK))
