// Events, mutexes and waits. One lock guards every dispatcher object's state;
// waiters sleep on one condition and re-check their object when it changes.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "Internal.h"
#include "kernel/Irql.h"
#include "kernel/Sync.h"
#include "kernel/host/Clock.h"
#include "kernel/host/Verifier.h"

namespace {

std::mutex dispatcherLock;
std::condition_variable dispatcherChanged;

// A thread's identity as a mutex owner; never 0.
ULONGLONG currentThreadTag() {
  static std::atomic<ULONGLONG> next{1};
  thread_local ULONGLONG tag = next++;
  return tag;
}

bool signalled(const DISPATCHER_HEADER* header) {
  if (header->Type == DISPATCHER_MUTEX) {
    const auto* mutex = reinterpret_cast<const KMUTEX*>(header);
    return mutex->Header.SignalState > 0 || mutex->OwnerThread == currentThreadTag();
  }
  return header->SignalState > 0;
}

void acquire(DISPATCHER_HEADER* header) {
  switch (header->Type) {
    case DISPATCHER_EVENT_SYNCHRONIZATION:
      header->SignalState = 0;
      break;
    case DISPATCHER_MUTEX: {
      auto* mutex = reinterpret_cast<KMUTEX*>(header);
      mutex->OwnerThread = currentThreadTag();
      --mutex->Header.SignalState;
      break;
    }
    default:
      break;
  }
}

// The real-time step of a wait: up to 5 ms, so that virtual-time waits can
// look at the clock again.
constexpr auto kPollStep = std::chrono::milliseconds(5);

}  // namespace

namespace kernel::internal {

void setSignalState(DISPATCHER_HEADER* header, LONG state) {
  std::lock_guard held(dispatcherLock);
  header->SignalState = state;
  dispatcherChanged.notify_all();
}

void signalObjectsChanged() {
  std::lock_guard held(dispatcherLock);
  dispatcherChanged.notify_all();
}

}  // namespace kernel::internal

NTSTATUS KeWaitForSingleObject(PVOID object, KWAIT_REASON, KPROCESSOR_MODE, BOOLEAN,
                               PLARGE_INTEGER timeout, ::kernel::SourcePlace where) {
  auto* header = static_cast<DISPATCHER_HEADER*>(object);
  const bool poll = timeout && timeout->QuadPart == 0;
  if (!poll) {
    if (header->Type == DISPATCHER_MUTEX && kernel::internal::spinLocksHeld() > 0) {
      kernel::Verifier::report(kernel::Rule::MutexUnderSpinLock,
                               "KeWaitForSingleObject on a mutex", where);
      return STATUS_TIMEOUT;
    }
    if (kernel::internal::refuseAbovePassive(
                   static_cast<int>(kernel::Rule::WaitAtRaisedIrql), "KeWaitForSingleObject",
                   where)) {
      return STATUS_TIMEOUT;
    }
  }

  auto& clock = kernel::Clock::instance();
  const bool virtualTime = clock.mode() == kernel::Clock::Mode::Virtual;
  kernel::Ticks deadline = -1;
  if (timeout && !poll) {
    deadline = timeout->QuadPart < 0 ? clock.now() - timeout->QuadPart : timeout->QuadPart;
  }
  const auto realDeadline =
      std::chrono::steady_clock::now() +
      std::chrono::nanoseconds((deadline >= 0 ? deadline - clock.now() : 0) * 100);

  std::unique_lock held(dispatcherLock);
  for (;;) {
    if (signalled(header)) {
      acquire(header);
      return STATUS_SUCCESS;
    }
    if (poll) return STATUS_TIMEOUT;
    if (!virtualTime) {
      if (deadline < 0) {
        dispatcherChanged.wait(held);
      } else if (dispatcherChanged.wait_until(held, realDeadline) == std::cv_status::timeout &&
                 !signalled(header)) {
        return STATUS_TIMEOUT;
      }
      continue;
    }
    // Virtual time: let the other threads run for a moment, then, if still
    // waiting, a foreground thread moves time on to the next thing due (a
    // block of the card, a system thread's wake-up, or the time-out).
    dispatcherChanged.wait_for(held, kPollStep);
    if (signalled(header)) continue;
    if (deadline >= 0 && clock.now() >= deadline) return STATUS_TIMEOUT;
    if (!kernel::Clock::isBackgroundThread()) {
      kernel::Ticks next = clock.nextEvent();
      if (deadline >= 0 && (next < 0 || deadline < next)) next = deadline;
      if (next >= 0) {
        held.unlock();
        clock.advance(next - clock.now());
        held.lock();
      }
    }
  }
}

VOID KeInitializeMutex(PRKMUTEX mutex, ULONG level) {
  std::memset(mutex, 0, sizeof *mutex);
  mutex->Header.Type = DISPATCHER_MUTEX;
  mutex->Header.SignalState = 1;
  mutex->Level = level;
}

LONG KeReleaseMutex(PRKMUTEX mutex, BOOLEAN, ::kernel::SourcePlace where) {
  std::unique_lock held(dispatcherLock);
  const LONG previous = mutex->Header.SignalState;
  if (mutex->OwnerThread != currentThreadTag() || previous > 0) {
    held.unlock();
    kernel::Verifier::report(kernel::Rule::MutexMisuse,
                             "KeReleaseMutex by a thread that does not own it", where);
    return previous;
  }
  if (++mutex->Header.SignalState == 1) {
    mutex->OwnerThread = 0;
    dispatcherChanged.notify_all();
  }
  return previous;
}

LONG KeReadStateMutex(PRKMUTEX mutex) {
  std::lock_guard held(dispatcherLock);
  return mutex->Header.SignalState;
}

VOID KeInitializeEvent(PRKEVENT event, EVENT_TYPE type, BOOLEAN state) {
  std::memset(event, 0, sizeof *event);
  event->Header.Type = type == NotificationEvent ? DISPATCHER_EVENT_NOTIFICATION
                                                 : DISPATCHER_EVENT_SYNCHRONIZATION;
  event->Header.SignalState = state ? 1 : 0;
}

LONG KeSetEvent(PRKEVENT event, KPRIORITY, BOOLEAN wait, ::kernel::SourcePlace where) {
  if (wait && KeGetCurrentIrql() > PASSIVE_LEVEL) {
    kernel::Verifier::report(kernel::Rule::WaitAtRaisedIrql,
                             "KeSetEvent with Wait TRUE at raised IRQL", where);
  }
  std::lock_guard held(dispatcherLock);
  const LONG previous = event->Header.SignalState;
  event->Header.SignalState = 1;
  dispatcherChanged.notify_all();
  return previous;
}

VOID KeClearEvent(PRKEVENT event) {
  std::lock_guard held(dispatcherLock);
  event->Header.SignalState = 0;
}

LONG KeResetEvent(PRKEVENT event) {
  std::lock_guard held(dispatcherLock);
  const LONG previous = event->Header.SignalState;
  event->Header.SignalState = 0;
  return previous;
}

LONG KeReadStateEvent(PRKEVENT event) {
  std::lock_guard held(dispatcherLock);
  return event->Header.SignalState;
}
