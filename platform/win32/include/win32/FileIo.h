// Handles on device interfaces and device I/O through them. Only the paths
// that discovery hands out open; requests are always carried out before
// DeviceIoControl returns, with or without an OVERLAPPED (which then also
// receives the final status in Internal and the byte count in InternalHigh).
//
// A request's kernel status becomes the last error:
//   STATUS_SUCCESS                 TRUE
//   STATUS_UNSUCCESSFUL            ERROR_GEN_FAILURE
//   STATUS_INVALID_PARAMETER       ERROR_INVALID_PARAMETER
//   STATUS_BUFFER_TOO_SMALL        ERROR_INSUFFICIENT_BUFFER
//   STATUS_BUFFER_OVERFLOW         ERROR_MORE_DATA (the bytes returned are valid)
//   STATUS_CANCELLED               ERROR_OPERATION_ABORTED (the handle was closed)
//   STATUS_INVALID_DEVICE_REQUEST  ERROR_INVALID_FUNCTION
//   STATUS_ACCESS_VIOLATION        ERROR_NOACCESS
//   STATUS_DEVICE_BUSY             ERROR_BUSY
//   device gone (host ended)       ERROR_DEVICE_REMOVED
//   others                         ERROR_MR_MID_NOT_FOUND, as Windows does for a
//                                  status it has no error for
#pragma once

#include "win32/Types.h"

namespace win32 {

inline constexpr DWORD GENERIC_READ = 0x80000000;
inline constexpr DWORD GENERIC_WRITE = 0x40000000;
inline constexpr DWORD FILE_SHARE_READ = 0x00000001;
inline constexpr DWORD FILE_SHARE_WRITE = 0x00000002;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;
inline constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000;

struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

struct OVERLAPPED {
  ULONG_PTR Internal;
  ULONG_PTR InternalHigh;
  DWORD Offset;
  DWORD OffsetHigh;
  HANDLE hEvent;
};
using LPOVERLAPPED = OVERLAPPED*;

// INVALID_HANDLE_VALUE on failure: ERROR_FILE_NOT_FOUND when no device
// interface has the path (or nothing answers there), ERROR_INVALID_PARAMETER
// for a creation disposition other than OPEN_EXISTING.
HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);
// Blocks while the driver keeps the request pending; closing the handle from
// another thread cancels it. bytesReturned may be null only with an OVERLAPPED.
BOOL DeviceIoControl(HANDLE device, DWORD ioControlCode, LPVOID inBuffer, DWORD inBufferSize,
                     LPVOID outBuffer, DWORD outBufferSize, LPDWORD bytesReturned,
                     LPOVERLAPPED overlapped);
BOOL CloseHandle(HANDLE object);

}  // namespace win32

using namespace win32;
