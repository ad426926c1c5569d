// The driver's entry points: load, device arrival and start, unload.
#pragma once

#include "Kernel.h"

extern "C" DRIVER_INITIALIZE DriverEntry;
DRIVER_ADD_DEVICE AddDevice;
NTSTATUS StartDevice(PDEVICE_OBJECT deviceObject, PIRP irp, PRESOURCELIST resourceList);

using PFNCREATEMINIPORT = NTSTATUS (*)(PUNKNOWN* unknown, REFCLSID classId,
                                       PUNKNOWN outerUnknown, POOL_TYPE poolType);

NTSTATUS CreateAndRegisterSubdevice(PDEVICE_OBJECT deviceObject, PIRP irp, PWSTR name,
                                    REFCLSID portClassId, REFCLSID miniportClassId,
                                    PFNCREATEMINIPORT miniportCreate, PUNKNOWN unknownAdapter,
                                    PRESOURCELIST resourceList, PUNKNOWN* outPortUnknown);
