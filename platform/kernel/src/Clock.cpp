#include "kernel/host/Clock.h"

#include "kernel/host/KernelHost.h"

#include <cassert>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace kernel {

namespace {

thread_local bool backgroundThread = false;

struct Timer {
  std::uint64_t numerator;
  std::uint64_t denominator;
  Ticks start;
  std::uint64_t runs = 0;  // completed or started runs; the next is runs + 1
  std::function<void()> callback;
  bool running = false;
  std::thread::id runner;

  Ticks due() const {
    const auto k = runs + 1;
    // Split so that k * numerator never overflows.
    return start + static_cast<Ticks>((k / denominator) * numerator +
                                      ((k % denominator) * numerator) / denominator);
  }
};

}  // namespace

struct Clock::Impl {
  mutable std::mutex lock;
  std::condition_variable timersChanged;  // real-time timer thread waits here
  std::condition_variable timeMoved;      // virtual sleepers wait here
  std::condition_variable callbackDone;   // stop() waits here for a running callback
  Mode mode = Mode::Real;
  std::chrono::steady_clock::time_point realStart = std::chrono::steady_clock::now();
  Ticks virtualNow = 0;
  std::map<TimerId, std::shared_ptr<Timer>> timers;
  TimerId nextId = 1;
  std::thread timerThread;
  std::multiset<Ticks> sleeperDeadlines;
  std::uint64_t wakeGeneration = 0;
  std::function<void()> afterTimerHook;
  // Guards idleWaiters and is held while they run, so a removed waiter is
  // never running once removeIdleWaiter returns.
  std::mutex waiterLock;
  std::map<WaiterId, std::function<void()>> idleWaiters;
  WaiterId nextWaiter = 1;
  std::mutex advancing;  // one thread moves virtual time at a time

  Ticks nowLocked() const {
    if (mode == Mode::Virtual) return virtualNow;
    const auto elapsed = std::chrono::steady_clock::now() - realStart;
    return std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count() / 100;
  }

  std::shared_ptr<Timer> earliestLocked() const {
    std::shared_ptr<Timer> best;
    for (const auto& [id, timer] : timers) {
      if (timer->running) continue;
      if (!best || timer->due() < best->due()) best = timer;
    }
    return best;
  }

  // Runs one due timer's callback with the lock released.
  void runTimer(std::unique_lock<std::mutex>& held, const std::shared_ptr<Timer>& timer) {
    timer->running = true;
    timer->runner = std::this_thread::get_id();
    ++timer->runs;
    auto hook = afterTimerHook;
    const bool virtualTime = mode == Mode::Virtual;
    held.unlock();
    timer->callback();
    if (virtualTime) {
      if (hook) hook();
      std::lock_guard running(waiterLock);
      for (const auto& [id, waiter] : idleWaiters) waiter();
    }
    held.lock();
    timer->running = false;
    timer->runner = {};
    callbackDone.notify_all();
  }

  void realTimerLoop() {
    std::unique_lock held(lock);
    for (;;) {
      if (mode != Mode::Real || timers.empty()) {
        if (timers.empty() && mode == Mode::Real) {
          // Nothing armed: the thread ends; the next real timer starts another.
          timerThread.detach();
          return;
        }
        timersChanged.wait(held);
        continue;
      }
      auto timer = earliestLocked();
      if (!timer) {
        timersChanged.wait(held);
        continue;
      }
      const Ticks due = timer->due();
      const auto wakeAt = realStart + std::chrono::nanoseconds(due * 100);
      if (std::chrono::steady_clock::now() < wakeAt) {
        timersChanged.wait_until(held, wakeAt);
        continue;  // re-evaluate: the timer may be gone or another may be earlier
      }
      runTimer(held, timer);
    }
  }
};

Clock& Clock::instance() {
  // Never destroyed: timers and sleepers may still be in flight at exit.
  static Clock* clock = new Clock;
  return *clock;
}

Clock::Clock() : impl(new Impl) {
  // Time moves on only once the DPCs a timer's interrupt queued have run, as
  // on a machine whose DPCs keep up with the card.
  impl->afterTimerHook = &KernelHost::waitForDpcs;
}
Clock::~Clock() { delete impl; }

Clock::Mode Clock::mode() const {
  std::lock_guard held(impl->lock);
  return impl->mode;
}

void Clock::setMode(Mode mode) {
  std::lock_guard held(impl->lock);
  assert(impl->timers.empty() && "the clock's mode changes only while no timer is armed");
  impl->mode = mode;
  impl->virtualNow = 0;
  impl->timeMoved.notify_all();
  impl->timersChanged.notify_all();
}

Ticks Clock::now() const {
  std::lock_guard held(impl->lock);
  return impl->nowLocked();
}

Clock::TimerId Clock::startPeriodic(std::uint64_t numerator, std::uint64_t denominator,
                                    std::function<void()> callback) {
  assert(numerator > 0 && denominator > 0);
  std::lock_guard held(impl->lock);
  auto timer = std::make_shared<Timer>();
  timer->numerator = numerator;
  timer->denominator = denominator;
  timer->start = impl->nowLocked();
  timer->callback = std::move(callback);
  const TimerId id = impl->nextId++;
  impl->timers.emplace(id, timer);
  if (impl->mode == Mode::Real && !impl->timerThread.joinable()) {
    impl->timerThread = std::thread([this] {
      markBackgroundThread();
      impl->realTimerLoop();
    });
  }
  impl->timersChanged.notify_all();
  return id;
}

void Clock::stop(TimerId id) {
  std::unique_lock held(impl->lock);
  auto found = impl->timers.find(id);
  if (found == impl->timers.end()) return;
  auto timer = found->second;
  impl->timers.erase(found);
  impl->timersChanged.notify_all();
  if (timer->running && timer->runner != std::this_thread::get_id()) {
    impl->callbackDone.wait(held, [&] { return !timer->running; });
  }
}

void Clock::advance(Ticks duration) {
  std::lock_guard moving(impl->advancing);
  std::unique_lock held(impl->lock);
  assert(impl->mode == Mode::Virtual && "only virtual time is advanced by hand");
  const Ticks target = impl->virtualNow + (duration > 0 ? duration : 0);
  for (;;) {
    auto timer = impl->earliestLocked();
    if (!timer || timer->due() > target) break;
    impl->virtualNow = std::max(impl->virtualNow, timer->due());
    impl->timeMoved.notify_all();
    impl->runTimer(held, timer);
  }
  impl->virtualNow = target;
  impl->timeMoved.notify_all();
}

Ticks Clock::nextEvent() const {
  std::lock_guard held(impl->lock);
  Ticks next = -1;
  if (auto timer = impl->earliestLocked()) next = timer->due();
  if (!impl->sleeperDeadlines.empty()) {
    const Ticks sleeper = *impl->sleeperDeadlines.begin();
    if (next < 0 || sleeper < next) next = sleeper;
  }
  return next;
}

bool Clock::advanceToNextEvent() {
  const Ticks next = nextEvent();
  if (next < 0) return false;
  advance(next - now());
  return true;
}

void Clock::sleep(Ticks duration) {
  if (duration <= 0) return;
  if (mode() == Mode::Real) {
    std::this_thread::sleep_for(std::chrono::nanoseconds(duration * 100));
    return;
  }
  if (isBackgroundThread()) {
    const Ticks deadline = now() + duration;
    while (!sleepUntil(deadline)) {
    }
  } else {
    advance(duration);
  }
}

bool Clock::sleepUntil(Ticks deadline) {
  std::unique_lock held(impl->lock);
  if (impl->mode == Mode::Real) {
    const auto wakeAt = impl->realStart + std::chrono::nanoseconds(deadline * 100);
    const auto generation = impl->wakeGeneration;
    impl->timeMoved.wait_until(held, wakeAt, [&] {
      return impl->wakeGeneration != generation || impl->mode != Mode::Real;
    });
    return impl->nowLocked() >= deadline;
  }
  if (impl->virtualNow >= deadline) return true;
  const auto generation = impl->wakeGeneration;
  auto entry = impl->sleeperDeadlines.insert(deadline);
  impl->timeMoved.wait(held, [&] {
    return impl->virtualNow >= deadline || impl->wakeGeneration != generation ||
           impl->mode != Mode::Virtual;
  });
  impl->sleeperDeadlines.erase(entry);
  return impl->nowLocked() >= deadline;
}

void Clock::wake() {
  std::lock_guard held(impl->lock);
  ++impl->wakeGeneration;
  impl->timeMoved.notify_all();
}

int Clock::sleepers() const {
  std::lock_guard held(impl->lock);
  return static_cast<int>(impl->sleeperDeadlines.size());
}

void Clock::setAfterTimerHook(std::function<void()> hook) {
  std::lock_guard held(impl->lock);
  impl->afterTimerHook = std::move(hook);
}

Clock::WaiterId Clock::addIdleWaiter(std::function<void()> waiter) {
  std::lock_guard held(impl->waiterLock);
  const WaiterId id = impl->nextWaiter++;
  impl->idleWaiters.emplace(id, std::move(waiter));
  return id;
}

void Clock::removeIdleWaiter(WaiterId id) {
  std::lock_guard held(impl->waiterLock);
  impl->idleWaiters.erase(id);
}

void Clock::markBackgroundThread() { backgroundThread = true; }
bool Clock::isBackgroundThread() { return backgroundThread; }

}  // namespace kernel
