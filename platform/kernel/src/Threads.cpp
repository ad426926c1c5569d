#include "kernel/Threads.h"

#include <atomic>
#include <thread>

#include "Internal.h"
#include "kernel/Seh.h"
#include "kernel/host/Clock.h"
#include "kernel/host/KernelHost.h"
#include "kernel/host/Verifier.h"

struct KTHREAD {
  DISPATCHER_HEADER Header;  // signalled when the thread has ended
  NTSTATUS ExitStatus;
};

namespace {

std::atomic<int> runningThreads{0};
thread_local PKTHREAD currentSystemThread = nullptr;

// Unwinds a system thread to its start when it calls PsTerminateSystemThread.
struct ThreadTermination {
  NTSTATUS status;
};

}  // namespace

NTSTATUS PsCreateSystemThread(PHANDLE threadHandle, ULONG desiredAccess, POBJECT_ATTRIBUTES,
                              HANDLE, PCLIENT_ID, PKSTART_ROUTINE startRoutine,
                              PVOID startContext) {
  auto* thread = static_cast<PKTHREAD>(kernel::internal::createObject(
      kernel::internal::ObjectKind::Thread, sizeof(KTHREAD), nullptr));
  thread->Header.Type = DISPATCHER_THREAD;
  *threadHandle = kernel::internal::createHandle(thread, desiredAccess, true);
  ++runningThreads;
  std::thread([thread, startRoutine, startContext] {
    kernel::Clock::markBackgroundThread();
    currentSystemThread = thread;
    NTSTATUS status = STATUS_SUCCESS;
    try {
      startRoutine(startContext);
    } catch (const ThreadTermination& termination) {
      status = termination.status;
    } catch (const kernel::StructuredException& exception) {
      kernel::Verifier::report(kernel::Rule::ApiMisuse,
                               "unhandled exception " + std::to_string(exception.code) +
                                   " in a system thread");
    }
    thread->ExitStatus = status;
    --runningThreads;
    kernel::internal::setSignalState(&thread->Header, 1);
    ObfDereferenceObject(thread);  // the thread's own reference
  }).detach();
  return STATUS_SUCCESS;
}

NTSTATUS PsTerminateSystemThread(NTSTATUS exitStatus) {
  if (!currentSystemThread) {
    kernel::Verifier::report(kernel::Rule::ApiMisuse,
                             "PsTerminateSystemThread outside a system thread");
  }
  throw ThreadTermination{exitStatus};
}

PKTHREAD KeGetCurrentThread() { return currentSystemThread; }

namespace kernel {
int KernelHost::runningSystemThreads() { return runningThreads.load(); }
}  // namespace kernel
