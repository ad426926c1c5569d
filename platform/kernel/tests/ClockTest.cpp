#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "Kernel.h"
#include "KernelTest.h"

namespace {

using kernel::Clock;
using kernel::Ticks;

class VirtualClock : public kernel::testing::VirtualTimeTest {};

TEST_F(VirtualClock, PeriodicTimerKeepsExactTimeOverHours) {
  auto& clock = Clock::instance();
  std::vector<Ticks> runs;
  // 256 frames at 44100 Hz: 58049.886... ticks a period.
  const auto id = clock.startPeriodic(256ull * kernel::kTicksPerSecond, 44100,
                                      [&] { runs.push_back(clock.now()); });
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(clock.advanceToNextEvent());
  EXPECT_EQ(runs, (std::vector<Ticks>{58049, 116099, 174149}));
  // One hour later the timer has run exactly rate/frames periods per second.
  clock.advance(3600 * kernel::kTicksPerSecond - clock.now());
  EXPECT_EQ(runs.size(), 3600u * 44100u / 256u);
  clock.stop(id);
  EXPECT_FALSE(clock.advanceToNextEvent());
}

TEST_F(VirtualClock, DelayOnATestThreadAdvancesTime) {
  auto& clock = Clock::instance();
  int ticks = 0;
  const auto id = clock.startPeriodic(10 * 10000, 1, [&] { ++ticks; });  // every 10 ms
  LARGE_INTEGER interval;
  interval.QuadPart = -1000 * 10000;  // 1 s
  KeDelayExecutionThread(KernelMode, FALSE, &interval);
  EXPECT_EQ(clock.now(), kernel::kTicksPerSecond);
  EXPECT_EQ(ticks, 100) << "timers due within the delay ran";
  clock.stop(id);
}

VOID sleepOneSecond(PVOID context) {
  LARGE_INTEGER interval;
  interval.QuadPart = -10000000;
  KeDelayExecutionThread(KernelMode, FALSE, &interval);
  static_cast<std::atomic<bool>*>(context)->store(true);
  PsTerminateSystemThread(STATUS_SUCCESS);
}

TEST_F(VirtualClock, SystemThreadSleepsUntilOthersAdvanceTime) {
  auto& clock = Clock::instance();
  std::atomic<bool> woke{false};
  HANDLE handle;
  ASSERT_EQ(PsCreateSystemThread(&handle, THREAD_ALL_ACCESS, nullptr, nullptr, nullptr,
                                 sleepOneSecond, &woke),
            STATUS_SUCCESS);
  while (clock.sleepers() == 0) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(woke) << "virtual time stood still";
  clock.advance(kernel::kTicksPerSecond);
  PVOID thread;
  ASSERT_EQ(ObReferenceObjectByHandle(handle, THREAD_ALL_ACCESS, *PsThreadType, KernelMode, &thread,
                                      nullptr),
            STATUS_SUCCESS);
  ZwClose(handle);
  KeWaitForSingleObject(thread, Executive, KernelMode, FALSE, nullptr);
  ObDereferenceObject(thread);
  EXPECT_TRUE(woke);
}

TEST(RealClock, DelaySleepsForReal) {
  auto& clock = Clock::instance();
  clock.setMode(Clock::Mode::Real);
  const auto before = std::chrono::steady_clock::now();
  LARGE_INTEGER interval;
  interval.QuadPart = -20 * 10000;
  KeDelayExecutionThread(KernelMode, FALSE, &interval);
  EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(20));
}

}  // namespace
