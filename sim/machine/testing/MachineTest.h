// A booted machine in virtual time, for the driver's tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "KernelTest.h"
#include "Machine.h"

class MachineTest : public kernel::testing::VirtualTimeTest {
 protected:
  void SetUp() override {
    VirtualTimeTest::SetUp();
    machine = std::make_unique<machine::Machine>(options());
  }
  void TearDown() override {
    if (machine && machine->loaded()) {
      const auto report = machine->unload();
      EXPECT_TRUE(report.clean) << report.outstanding.bytes << " bytes left in "
                                << report.outstanding.allocations << " allocations";
    }
    machine.reset();
    VirtualTimeTest::TearDown();
  }
  virtual machine::MachineOptions options() { return {}; }

  // Runs the card for n block periods of virtual time, with their DPCs.
  void runBlocks(int n) {
    for (int i = 0; i < n; ++i) ASSERT_TRUE(kernel::Clock::instance().advanceToNextEvent());
  }

  std::unique_ptr<machine::Machine> machine;
};
