// The bus routes register accesses to the device behind a mapped window and
// hands out DMA memory the device can reach by physical address.
#include <gtest/gtest.h>

#include <vector>

#include "Kernel.h"
#include "kernel/host/Bus.h"

namespace {

class RecordingDevice : public kernel::BusDevice {
 public:
  void registerWritten(int window, std::uint32_t offset, std::uint32_t value) override {
    writes.push_back({window, offset, value});
  }
  void registerRead(int, std::uint32_t offset) override {
    // The register's value appears in window memory only when read.
    const std::uint32_t value = 0xC0DE0000 | offset;
    std::memcpy(memory.data() + offset, &value, 4);
  }
  struct Write {
    int window;
    std::uint32_t offset;
    std::uint32_t value;
    bool operator==(const Write&) const = default;
  };
  std::vector<Write> writes;
  std::vector<std::uint8_t> memory = std::vector<std::uint8_t>(0x1000);
};

TEST(Bus, RegisterAccessesReachTheDevicePlainStoresDoNot) {
  RecordingDevice device;
  auto& bus = kernel::Bus::instance();
  PHYSICAL_ADDRESS base;
  base.QuadPart = static_cast<LONGLONG>(bus.attachWindow(device, 0, device.memory));
  auto* registers = static_cast<PUCHAR>(MmMapIoSpace(base, 0x1000, MmNonCached));
  ASSERT_EQ(registers, device.memory.data());

  WRITE_REGISTER_ULONG(reinterpret_cast<PULONG>(registers + 0x184), 0x12345678);
  registers[0x300] = 0x41;  // a plain store: lands in memory, the device is not told
  EXPECT_EQ(device.writes, (std::vector<RecordingDevice::Write>{{0, 0x184, 0x12345678}}));
  EXPECT_EQ(device.memory[0x300], 0x41);
  EXPECT_EQ(READ_REGISTER_ULONG(reinterpret_cast<PULONG>(registers + 0x1AC)), 0xC0DE01ACu);
  EXPECT_EQ(READ_REGISTER_ULONG(reinterpret_cast<PULONG>(registers + 0x401)), 0xC0DE0401u)
      << "unaligned registers read whole";
  bus.detachDevice(device);
}

TEST(Bus, ContiguousMemoryHasAPhysicalAddressTheDeviceCanReach) {
  PHYSICAL_ADDRESS limit;
  limit.QuadPart = 0xFFFFFFFF;
  auto* ring = static_cast<PUCHAR>(MmAllocateContiguousMemory(0x18000, limit));
  ASSERT_NE(ring, nullptr);
  const auto physical = static_cast<std::uint64_t>(MmGetPhysicalAddress(ring).QuadPart);
  EXPECT_LT(physical, 0x100000000ull);
  EXPECT_EQ(static_cast<std::uint64_t>(MmGetPhysicalAddress(ring + 0x400).QuadPart),
            physical + 0x400);
  auto& bus = kernel::Bus::instance();
  auto view = bus.dmaRange(physical + 0x17C00, 0x400);
  ASSERT_EQ(view.size(), 0x400u);
  EXPECT_EQ(view.data(), ring + 0x17C00);
  EXPECT_TRUE(bus.dmaRange(physical + 0x17C00, 0x401).empty()) << "past the end";
  MmFreeContiguousMemory(ring);
  EXPECT_TRUE(bus.dmaRange(physical, 4).empty()) << "freed";
}

}  // namespace
