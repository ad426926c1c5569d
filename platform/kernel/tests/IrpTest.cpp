// Requests through the I/O manager: buffers in the caller's memory, pending
// requests cancelled when their handle closes, remove locks that drain.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "Kernel.h"
#include "kernel/host/IoManager.h"
#include "kernel/host/Verifier.h"

namespace {

using kernel::IoManager;

constexpr ULONG kEcho = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x801, METHOD_NEITHER, FILE_ANY_ACCESS);
constexpr ULONG kWait = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x802, METHOD_NEITHER, FILE_ANY_ACCESS);
constexpr ULONG kForget = CTL_CODE(FILE_DEVICE_UNKNOWN, 0x803, METHOD_NEITHER, FILE_ANY_ACCESS);

std::atomic<int> cancelIrql{-1};

NTSTATUS complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

NTSTATUS dispatchOpenClose(PDEVICE_OBJECT, PIRP irp) { return complete(irp, STATUS_SUCCESS, 0); }

VOID cancelWait(PDEVICE_OBJECT, PIRP irp) {
  cancelIrql = KeGetCurrentIrql();
  IoReleaseCancelSpinLock(irp->CancelIrql);
  complete(irp, STATUS_CANCELLED, 0);
}

NTSTATUS dispatchControl(PDEVICE_OBJECT, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  const auto& parameters = stack->Parameters.DeviceIoControl;
  switch (parameters.IoControlCode) {
    case kEcho: {
      const ULONG length = std::min(parameters.InputBufferLength, parameters.OutputBufferLength);
      std::memcpy(irp->UserBuffer, parameters.Type3InputBuffer, length);
      return complete(irp, STATUS_SUCCESS, length);
    }
    case kWait:
      IoMarkIrpPending(irp);
      IoSetCancelRoutine(irp, cancelWait);
      return STATUS_PENDING;
    case kForget:
      return STATUS_SUCCESS;
    default:
      return complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
  }
}

class Irp : public ::testing::Test {
 protected:
  void SetUp() override {
    driver = IoManager::createDriverObject(u"testdrv");
    driver->MajorFunction[IRP_MJ_CREATE] = dispatchOpenClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = dispatchOpenClose;
    driver->MajorFunction[IRP_MJ_CLEANUP] = dispatchOpenClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = dispatchControl;
    ASSERT_EQ(IoCreateDevice(driver, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device),
              STATUS_SUCCESS);
    ASSERT_EQ(IoManager::open(device, &file), STATUS_SUCCESS);
  }
  void TearDown() override {
    if (file) IoManager::close(file);
    IoDeleteDevice(device);
    IoManager::deleteDriverObject(driver);
  }

  PDRIVER_OBJECT driver = nullptr;
  PDEVICE_OBJECT device = nullptr;
  PFILE_OBJECT file = nullptr;
};

TEST_F(Irp, DeviceControlUsesTheCallersBuffers) {
  char input[] = "hello";
  char output[16] = {};
  ULONG_PTR returned = 0;
  EXPECT_EQ(IoManager::deviceControl(file, kEcho, input, sizeof input, output, sizeof output,
                                     &returned),
            STATUS_SUCCESS);
  EXPECT_EQ(returned, sizeof input);
  EXPECT_STREQ(output, "hello");
  EXPECT_EQ(IoManager::deviceControl(file, 0x12345, nullptr, 0, nullptr, 0, &returned),
            STATUS_INVALID_DEVICE_REQUEST);
}

TEST_F(Irp, ClosingTheHandleCancelsItsPendingRequest) {
  cancelIrql = -1;
  auto request = IoManager::deviceControlAsync(file, kWait, nullptr, 0, nullptr, 0);
  EXPECT_FALSE(request->completed());
  EXPECT_EQ(IoManager::pendingRequests(file), 1);
  IoManager::close(file);
  file = nullptr;
  EXPECT_TRUE(request->completed());
  EXPECT_EQ(request->wait(), STATUS_CANCELLED);
  EXPECT_EQ(cancelIrql, DISPATCH_LEVEL) << "the cancel routine runs under the cancel spin lock";
  EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
}

TEST_F(Irp, ReturningWithoutCompletingIsAViolation) {
  kernel::ViolationCapture capture;
  IoManager::deviceControlAsync(file, kForget, nullptr, 0, nullptr, 0);
  EXPECT_TRUE(capture.caught(kernel::Rule::IrpMisuse));
}

TEST(RemoveLock, CountsAcquisitionsAndDrains) {
  IO_REMOVE_LOCK lock;
  IoInitializeRemoveLockEx(&lock, 0x70636961, 0, 0, 24);
  ASSERT_EQ(IoAcquireRemoveLock(&lock, nullptr), STATUS_SUCCESS);  // teardown's own
  ASSERT_EQ(IoAcquireRemoveLock(&lock, nullptr), STATUS_SUCCESS);  // a request in flight

  std::atomic<bool> drained{false};
  std::thread teardown([&] {
    IoReleaseRemoveLockAndWait(&lock, nullptr);
    drained = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(drained) << "waits for the request in flight";
  EXPECT_EQ(IoAcquireRemoveLock(&lock, nullptr), STATUS_DELETE_PENDING);
  IoReleaseRemoveLock(&lock, nullptr);
  teardown.join();
  EXPECT_TRUE(drained);
}

}  // namespace
