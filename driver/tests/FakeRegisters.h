// A register window whose ring positions a test chooses, recording what the
// driver writes: the card's side of the ring arithmetic, under the test's control.
#pragma once

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "kernel/host/Bus.h"

// A register window that reports the positions the test chooses and records
// what the driver writes.
class FakeRegisters : public kernel::BusDevice {
 public:
  FakeRegisters() {
    physical = kernel::Bus::instance().attachWindow(*this, 0, memory);
  }
  ~FakeRegisters() override { kernel::Bus::instance().detachDevice(*this); }

  void registerWritten(int, std::uint32_t offset, std::uint32_t value) override {
    writes.push_back({offset, value});
  }
  void registerRead(int, std::uint32_t offset) override {
    std::uint32_t value = 0;
    if (offset == 0x1AC) value = playPosition;
    if (offset == 0x218) value = capturePosition;
    std::memcpy(memory.data() + offset, &value, 4);
  }

  std::vector<std::uint8_t> memory = std::vector<std::uint8_t>(0x1000);
  std::uint64_t physical = 0;
  std::uint32_t playPosition = 0;
  std::uint32_t capturePosition = 0;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> writes;
};

