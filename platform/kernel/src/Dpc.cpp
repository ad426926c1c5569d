#include "kernel/Dpc.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "Internal.h"
#include "kernel/Irql.h"
#include "kernel/host/Clock.h"
#include "kernel/host/KernelHost.h"
#include "kernel/host/Verifier.h"

namespace {

// All DPCs run on one thread, one at a time, at dispatch level.
struct DpcQueue {
  std::mutex lock;
  std::condition_variable work;
  std::condition_variable idle;
  std::deque<PKDPC> queue;
  bool running = false;
  bool threadStarted = false;
  std::thread::id threadId;
  unsigned long long runs = 0;

  void loop() {
    kernel::Clock::markBackgroundThread();
    std::unique_lock held(lock);
    for (;;) {
      work.wait(held, [&] { return !queue.empty(); });
      PKDPC dpc = queue.front();
      queue.pop_front();
      const auto routine = dpc->DeferredRoutine;
      PVOID context = dpc->DeferredContext;
      PVOID argument1 = dpc->SystemArgument1;
      PVOID argument2 = dpc->SystemArgument2;
      dpc->DpcData = nullptr;  // may be queued again from now on
      running = true;
      held.unlock();

      kernel::internal::setIrql(DISPATCH_LEVEL);
      routine(dpc, context, argument1, argument2);
      if (KeGetCurrentIrql() != DISPATCH_LEVEL || kernel::internal::spinLocksHeld() != 0) {
        kernel::Verifier::report(kernel::Rule::IrqlMismatch,
                                 "DPC routine returned at IRQL " +
                                     std::to_string(KeGetCurrentIrql()) + " holding " +
                                     std::to_string(kernel::internal::spinLocksHeld()) +
                                     " spin locks");
      }
      kernel::internal::setIrql(DISPATCH_LEVEL);

      held.lock();
      running = false;
      ++runs;
      idle.notify_all();
    }
  }
};

DpcQueue& dpcQueue() {
  static DpcQueue* queue = new DpcQueue;  // its thread runs until the process ends
  return *queue;
}

}  // namespace

VOID KeInitializeDpc(PRKDPC dpc, PKDEFERRED_ROUTINE deferredRoutine, PVOID deferredContext) {
  std::memset(dpc, 0, sizeof *dpc);
  dpc->DeferredRoutine = deferredRoutine;
  dpc->DeferredContext = deferredContext;
}

BOOLEAN KeInsertQueueDpc(PRKDPC dpc, PVOID systemArgument1, PVOID systemArgument2) {
  auto& queue = dpcQueue();
  std::lock_guard held(queue.lock);
  if (dpc->DpcData) return FALSE;
  dpc->DpcData = dpc;
  dpc->SystemArgument1 = systemArgument1;
  dpc->SystemArgument2 = systemArgument2;
  queue.queue.push_back(dpc);
  if (!queue.threadStarted) {
    queue.threadStarted = true;
    std::thread thread([&queue] { queue.loop(); });
    queue.threadId = thread.get_id();
    thread.detach();
  }
  queue.work.notify_one();
  return TRUE;
}

BOOLEAN KeRemoveQueueDpc(PRKDPC dpc) {
  auto& queue = dpcQueue();
  std::lock_guard held(queue.lock);
  if (!dpc->DpcData) return FALSE;
  std::erase(queue.queue, dpc);
  dpc->DpcData = nullptr;
  return TRUE;
}

VOID KeFlushQueuedDpcs() { kernel::KernelHost::waitForDpcs(); }

namespace kernel {

void KernelHost::waitForDpcs() {
  auto& queue = dpcQueue();
  std::unique_lock held(queue.lock);
  if (std::this_thread::get_id() == queue.threadId) return;  // a DPC cannot wait for itself
  queue.idle.wait(held, [&] { return queue.queue.empty() && !queue.running; });
}

unsigned long long KernelHost::dpcRuns() {
  auto& queue = dpcQueue();
  std::lock_guard held(queue.lock);
  return queue.runs;
}

}  // namespace kernel
