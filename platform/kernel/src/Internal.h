// State the kernel's own parts share; never seen by the driver.
#pragma once

#include "kernel/SourcePlace.h"

#include "kernel/Types.h"

namespace kernel::internal {

// Spin locks the calling thread holds now.
int spinLocksHeld();
void noteSpinLockAcquired();
void noteSpinLockReleased();

// Sets the calling thread's IRQL without checks (DPC thread, interrupt entry).
void setIrql(KIRQL irql);

// True and a violation when the thread may not wait/sleep/touch paged memory.
bool refuseAbovePassive(int rule, const char* what, ::kernel::SourcePlace where);

// The object table: handles to referenced objects.
enum class ObjectKind { Event, Thread, Key };

// Creates an object body with a reference count of 1 (dropped with
// ObfDereferenceObject); destroy runs when the count reaches 0.
void* createObject(ObjectKind kind, std::size_t bodySize, void (*destroy)(void* body));
HANDLE createHandle(void* body, ACCESS_MASK grantedAccess, bool kernelHandle);
// The body behind a handle of that kind, referenced, or null.
void* referenceHandle(HANDLE handle, ObjectKind kind, ACCESS_MASK* grantedAccess);
bool closeHandle(HANDLE handle);
int liveObjectCount();

// The wait machinery shared by events, mutexes and threads.
void signalObjectsChanged();

}  // namespace kernel::internal

struct DISPATCHER_HEADER;

namespace kernel::internal {
// Sets an object's signal state under the dispatcher lock and wakes waiters.
void setSignalState(::DISPATCHER_HEADER* header, LONG state);
}  // namespace kernel::internal
