#include "kernel/Time.h"

#include "Internal.h"
#include "kernel/host/Clock.h"
#include "kernel/host/Verifier.h"

NTSTATUS KeDelayExecutionThread(KPROCESSOR_MODE, BOOLEAN, PLARGE_INTEGER interval,
                                ::kernel::SourcePlace where) {
  if (kernel::internal::refuseAbovePassive(static_cast<int>(kernel::Rule::DelayAtRaisedIrql),
                                           "KeDelayExecutionThread", where)) {
    return STATUS_SUCCESS;
  }
  auto& clock = kernel::Clock::instance();
  const kernel::Ticks duration =
      interval->QuadPart < 0 ? -interval->QuadPart : interval->QuadPart - clock.now();
  clock.sleep(duration);
  return STATUS_SUCCESS;
}

LARGE_INTEGER KeQueryPerformanceCounter(PLARGE_INTEGER performanceFrequency) {
  if (performanceFrequency) performanceFrequency->QuadPart = kernel::kTicksPerSecond;
  LARGE_INTEGER counter;
  counter.QuadPart = kernel::Clock::instance().now();
  return counter;
}

VOID KeQuerySystemTime(PLARGE_INTEGER currentTime) {
  currentTime->QuadPart = kernel::Clock::instance().now();
}
