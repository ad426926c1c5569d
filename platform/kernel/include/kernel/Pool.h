// Pool memory. Every allocation carries its tag and pool type so that the
// verifier can account for it per tag and catch wrong-tag and double frees.
#pragma once

#include "kernel/SourcePlace.h"

#include "kernel/Types.h"

enum POOL_TYPE {
  NonPagedPool = 0,
  PagedPool = 1,
  NonPagedPoolMustSucceed = 2,
  NonPagedPoolCacheAligned = 4,
  PagedPoolCacheAligned = 5,
  NonPagedPoolNx = 512,
};

// The tag written by ExAllocatePool without a tag.
#define POOL_TAG_NONE 0x656E6F4E  // "None"

PVOID ExAllocatePoolWithTag(POOL_TYPE poolType, SIZE_T numberOfBytes, ULONG tag,
                            ::kernel::SourcePlace where = ::kernel::SourcePlace::current());
PVOID ExAllocatePool(POOL_TYPE poolType, SIZE_T numberOfBytes,
                     ::kernel::SourcePlace where = ::kernel::SourcePlace::current());
VOID ExFreePoolWithTag(PVOID p, ULONG tag,
                       ::kernel::SourcePlace where = ::kernel::SourcePlace::current());
VOID ExFreePool(PVOID p, ::kernel::SourcePlace where = ::kernel::SourcePlace::current());
