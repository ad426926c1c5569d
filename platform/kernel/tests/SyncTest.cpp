#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "Kernel.h"
#include "KernelTest.h"

namespace {

TEST(Sync, MutexIsRecursiveForItsOwnerAndExcludesOthers) {
  KMUTEX mutex;
  KeInitializeMutex(&mutex, 0);
  ASSERT_EQ(KeWaitForSingleObject(&mutex, Executive, KernelMode, FALSE, nullptr), STATUS_SUCCESS);
  ASSERT_EQ(KeWaitForSingleObject(&mutex, Executive, KernelMode, FALSE, nullptr), STATUS_SUCCESS);

  std::atomic<bool> otherHasIt{false};
  std::thread other([&] {
    KeWaitForSingleObject(&mutex, Executive, KernelMode, FALSE, nullptr);
    otherHasIt = true;
    KeReleaseMutex(&mutex, FALSE);
  });
  KeReleaseMutex(&mutex, FALSE);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(otherHasIt) << "still held once";
  KeReleaseMutex(&mutex, FALSE);
  other.join();
  EXPECT_TRUE(otherHasIt);
  EXPECT_EQ(KeReadStateMutex(&mutex), 1);
}

TEST(Sync, SynchronizationEventWakesOneWaitAndResets) {
  KEVENT event;
  KeInitializeEvent(&event, SynchronizationEvent, FALSE);
  std::thread setter([&] { KeSetEvent(&event, IO_NO_INCREMENT, FALSE); });
  EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr), STATUS_SUCCESS);
  setter.join();
  EXPECT_EQ(KeReadStateEvent(&event), 0);

  KEVENT notification;
  KeInitializeEvent(&notification, NotificationEvent, TRUE);
  LARGE_INTEGER zero{};
  EXPECT_EQ(KeWaitForSingleObject(&notification, Executive, KernelMode, FALSE, &zero),
            STATUS_SUCCESS);
  EXPECT_EQ(KeReadStateEvent(&notification), 1) << "notification events stay signalled";
}

TEST(Sync, SpinLockRaisesToDispatchAndRestores) {
  KSPIN_LOCK lock;
  KeInitializeSpinLock(&lock);
  KIRQL old;
  KeAcquireSpinLock(&lock, &old);
  EXPECT_EQ(KeGetCurrentIrql(), DISPATCH_LEVEL);
  EXPECT_EQ(old, PASSIVE_LEVEL);
  KeReleaseSpinLock(&lock, old);
  EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
}

TEST(Sync, InterlockedOperationsLoseNoCount) {
  volatile LONG credit = 0;
  std::thread adder([&] {
    for (int i = 0; i < 100000; ++i) InterlockedExchangeAdd(&credit, 1024);
  });
  for (int i = 0; i < 100000; ++i) InterlockedExchangeAdd(&credit, -1024);
  adder.join();
  EXPECT_EQ(credit, 0);
}

class SyncInVirtualTime : public kernel::testing::VirtualTimeTest {};

TEST_F(SyncInVirtualTime, WaitWithTimeOutEndsAtTheVirtualDeadline) {
  KEVENT event;
  KeInitializeEvent(&event, NotificationEvent, FALSE);
  auto& clock = kernel::Clock::instance();
  const auto start = clock.now();
  LARGE_INTEGER timeout;
  timeout.QuadPart = -50 * 10000;  // 50 ms
  EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &timeout),
            STATUS_TIMEOUT);
  EXPECT_EQ(clock.now() - start, 50 * 10000);
}

}  // namespace
