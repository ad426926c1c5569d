#include <gtest/gtest.h>
#include <sys/mman.h>

#include <vector>

#include "Kernel.h"

namespace {

// Probes and locks a buffer the way the driver does; the status it raised or success.
NTSTATUS lockAndMap(void* address, ULONG length, LOCK_OPERATION operation, PVOID* mapped) {
  PMDL mdl = IoAllocateMdl(address, length, FALSE, FALSE, nullptr);
  if (!mdl) return STATUS_INSUFFICIENT_RESOURCES;
  __try {
    MmProbeAndLockPages(mdl, UserMode, operation);
  } __except (EXCEPTION_EXECUTE_HANDLER) {
    IoFreeMdl(mdl);
    return GetExceptionCode();
  }
  *mapped = MmMapLockedPagesSpecifyCache(mdl, KernelMode, MmCached, nullptr, FALSE,
                                         NormalPagePriority);
  MmUnlockPages(mdl);
  IoFreeMdl(mdl);
  return STATUS_SUCCESS;
}

TEST(Mdl, LocksAndMapsACallersBuffer) {
  std::vector<short> samples(4096);
  PVOID mapped = nullptr;
  ASSERT_EQ(lockAndMap(samples.data(), 8192, IoWriteAccess, &mapped), STATUS_SUCCESS);
  EXPECT_EQ(mapped, samples.data());
}

TEST(Mdl, ProbeRaisesOnInvalidOrReadOnlyMemory) {
  const long page = sysconf(_SC_PAGESIZE);
  void* readOnly = mmap(nullptr, page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  // A guard page: mapped, but no access (a freed page may be mapped again at once).
  void* guard = mmap(nullptr, page, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  PVOID mapped = nullptr;

  struct Case {
    const char* name;
    void* address;
    LOCK_OPERATION operation;
    NTSTATUS expected;
  } cases[] = {
      {"low address", reinterpret_cast<void*>(0x1000), IoReadAccess, STATUS_ACCESS_VIOLATION},
      {"guard page", guard, IoReadAccess, STATUS_ACCESS_VIOLATION},
      {"read-only page for reading", readOnly, IoReadAccess, STATUS_SUCCESS},
      {"read-only page for writing", readOnly, IoWriteAccess, STATUS_ACCESS_VIOLATION},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(lockAndMap(c.address, static_cast<ULONG>(page), c.operation, &mapped), c.expected);
  }
  munmap(readOnly, page);
  munmap(guard, page);
}

}  // namespace
