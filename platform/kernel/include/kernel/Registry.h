// The registry as a driver reaches it: keys by path, REG_DWORD and other values.
#pragma once

#include "kernel/SourcePlace.h"

#include "kernel/Objects.h"
#include "kernel/Types.h"

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_READ 0x00020019
#define KEY_WRITE 0x00020006
#define KEY_ALL_ACCESS 0x000F003F

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7
#define REG_QWORD 11

#define REG_OPTION_NON_VOLATILE 0x00000000
#define REG_OPTION_VOLATILE 0x00000001
#define REG_CREATED_NEW_KEY 0x00000001
#define REG_OPENED_EXISTING_KEY 0x00000002

enum KEY_VALUE_INFORMATION_CLASS {
  KeyValueBasicInformation = 0,
  KeyValueFullInformation = 1,
  KeyValuePartialInformation = 2,
};

struct KEY_VALUE_PARTIAL_INFORMATION {
  ULONG TitleIndex;
  ULONG Type;
  ULONG DataLength;
  UCHAR Data[1];
};
using PKEY_VALUE_PARTIAL_INFORMATION = KEY_VALUE_PARTIAL_INFORMATION*;

NTSTATUS ZwCreateKey(PHANDLE keyHandle, ACCESS_MASK desiredAccess,
                     POBJECT_ATTRIBUTES objectAttributes, ULONG titleIndex,
                     PUNICODE_STRING keyClass, ULONG createOptions, PULONG disposition,
                     ::kernel::SourcePlace where = ::kernel::SourcePlace::current());
NTSTATUS ZwOpenKey(PHANDLE keyHandle, ACCESS_MASK desiredAccess,
                   POBJECT_ATTRIBUTES objectAttributes,
                   ::kernel::SourcePlace where = ::kernel::SourcePlace::current());
// KeyValuePartialInformation only. A buffer shorter than the information's
// fixed part answers STATUS_BUFFER_TOO_SMALL, one shorter than the whole
// STATUS_BUFFER_OVERFLOW with the fixed part filled; both set resultLength.
NTSTATUS ZwQueryValueKey(HANDLE keyHandle, PUNICODE_STRING valueName,
                         KEY_VALUE_INFORMATION_CLASS informationClass,
                         PVOID keyValueInformation, ULONG length, PULONG resultLength,
                         ::kernel::SourcePlace where = ::kernel::SourcePlace::current());
NTSTATUS ZwSetValueKey(HANDLE keyHandle, PUNICODE_STRING valueName, ULONG titleIndex,
                       ULONG type, PVOID data, ULONG dataSize,
                       ::kernel::SourcePlace where = ::kernel::SourcePlace::current());
