// Basic kernel types and status values, sized as the 32-bit Windows kernel
// sizes them where the driver depends on it (ULONG and LONG are 32 bits).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

using UCHAR = std::uint8_t;
using CHAR = char;
using USHORT = std::uint16_t;
using SHORT = std::int16_t;
using ULONG = std::uint32_t;
using LONG = std::int32_t;
using ULONGLONG = std::uint64_t;
using LONGLONG = std::int64_t;
using PLONGLONG = LONGLONG*;
using BOOLEAN = std::uint8_t;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using INT = int;
using UINT = unsigned int;
using ULONG_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using SIZE_T = std::size_t;
using VOID = void;
using PVOID = void*;
using PUCHAR = UCHAR*;
using PUSHORT = USHORT*;
using PULONG = ULONG*;
using PLONG = LONG*;
using PBOOLEAN = BOOLEAN*;
using PCHAR = CHAR*;
using PSIZE_T = SIZE_T*;
using PULONG_PTR = ULONG_PTR*;
using PBYTE = BYTE*;
using PDWORD = DWORD*;
// Kernel strings are UTF-16. Wide literals in driver code are written with
// KTEXT("...") so that they are UTF-16 on every compiler.
using WCHAR = char16_t;
using PWCHAR = WCHAR*;
using PWSTR = WCHAR*;
using PCWSTR = const WCHAR*;
using PSTR = char*;
using PCSTR = const char*;
using NTSTATUS = LONG;
using KIRQL = UCHAR;
using PKIRQL = KIRQL*;
using KPRIORITY = LONG;
using ACCESS_MASK = ULONG;
using HANDLE = void*;
using PHANDLE = HANDLE*;
using KPROCESSOR_MODE = CHAR;

#define KTEXT(s) u##s

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define NT_SUCCESS(status) (static_cast<NTSTATUS>(status) >= 0)

// Status values used by the driver, the port layer and the tests.
#define STATUS_SUCCESS                   static_cast<NTSTATUS>(0x00000000L)
#define STATUS_TIMEOUT                   static_cast<NTSTATUS>(0x00000102L)
#define STATUS_PENDING                   static_cast<NTSTATUS>(0x00000103L)
#define STATUS_BUFFER_OVERFLOW           static_cast<NTSTATUS>(0x80000005L)
#define STATUS_DEVICE_BUSY               static_cast<NTSTATUS>(0x80000011L)
#define STATUS_NO_MORE_ENTRIES           static_cast<NTSTATUS>(0x8000001AL)
#define STATUS_UNSUCCESSFUL              static_cast<NTSTATUS>(0xC0000001L)
#define STATUS_NOT_IMPLEMENTED           static_cast<NTSTATUS>(0xC0000002L)
#define STATUS_INVALID_HANDLE            static_cast<NTSTATUS>(0xC0000008L)
#define STATUS_INVALID_PARAMETER         static_cast<NTSTATUS>(0xC000000DL)
#define STATUS_NO_SUCH_DEVICE            static_cast<NTSTATUS>(0xC000000EL)
#define STATUS_INVALID_DEVICE_REQUEST    static_cast<NTSTATUS>(0xC0000010L)
#define STATUS_ACCESS_VIOLATION          static_cast<NTSTATUS>(0xC0000005L)
#define STATUS_NO_MEMORY                 static_cast<NTSTATUS>(0xC0000017L)
#define STATUS_ACCESS_DENIED             static_cast<NTSTATUS>(0xC0000022L)
#define STATUS_BUFFER_TOO_SMALL          static_cast<NTSTATUS>(0xC0000023L)
#define STATUS_OBJECT_TYPE_MISMATCH      static_cast<NTSTATUS>(0xC0000024L)
#define STATUS_OBJECT_NAME_NOT_FOUND     static_cast<NTSTATUS>(0xC0000034L)
#define STATUS_OBJECT_NAME_COLLISION     static_cast<NTSTATUS>(0xC0000035L)
#define STATUS_DELETE_PENDING            static_cast<NTSTATUS>(0xC0000056L)
#define STATUS_INSUFFICIENT_RESOURCES    static_cast<NTSTATUS>(0xC000009AL)
#define STATUS_NOT_SUPPORTED             static_cast<NTSTATUS>(0xC00000BBL)
#define STATUS_CANCELLED                 static_cast<NTSTATUS>(0xC0000120L)
#define STATUS_DEVICE_CONFIGURATION_ERROR static_cast<NTSTATUS>(0xC0000182L)
#define STATUS_NO_MATCH                  static_cast<NTSTATUS>(0xC0000272L)
#define STATUS_NOT_FOUND                 static_cast<NTSTATUS>(0xC0000225L)
#define STATUS_INVALID_USER_BUFFER       static_cast<NTSTATUS>(0xC00000E8L)

union LARGE_INTEGER {
  struct {
    ULONG LowPart;
    LONG HighPart;
  } u;
  LONGLONG QuadPart;
};
using PLARGE_INTEGER = LARGE_INTEGER*;
using PHYSICAL_ADDRESS = LARGE_INTEGER;
using PPHYSICAL_ADDRESS = PHYSICAL_ADDRESS*;

struct UNICODE_STRING {
  USHORT Length;         // bytes, without a terminator
  USHORT MaximumLength;  // bytes the buffer holds
  PWCHAR Buffer;
};
using PUNICODE_STRING = UNICODE_STRING*;
using PCUNICODE_STRING = const UNICODE_STRING*;

// A counted string over a literal: RTL_CONSTANT_STRING(KTEXT("mode")).
#define RTL_CONSTANT_STRING(s)                                                 \
  UNICODE_STRING {                                                             \
    static_cast<USHORT>(sizeof(s) - sizeof((s)[0])),                           \
        static_cast<USHORT>(sizeof(s)), const_cast<PWCHAR>(s)                  \
  }

VOID RtlInitUnicodeString(PUNICODE_STRING destination, PCWSTR source);
VOID RtlCopyUnicodeString(PUNICODE_STRING destination, PCUNICODE_STRING source);

struct GUID {
  ULONG Data1;
  USHORT Data2;
  USHORT Data3;
  UCHAR Data4[8];
};
using REFGUID = const GUID&;
using REFIID = const GUID&;
using REFCLSID = const GUID&;
using IID = GUID;
using CLSID = GUID;
inline bool IsEqualGUIDAligned(const GUID& a, const GUID& b) {
  return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool IsEqualGUID(const GUID& a, const GUID& b) { return IsEqualGUIDAligned(a, b); }
inline bool operator==(const GUID& a, const GUID& b) { return IsEqualGUIDAligned(a, b); }

#define RtlZeroMemory(destination, length) std::memset((destination), 0, (length))
#define RtlCopyMemory(destination, source, length) std::memcpy((destination), (source), (length))
#define RtlMoveMemory(destination, source, length) std::memmove((destination), (source), (length))
#define RtlFillMemory(destination, length, fill) std::memset((destination), (fill), (length))
#define RtlEqualMemory(a, b, length) (std::memcmp((a), (b), (length)) == 0)

#define RTL_NUMBER_OF(a) (sizeof(a) / sizeof((a)[0]))
#define UNREFERENCED_PARAMETER(p) (void)(p)
