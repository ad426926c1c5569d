// Test support for code that runs on the stand-in kernel.
#pragma once

#include <gtest/gtest.h>

#include "kernel/host/Clock.h"
#include "kernel/host/PoolTracker.h"

namespace kernel::testing {

// Makes every verifier violation a failure of the running test, naming the
// rule and the place (the test programs' main does this).
void failTestsOnViolations();

// A test in virtual time that leaves the pool as it found it.
class VirtualTimeTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

 private:
  PoolUsage poolAtStart;
};

}  // namespace kernel::testing
