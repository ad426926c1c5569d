#include "KernelTest.h"

#include "kernel/host/KernelHost.h"
#include "kernel/host/Verifier.h"

namespace kernel::testing {

void failTestsOnViolations() {
  Verifier::setHandler([](const Violation& violation) {
    ADD_FAILURE_AT(violation.where.file_name(), static_cast<int>(violation.where.line()))
        << violation.describe();
  });
}

void VirtualTimeTest::SetUp() {
  Clock::instance().setMode(Clock::Mode::Virtual);
  PoolTracker::clearFaults();
  poolAtStart = PoolTracker::outstanding();
}

void VirtualTimeTest::TearDown() {
  KernelHost::waitForDpcs();
  PoolTracker::clearFaults();
  const auto pool = PoolTracker::outstanding();
  EXPECT_EQ(pool.allocations, poolAtStart.allocations) << "pool allocations left by the test";
  EXPECT_EQ(pool.bytes, poolAtStart.bytes) << "pool bytes left by the test";
}

}  // namespace kernel::testing
