// Pool memory. Every allocation carries its tag and pool type so that the
// verifier can account for it per tag and catch wrong-tag and double frees.
#pragma once

#include <source_location>

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
                            std::source_location where = std::source_location::current());
PVOID ExAllocatePool(POOL_TYPE poolType, SIZE_T numberOfBytes,
                     std::source_location where = std::source_location::current());
VOID ExFreePoolWithTag(PVOID p, ULONG tag,
                       std::source_location where = std::source_location::current());
VOID ExFreePool(PVOID p, std::source_location where = std::source_location::current());
