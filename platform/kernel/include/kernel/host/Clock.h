// The kernel's two clocks. Real time runs the card at its sample rate and
// makes delays sleep; virtual time stands still until a test (or a delay on a
// test's own thread) moves it, so every driver test is deterministic.
#pragma once

#include <cstdint>
#include <functional>

namespace kernel {

// Time in 100-ns units, the kernel's unit, counted from the clock's start.
using Ticks = std::int64_t;
inline constexpr Ticks kTicksPerSecond = 10'000'000;

class Clock {
 public:
  enum class Mode { Real, Virtual };
  using TimerId = std::uint64_t;

  static Clock& instance();

  Mode mode() const;
  // Switches the clock; only while no timer is armed. Virtual time restarts at 0.
  void setMode(Mode mode);
  Ticks now() const;

  // A periodic timer whose k-th run is due at start + k * numerator / denominator
  // ticks (k = 1, 2, ...), so a period like 256 frames at 44100 Hz keeps exact
  // time over hours. Real time: callbacks run on the clock's timer thread.
  // Virtual time: on the thread that advances the clock, in deadline order.
  TimerId startPeriodic(std::uint64_t numerator, std::uint64_t denominator,
                        std::function<void()> callback);
  // After stop returns the callback is not running and does not run again
  // (from inside the callback itself it only prevents later runs).
  void stop(TimerId id);

  // Virtual time: moves the clock on by duration, running every timer that
  // falls due and waking background sleepers whose time has come.
  void advance(Ticks duration);
  // Virtual time: moves the clock to the earliest timer deadline or sleeper
  // wake-up and runs what is due there. False when nothing is pending.
  bool advanceToNextEvent();
  // Virtual time: the earliest pending deadline, or -1.
  Ticks nextEvent() const;

  // The calling thread waits for duration. Real time: it sleeps. Virtual time:
  // a foreground thread (a test, a request) advances the clock itself; a
  // background thread (a system thread) waits until others have advanced it.
  void sleep(Ticks duration);
  // Virtual time, background threads: waits until now() >= deadline or
  // wake() is called; returns true when the deadline was reached.
  bool sleepUntil(Ticks deadline);
  // Wakes sleepers early so they can re-check a condition (used by waits with
  // a time-out when their object is signalled).
  void wake();
  // Number of background threads sleeping in virtual time.
  int sleepers() const;

  // Runs after every timer callback in virtual time; the kernel uses it to let
  // the DPCs that the callback queued run before time moves on.
  void setAfterTimerHook(std::function<void()> hook);

  // Waiters that run after the DPCs of every virtual-time timer: a program's
  // engine thread that reacts to the driver's notifications registers one, so
  // that time moves on only when it has caught up.
  using WaiterId = std::uint64_t;
  WaiterId addIdleWaiter(std::function<void()> waiter);
  void removeIdleWaiter(WaiterId id);

  // Marks the calling thread as background (system threads, the DPC thread).
  static void markBackgroundThread();
  static bool isBackgroundThread();

  Clock(const Clock&) = delete;
  Clock& operator=(const Clock&) = delete;

 private:
  Clock();
  ~Clock();
  struct Impl;
  Impl* impl;
};

}  // namespace kernel
