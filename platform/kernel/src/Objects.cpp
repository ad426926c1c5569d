// The object table: reference-counted objects and the handles that name them.
#include "kernel/Objects.h"

#include <map>
#include <mutex>

#include "Internal.h"
#include "kernel/Sync.h"
#include "kernel/host/UserObjects.h"
#include "kernel/host/Verifier.h"

struct OBJECT_TYPE {
  kernel::internal::ObjectKind kind;
};

namespace {

OBJECT_TYPE eventType{kernel::internal::ObjectKind::Event};
OBJECT_TYPE threadType{kernel::internal::ObjectKind::Thread};
POBJECT_TYPE eventTypePointer = &eventType;
POBJECT_TYPE threadTypePointer = &threadType;

using kernel::internal::ObjectKind;

struct ObjectRecord {
  ObjectKind kind;
  long references;
  void (*destroy)(void*);
};

struct HandleRecord {
  void* body;
  ACCESS_MASK access;
  bool kernelHandle;
};

struct ObjectTable {
  std::mutex lock;
  std::map<void*, ObjectRecord> objects;
  std::map<ULONG_PTR, HandleRecord> handles;
  ULONG_PTR nextHandle = 0x104;
};

ObjectTable& table() {
  static ObjectTable* objects = new ObjectTable;
  return *objects;
}

void releaseBody(void* body, void (*destroy)(void*)) {
  if (destroy) destroy(body);
  ::operator delete(body);
}

}  // namespace

POBJECT_TYPE* ExEventObjectType = &eventTypePointer;
POBJECT_TYPE* PsThreadType = &threadTypePointer;

namespace kernel::internal {

void* createObject(ObjectKind kind, std::size_t bodySize, void (*destroy)(void* body)) {
  void* body = ::operator new(bodySize);
  std::memset(body, 0, bodySize);
  auto& objects = table();
  std::lock_guard held(objects.lock);
  objects.objects.emplace(body, ObjectRecord{kind, 1, destroy});
  return body;
}

HANDLE createHandle(void* body, ACCESS_MASK grantedAccess, bool kernelHandle) {
  auto& objects = table();
  std::lock_guard held(objects.lock);
  ++objects.objects.at(body).references;
  const ULONG_PTR value = objects.nextHandle;
  objects.nextHandle += 4;
  objects.handles.emplace(value, HandleRecord{body, grantedAccess, kernelHandle});
  return reinterpret_cast<HANDLE>(value);
}

void* referenceHandle(HANDLE handle, ObjectKind kind, ACCESS_MASK* grantedAccess) {
  auto& objects = table();
  std::lock_guard held(objects.lock);
  auto found = objects.handles.find(reinterpret_cast<ULONG_PTR>(handle));
  if (found == objects.handles.end()) return nullptr;
  auto& object = objects.objects.at(found->second.body);
  if (object.kind != kind) return nullptr;
  ++object.references;
  if (grantedAccess) *grantedAccess = found->second.access;
  return found->second.body;
}

bool closeHandle(HANDLE handle) {
  void* body = nullptr;
  {
    auto& objects = table();
    std::lock_guard held(objects.lock);
    auto found = objects.handles.find(reinterpret_cast<ULONG_PTR>(handle));
    if (found == objects.handles.end()) return false;
    body = found->second.body;
    objects.handles.erase(found);
  }
  ObfDereferenceObject(body);
  return true;
}

int liveObjectCount() {
  auto& objects = table();
  std::lock_guard held(objects.lock);
  return static_cast<int>(objects.objects.size());
}

}  // namespace kernel::internal

NTSTATUS ObReferenceObjectByHandle(HANDLE handle, ACCESS_MASK desiredAccess,
                                   POBJECT_TYPE objectType, KPROCESSOR_MODE accessMode,
                                   PVOID* object,
                                   POBJECT_HANDLE_INFORMATION handleInformation) {
  *object = nullptr;
  auto& objects = table();
  std::lock_guard held(objects.lock);
  auto found = objects.handles.find(reinterpret_cast<ULONG_PTR>(handle));
  if (found == objects.handles.end()) return STATUS_INVALID_HANDLE;
  const auto& record = found->second;
  if (accessMode == UserMode && record.kernelHandle) return STATUS_INVALID_HANDLE;
  auto& target = objects.objects.at(record.body);
  if (objectType && target.kind != objectType->kind) return STATUS_OBJECT_TYPE_MISMATCH;
  if (accessMode == UserMode && (desiredAccess & ~record.access) != 0) {
    return STATUS_ACCESS_DENIED;
  }
  ++target.references;
  *object = record.body;
  if (handleInformation) {
    handleInformation->HandleAttributes = 0;
    handleInformation->GrantedAccess = record.access;
  }
  return STATUS_SUCCESS;
}

LONG_PTR ObfReferenceObject(PVOID object) {
  auto& objects = table();
  std::unique_lock held(objects.lock);
  auto found = objects.objects.find(object);
  if (found == objects.objects.end()) {
    held.unlock();
    kernel::Verifier::report(kernel::Rule::ObjectMisuse, "referencing an unknown object");
    return 0;
  }
  return ++found->second.references;
}

LONG_PTR ObfDereferenceObject(PVOID object) {
  void (*destroy)(void*) = nullptr;
  {
    auto& objects = table();
    std::unique_lock held(objects.lock);
    auto found = objects.objects.find(object);
    if (found == objects.objects.end()) {
      held.unlock();
      kernel::Verifier::report(kernel::Rule::ObjectMisuse,
                               "dereferencing an unknown or deleted object");
      return 0;
    }
    if (--found->second.references > 0) return found->second.references;
    destroy = found->second.destroy;
    objects.objects.erase(found);
  }
  releaseBody(object, destroy);
  return 0;
}

NTSTATUS ZwClose(HANDLE handle) {
  return kernel::internal::closeHandle(handle) ? STATUS_SUCCESS : STATUS_INVALID_HANDLE;
}

namespace kernel {

HANDLE UserObjects::createEvent(EVENT_TYPE type, bool signalled, ACCESS_MASK grantedAccess) {
  auto* event = static_cast<PKEVENT>(
      internal::createObject(internal::ObjectKind::Event, sizeof(KEVENT), nullptr));
  KeInitializeEvent(event, type, signalled ? TRUE : FALSE);
  HANDLE handle = internal::createHandle(event, grantedAccess, false);
  ObfDereferenceObject(event);  // the handle keeps it
  return handle;
}

PKEVENT UserObjects::eventOf(HANDLE handle) {
  auto* event = static_cast<PKEVENT>(
      internal::referenceHandle(handle, internal::ObjectKind::Event, nullptr));
  if (!event) return nullptr;
  // The owner's view: valid while its handle stays open.
  ObfDereferenceObject(event);
  return event;
}

bool UserObjects::closeHandle(HANDLE handle) { return internal::closeHandle(handle); }

int UserObjects::liveObjects() { return internal::liveObjectCount(); }

}  // namespace kernel
