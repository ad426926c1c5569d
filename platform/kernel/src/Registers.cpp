#include "kernel/Registers.h"

#include <cstring>

#include "kernel/host/Bus.h"
#include "kernel/host/Verifier.h"

using kernel::Bus;

PVOID MmMapIoSpace(PHYSICAL_ADDRESS physicalAddress, SIZE_T numberOfBytes, MEMORY_CACHING_TYPE) {
  return Bus::instance().mapWindow(static_cast<std::uint64_t>(physicalAddress.QuadPart),
                                   numberOfBytes);
}

VOID MmUnmapIoSpace(PVOID baseAddress, SIZE_T numberOfBytes) {
  Bus::instance().unmapWindow(baseAddress, numberOfBytes);
}

ULONG READ_REGISTER_ULONG(volatile ULONG* reg, ::kernel::SourcePlace where) {
  auto target = Bus::instance().findRegister(reg);
  if (!target) {
    kernel::Verifier::report(kernel::Rule::RegisterOutsideWindow, "READ_REGISTER_ULONG", where);
    return 0xFFFFFFFF;  // what a read of nothing returns on a PCI bus
  }
  target->device->registerRead(target->window, target->offset);
  // Aligned registers are read as one word, as the bus does: the device may
  // refresh the same word for another processor at the same moment. The
  // mailbox reply words sit at unaligned offsets and are read bytewise.
  ULONG value;
  if (reinterpret_cast<std::uintptr_t>(reg) % alignof(ULONG) == 0) {
    value = __atomic_load_n(const_cast<ULONG*>(reg), __ATOMIC_RELAXED);
  } else {
    std::memcpy(&value, const_cast<ULONG*>(reg), sizeof value);
  }
  return value;
}

VOID WRITE_REGISTER_ULONG(volatile ULONG* reg, ULONG value, ::kernel::SourcePlace where) {
  auto target = Bus::instance().findRegister(reg);
  if (!target) {
    kernel::Verifier::report(kernel::Rule::RegisterOutsideWindow, "WRITE_REGISTER_ULONG", where);
    return;
  }
  if (reinterpret_cast<std::uintptr_t>(reg) % alignof(ULONG) == 0) {
    __atomic_store_n(const_cast<ULONG*>(reg), value, __ATOMIC_RELAXED);
  } else {
    std::memcpy(const_cast<ULONG*>(reg), &value, sizeof value);
  }
  target->device->registerWritten(target->window, target->offset, value);
}

PVOID MmAllocateContiguousMemory(SIZE_T numberOfBytes, PHYSICAL_ADDRESS highestAcceptableAddress) {
  std::uint64_t physical = 0;
  void* memory = Bus::instance().allocateContiguous(numberOfBytes, &physical);
  if (memory && physical + numberOfBytes - 1 >
                    static_cast<std::uint64_t>(highestAcceptableAddress.QuadPart)) {
    Bus::instance().freeContiguous(memory);
    return nullptr;
  }
  return memory;
}

VOID MmFreeContiguousMemory(PVOID baseAddress) { Bus::instance().freeContiguous(baseAddress); }

PHYSICAL_ADDRESS MmGetPhysicalAddress(PVOID baseAddress) {
  PHYSICAL_ADDRESS result{};
  if (auto physical = Bus::instance().physicalAddressOf(baseAddress)) {
    result.QuadPart = static_cast<LONGLONG>(*physical);
  }
  return result;
}
