// DPCs run only after they were queued, once per queueing, at dispatch level
// on their own thread; interrupt service routines run at device level.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "Kernel.h"
#include "kernel/host/Bus.h"
#include "kernel/host/KernelHost.h"

namespace {

struct DpcRecord {
  std::atomic<int> runs{0};
  std::atomic<int> irql{-1};
  std::thread::id thread;
};

VOID recordDpc(PKDPC, PVOID context, PVOID, PVOID) {
  auto* record = static_cast<DpcRecord*>(context);
  record->irql = KeGetCurrentIrql();
  record->thread = std::this_thread::get_id();
  ++record->runs;
}

TEST(Dpc, RunsOnlyAfterQueuedOncePerQueueingAtDispatchLevel) {
  DpcRecord record;
  KDPC dpc;
  KeInitializeDpc(&dpc, recordDpc, &record);
  kernel::KernelHost::waitForDpcs();
  EXPECT_EQ(record.runs, 0) << "an initialised DPC does not run by itself";

  EXPECT_TRUE(KeInsertQueueDpc(&dpc, nullptr, nullptr));
  kernel::KernelHost::waitForDpcs();
  EXPECT_EQ(record.runs, 1);
  EXPECT_EQ(record.irql, DISPATCH_LEVEL);
  EXPECT_NE(record.thread, std::this_thread::get_id());
  EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
}

VOID blockingDpc(PKDPC, PVOID context, PVOID, PVOID) {
  auto* gate = static_cast<std::atomic<bool>*>(context);
  while (!gate->load()) std::this_thread::yield();
}

TEST(Dpc, QueueingTwiceBeforeItRunsRunsItOnce) {
  // Hold the DPC thread so the second DPC stays queued.
  std::atomic<bool> gate{false};
  KDPC blocker;
  KeInitializeDpc(&blocker, blockingDpc, &gate);
  KeInsertQueueDpc(&blocker, nullptr, nullptr);

  DpcRecord record;
  KDPC dpc;
  KeInitializeDpc(&dpc, recordDpc, &record);
  EXPECT_TRUE(KeInsertQueueDpc(&dpc, nullptr, nullptr));
  EXPECT_FALSE(KeInsertQueueDpc(&dpc, nullptr, nullptr)) << "already queued";
  gate = true;
  kernel::KernelHost::waitForDpcs();
  EXPECT_EQ(record.runs, 1);

  EXPECT_TRUE(KeInsertQueueDpc(&dpc, nullptr, nullptr)) << "queueable again once it ran";
  kernel::KernelHost::waitForDpcs();
  EXPECT_EQ(record.runs, 2);
}

struct IsrRecord {
  KDPC dpc;
  DpcRecord dpcRecord;
  std::atomic<int> isrIrql{-1};
};

BOOLEAN testIsr(PKINTERRUPT, PVOID context) {
  auto* record = static_cast<IsrRecord*>(context);
  record->isrIrql = KeGetCurrentIrql();
  KeInsertQueueDpc(&record->dpc, nullptr, nullptr);
  return TRUE;
}

TEST(Dpc, InterruptServiceRunsAtDeviceLevelAndItsDpcAtDispatch) {
  IsrRecord record;
  KeInitializeDpc(&record.dpc, recordDpc, &record.dpcRecord);
  auto& bus = kernel::Bus::instance();
  const unsigned line = bus.allocateInterruptLine();
  PKINTERRUPT interrupt = nullptr;
  KSPIN_LOCK lock = 0;
  ASSERT_EQ(IoConnectInterrupt(&interrupt, testIsr, &record, &lock, line, DEVICE_LEVEL,
                               DEVICE_LEVEL, LevelSensitive, FALSE, 1, FALSE),
            STATUS_SUCCESS);
  EXPECT_TRUE(bus.raiseInterrupt(line));
  kernel::KernelHost::waitForDpcs();
  EXPECT_EQ(record.isrIrql, DEVICE_LEVEL);
  EXPECT_EQ(record.dpcRecord.runs, 1);
  EXPECT_EQ(record.dpcRecord.irql, DISPATCH_LEVEL);
  EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL) << "the raising thread's level is restored";
  IoDisconnectInterrupt(interrupt);
  EXPECT_FALSE(bus.raiseInterrupt(line));
}

}  // namespace
