#include "kernel/Mdl.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>

#include "kernel/Seh.h"
#include "kernel/host/Verifier.h"

namespace {

std::mutex mdlLock;
std::set<PMDL>& liveMdls() {
  static auto* mdls = new std::set<PMDL>;
  return *mdls;
}

// The lowest address a user buffer may have, as on the real kernel.
constexpr std::uintptr_t kLowestUserAddress = 0x10000;

// Whether [start, start + length) lies in mappings of this process with the
// access asked for: the probe a kernel makes of a caller's pages.
bool rangeAccessible(std::uintptr_t start, std::size_t length, bool write) {
  if (start < kLowestUserAddress || start + length < start) return false;
  FILE* maps = std::fopen("/proc/self/maps", "r");
  if (!maps) return false;
  std::uintptr_t covered = start;
  const std::uintptr_t end = start + length;
  char line[512];
  // Mappings come in address order: stop at the first one past the range.
  while (covered < end && std::fgets(line, sizeof line, maps)) {
    char* cursor = line;
    const unsigned long low = std::strtoul(cursor, &cursor, 16);
    const unsigned long high = std::strtoul(cursor + 1, &cursor, 16);
    const char* permissions = cursor + 1;
    if (covered >= high) continue;
    if (covered < low) break;
    if (permissions[0] != 'r' || (write && permissions[1] != 'w')) break;
    covered = high;
  }
  std::fclose(maps);
  return covered >= end;
}

bool known(PMDL mdl) {
  std::lock_guard held(mdlLock);
  return liveMdls().count(mdl) != 0;
}

}  // namespace

namespace kernel {
int liveMdlCount() {
  std::lock_guard held(mdlLock);
  return static_cast<int>(liveMdls().size());
}
}  // namespace kernel

VOID ProbeForRead(const volatile VOID* address, SIZE_T length, ULONG) {
  if (length == 0) return;
  if (!rangeAccessible(reinterpret_cast<std::uintptr_t>(address), length, false)) {
    ExRaiseStatus(STATUS_ACCESS_VIOLATION);
  }
}

VOID ProbeForWrite(volatile VOID* address, SIZE_T length, ULONG) {
  if (length == 0) return;
  if (!rangeAccessible(reinterpret_cast<std::uintptr_t>(address), length, true)) {
    ExRaiseStatus(STATUS_ACCESS_VIOLATION);
  }
}

PMDL IoAllocateMdl(PVOID virtualAddress, ULONG length, BOOLEAN, BOOLEAN, IRP*,
                   ::kernel::SourcePlace) {
  if (length == 0) return nullptr;
  auto* mdl = new MDL{};
  const auto address = reinterpret_cast<std::uintptr_t>(virtualAddress);
  mdl->StartVa = reinterpret_cast<PVOID>(address & ~std::uintptr_t{0xFFF});
  mdl->ByteOffset = static_cast<ULONG>(address & 0xFFF);
  mdl->ByteCount = length;
  std::lock_guard held(mdlLock);
  liveMdls().insert(mdl);
  return mdl;
}

VOID MmProbeAndLockPages(PMDL mdl, KPROCESSOR_MODE, LOCK_OPERATION operation,
                         ::kernel::SourcePlace where) {
  if (!known(mdl)) {
    kernel::Verifier::report(kernel::Rule::MdlMisuse, "probing an unknown MDL", where);
    ExRaiseStatus(STATUS_ACCESS_VIOLATION);
  }
  if (mdl->MdlFlags & MDL_PAGES_LOCKED) {
    kernel::Verifier::report(kernel::Rule::MdlMisuse, "locking an MDL twice", where);
    return;
  }
  const auto start = reinterpret_cast<std::uintptr_t>(MmGetMdlVirtualAddress(mdl));
  if (!rangeAccessible(start, mdl->ByteCount, operation != IoReadAccess)) {
    ExRaiseStatus(STATUS_ACCESS_VIOLATION);
  }
  mdl->MdlFlags |= MDL_PAGES_LOCKED;
}

PVOID MmMapLockedPagesSpecifyCache(PMDL mdl, KPROCESSOR_MODE, MEMORY_CACHING_TYPE, PVOID, ULONG,
                                   ULONG, ::kernel::SourcePlace where) {
  if (!known(mdl) || !(mdl->MdlFlags & MDL_PAGES_LOCKED)) {
    kernel::Verifier::report(kernel::Rule::MdlMisuse, "mapping an MDL that is not locked", where);
    return nullptr;
  }
  // One address space here: the system address is the caller's address.
  mdl->MappedSystemVa = MmGetMdlVirtualAddress(mdl);
  mdl->MdlFlags |= MDL_MAPPED_TO_SYSTEM_VA;
  return mdl->MappedSystemVa;
}

PVOID MmGetSystemAddressForMdlSafe(PMDL mdl, ULONG priority) {
  if (mdl->MdlFlags & MDL_MAPPED_TO_SYSTEM_VA) return mdl->MappedSystemVa;
  return MmMapLockedPagesSpecifyCache(mdl, 0, MmCached, nullptr, 0, priority);
}

VOID MmUnmapLockedPages(PVOID, PMDL mdl) {
  mdl->MdlFlags &= static_cast<SHORT>(~MDL_MAPPED_TO_SYSTEM_VA);
  mdl->MappedSystemVa = nullptr;
}

VOID MmUnlockPages(PMDL mdl, ::kernel::SourcePlace where) {
  if (!known(mdl) || !(mdl->MdlFlags & MDL_PAGES_LOCKED)) {
    kernel::Verifier::report(kernel::Rule::MdlMisuse, "unlocking an MDL that is not locked",
                             where);
    return;
  }
  mdl->MdlFlags &= static_cast<SHORT>(~(MDL_PAGES_LOCKED | MDL_MAPPED_TO_SYSTEM_VA));
  mdl->MappedSystemVa = nullptr;
}

VOID IoFreeMdl(PMDL mdl, ::kernel::SourcePlace where) {
  {
    std::lock_guard held(mdlLock);
    if (!liveMdls().count(mdl)) {
      kernel::Verifier::report(kernel::Rule::MdlMisuse, "freeing an unknown MDL", where);
      return;
    }
  }
  if (mdl->MdlFlags & MDL_PAGES_LOCKED) {
    kernel::Verifier::report(kernel::Rule::MdlMisuse, "freeing an MDL whose pages are locked",
                             where);
  }
  std::lock_guard held(mdlLock);
  liveMdls().erase(mdl);
  delete mdl;
}
