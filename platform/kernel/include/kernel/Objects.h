// Handles and referenced objects: events and threads reached through handles,
// with the access each handle grants.
#pragma once

#include "kernel/Types.h"

struct OBJECT_TYPE;
using POBJECT_TYPE = OBJECT_TYPE*;

// Used as *ExEventObjectType and *PsThreadType, as the kernel exports them.
extern POBJECT_TYPE* ExEventObjectType;
extern POBJECT_TYPE* PsThreadType;

#define DELETE 0x00010000
#define SYNCHRONIZE 0x00100000
#define STANDARD_RIGHTS_REQUIRED 0x000F0000
#define GENERIC_READ 0x80000000
#define GENERIC_WRITE 0x40000000
#define GENERIC_ALL 0x10000000
#define EVENT_QUERY_STATE 0x0001
#define EVENT_MODIFY_STATE 0x0002
#define EVENT_ALL_ACCESS 0x001F0003
#define THREAD_ALL_ACCESS 0x001F03FF

#define OBJ_INHERIT 0x00000002
#define OBJ_CASE_INSENSITIVE 0x00000040
#define OBJ_KERNEL_HANDLE 0x00000200

struct OBJECT_ATTRIBUTES {
  ULONG Length;
  HANDLE RootDirectory;
  PUNICODE_STRING ObjectName;
  ULONG Attributes;
  PVOID SecurityDescriptor;
  PVOID SecurityQualityOfService;
};
using POBJECT_ATTRIBUTES = OBJECT_ATTRIBUTES*;

#define InitializeObjectAttributes(p, n, a, r, s) \
  do {                                            \
    (p)->Length = sizeof(OBJECT_ATTRIBUTES);      \
    (p)->RootDirectory = (r);                     \
    (p)->Attributes = (a);                        \
    (p)->ObjectName = (n);                        \
    (p)->SecurityDescriptor = (s);                \
    (p)->SecurityQualityOfService = nullptr;      \
  } while (0)

struct OBJECT_HANDLE_INFORMATION {
  ULONG HandleAttributes;
  ACCESS_MASK GrantedAccess;
};
using POBJECT_HANDLE_INFORMATION = OBJECT_HANDLE_INFORMATION*;

// Kernel-mode callers skip the access check, as on the real kernel.
NTSTATUS ObReferenceObjectByHandle(HANDLE handle, ACCESS_MASK desiredAccess,
                                   POBJECT_TYPE objectType, KPROCESSOR_MODE accessMode,
                                   PVOID* object,
                                   POBJECT_HANDLE_INFORMATION handleInformation);
LONG_PTR ObfReferenceObject(PVOID object);
LONG_PTR ObfDereferenceObject(PVOID object);
#define ObReferenceObject(o) ObfReferenceObject(o)
#define ObDereferenceObject(o) ObfDereferenceObject(o)

// Closes a kernel handle of any kind (key, thread, event).
NTSTATUS ZwClose(HANDLE handle);
