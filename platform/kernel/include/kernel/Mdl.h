// Memory descriptor lists: a driver locks a caller's buffer and maps it so
// that it can be used at dispatch level, after the request has returned.
#pragma once

#include "kernel/SourcePlace.h"

#include "kernel/Registers.h"
#include "kernel/Types.h"

struct IRP;

struct MDL {
  MDL* Next;
  SHORT Size;
  SHORT MdlFlags;
  PVOID StartVa;
  ULONG ByteCount;
  ULONG ByteOffset;
  PVOID MappedSystemVa;
};
using PMDL = MDL*;

#define MDL_PAGES_LOCKED 0x0002
#define MDL_MAPPED_TO_SYSTEM_VA 0x0001

enum LOCK_OPERATION { IoReadAccess = 0, IoWriteAccess = 1, IoModifyAccess = 2 };
enum MM_PAGE_PRIORITY { LowPagePriority = 0, NormalPagePriority = 16, HighPagePriority = 32 };

PMDL IoAllocateMdl(PVOID virtualAddress, ULONG length, BOOLEAN secondaryBuffer,
                   BOOLEAN chargeQuota, IRP* irp,
                   ::kernel::SourcePlace where = ::kernel::SourcePlace::current());
// Raises STATUS_ACCESS_VIOLATION when the range is not valid memory of the
// caller with the access asked for.
VOID MmProbeAndLockPages(PMDL mdl, KPROCESSOR_MODE accessMode, LOCK_OPERATION operation,
                         ::kernel::SourcePlace where = ::kernel::SourcePlace::current());
PVOID MmMapLockedPagesSpecifyCache(PMDL mdl, KPROCESSOR_MODE accessMode,
                                   MEMORY_CACHING_TYPE cacheType, PVOID requestedAddress,
                                   ULONG bugCheckOnFailure, ULONG priority,
                                   ::kernel::SourcePlace where = ::kernel::SourcePlace::current());
VOID MmUnmapLockedPages(PVOID baseAddress, PMDL mdl);
VOID MmUnlockPages(PMDL mdl, ::kernel::SourcePlace where = ::kernel::SourcePlace::current());
VOID IoFreeMdl(PMDL mdl, ::kernel::SourcePlace where = ::kernel::SourcePlace::current());
PVOID MmGetSystemAddressForMdlSafe(PMDL mdl, ULONG priority);

// Raise STATUS_ACCESS_VIOLATION unless [address, address + length) is memory
// of the caller that can be read (or written). A zero length always passes.
VOID ProbeForRead(const volatile VOID* address, SIZE_T length, ULONG alignment);
VOID ProbeForWrite(volatile VOID* address, SIZE_T length, ULONG alignment);
inline ULONG MmGetMdlByteCount(PMDL mdl) { return mdl->ByteCount; }
inline PVOID MmGetMdlVirtualAddress(PMDL mdl) {
  return static_cast<PUCHAR>(mdl->StartVa) + mdl->ByteOffset;
}
