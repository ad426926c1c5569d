#include <gtest/gtest.h>

#include "Kernel.h"
#include "kernel/host/UserObjects.h"

namespace {

using kernel::UserObjects;

TEST(Objects, ReferenceByHandleChecksTypeAndAccess) {
  HANDLE event = UserObjects::createEvent(SynchronizationEvent, false, EVENT_MODIFY_STATE | SYNCHRONIZE);
  HANDLE waitOnly = UserObjects::createEvent(SynchronizationEvent, false, SYNCHRONIZE);
  PVOID object = nullptr;

  struct Case {
    const char* name;
    HANDLE handle;
    ACCESS_MASK access;
    POBJECT_TYPE type;
    KPROCESSOR_MODE mode;
    NTSTATUS expected;
  } cases[] = {
      {"user event with modify access", event, EVENT_MODIFY_STATE, *ExEventObjectType, UserMode,
       STATUS_SUCCESS},
      {"handle without modify access", waitOnly, EVENT_MODIFY_STATE, *ExEventObjectType, UserMode,
       STATUS_ACCESS_DENIED},
      {"kernel mode skips the access check", waitOnly, EVENT_MODIFY_STATE, *ExEventObjectType,
       KernelMode, STATUS_SUCCESS},
      {"an event is not a thread", event, SYNCHRONIZE, *PsThreadType, UserMode,
       STATUS_OBJECT_TYPE_MISMATCH},
      {"no such handle", reinterpret_cast<HANDLE>(0x7777), EVENT_MODIFY_STATE, *ExEventObjectType,
       UserMode, STATUS_INVALID_HANDLE},
      {"null handle", nullptr, EVENT_MODIFY_STATE, *ExEventObjectType, UserMode,
       STATUS_INVALID_HANDLE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ObReferenceObjectByHandle(c.handle, c.access, c.type, c.mode, &object, nullptr),
              c.expected);
    if (NT_SUCCESS(c.expected)) {
      ASSERT_NE(object, nullptr);
      ObDereferenceObject(object);
    } else {
      EXPECT_EQ(object, nullptr);
    }
  }
  UserObjects::closeHandle(event);
  UserObjects::closeHandle(waitOnly);
}

TEST(Objects, ReferencedEventOutlivesItsHandleAndCanBeSetAtDispatch) {
  const int before = UserObjects::liveObjects();
  HANDLE handle = UserObjects::createEvent(SynchronizationEvent, false, EVENT_ALL_ACCESS);
  PKEVENT event = UserObjects::eventOf(handle);
  PVOID object = nullptr;
  ASSERT_EQ(ObReferenceObjectByHandle(handle, EVENT_MODIFY_STATE, *ExEventObjectType, UserMode,
                                      &object, nullptr),
            STATUS_SUCCESS);
  EXPECT_EQ(object, event);
  UserObjects::closeHandle(handle);  // the program closes its handle first
  EXPECT_EQ(UserObjects::liveObjects(), before + 1) << "the reference keeps the event";

  KSPIN_LOCK lock = 0;
  KIRQL old;
  KeAcquireSpinLock(&lock, &old);
  KeSetEvent(static_cast<PKEVENT>(object), IO_NO_INCREMENT, FALSE);
  KeReleaseSpinLock(&lock, old);
  EXPECT_EQ(KeReadStateEvent(static_cast<PKEVENT>(object)), 1);

  ObDereferenceObject(object);
  EXPECT_EQ(UserObjects::liveObjects(), before);
}

VOID reportIrql(PVOID context) {
  *static_cast<KIRQL*>(context) = KeGetCurrentIrql();
  PsTerminateSystemThread(STATUS_SUCCESS);
}

TEST(Objects, SystemThreadIsWaitableThroughItsReferencedObject) {
  KIRQL irql = 0xFF;
  HANDLE handle;
  ASSERT_EQ(PsCreateSystemThread(&handle, THREAD_ALL_ACCESS, nullptr, nullptr, nullptr,
                                 reportIrql, &irql),
            STATUS_SUCCESS);
  PVOID thread = nullptr;
  ASSERT_EQ(ObReferenceObjectByHandle(handle, THREAD_ALL_ACCESS, nullptr, KernelMode, &thread,
                                      nullptr),
            STATUS_SUCCESS);
  EXPECT_EQ(ZwClose(handle), STATUS_SUCCESS);
  EXPECT_EQ(ZwClose(handle), STATUS_INVALID_HANDLE);
  EXPECT_EQ(KeWaitForSingleObject(thread, Executive, KernelMode, FALSE, nullptr), STATUS_SUCCESS);
  EXPECT_EQ(irql, PASSIVE_LEVEL);
  ObDereferenceObject(thread);
}

}  // namespace
