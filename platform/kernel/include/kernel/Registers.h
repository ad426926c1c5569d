// Mapped device memory and register access. READ_REGISTER_ULONG and
// WRITE_REGISTER_ULONG reach the device behind the window; plain loads and
// stores only touch the window's memory.
#pragma once

#include "kernel/SourcePlace.h"

#include "kernel/Types.h"

enum MEMORY_CACHING_TYPE { MmNonCached = 0, MmCached = 1, MmWriteCombined = 2 };

PVOID MmMapIoSpace(PHYSICAL_ADDRESS physicalAddress, SIZE_T numberOfBytes,
                   MEMORY_CACHING_TYPE cacheType);
VOID MmUnmapIoSpace(PVOID baseAddress, SIZE_T numberOfBytes);

ULONG READ_REGISTER_ULONG(volatile ULONG* reg,
                          ::kernel::SourcePlace where = ::kernel::SourcePlace::current());
VOID WRITE_REGISTER_ULONG(volatile ULONG* reg, ULONG value,
                          ::kernel::SourcePlace where = ::kernel::SourcePlace::current());

// Physically contiguous memory a bus master can reach (32-bit addresses).
PVOID MmAllocateContiguousMemory(SIZE_T numberOfBytes, PHYSICAL_ADDRESS highestAcceptableAddress);
VOID MmFreeContiguousMemory(PVOID baseAddress);
PHYSICAL_ADDRESS MmGetPhysicalAddress(PVOID baseAddress);
