// The I/O manager for hosts of a driver: open handles on devices, send
// device-control requests with the caller's buffers, close handles (which
// cancels their pending requests).
#pragma once

#include <memory>
#include <string>

#include "kernel/Irp.h"

namespace kernel {

// A request in flight; the driver may complete it later from any thread.
class PendingRequest {
 public:
  virtual ~PendingRequest() = default;
  virtual bool completed() const = 0;
  // Waits for completion; returns the final status (Information in *information).
  virtual NTSTATUS wait(ULONG_PTR* information = nullptr) = 0;
};

class IoManager {
 public:
  // Sends IRP_MJ_CREATE to the device; on success returns the new handle's
  // file object.
  static NTSTATUS open(PDEVICE_OBJECT device, PFILE_OBJECT* file);
  // The same with a reference string naming what to open on the device (the
  // part of a device interface's path after the device).
  static NTSTATUS open(PDEVICE_OBJECT device, const std::u16string& referenceString,
                       PFILE_OBJECT* file);
  // A device-control request with METHOD_NEITHER buffers in the caller's
  // memory, sent from user mode. Waits for completion when the driver pends it.
  static NTSTATUS deviceControl(PFILE_OBJECT file, ULONG code, void* input, ULONG inputLength,
                                void* output, ULONG outputLength, ULONG_PTR* information);
  // The same without waiting: the caller keeps the request.
  static std::shared_ptr<PendingRequest> deviceControlAsync(PFILE_OBJECT file, ULONG code,
                                                            void* input, ULONG inputLength,
                                                            void* output, ULONG outputLength);
  // Cancels the handle's pending requests (their cancel routines run under the
  // cancel spin lock), then sends IRP_MJ_CLEANUP and IRP_MJ_CLOSE.
  static void close(PFILE_OBJECT file);
  // Requests of the handle not yet completed.
  static int pendingRequests(PFILE_OBJECT file);

  // Driver and device objects for hosts that load a driver.
  static PDRIVER_OBJECT createDriverObject(const char16_t* serviceName);
  static void deleteDriverObject(PDRIVER_OBJECT driver);
};

}  // namespace kernel
