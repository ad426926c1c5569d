#include "win32/FileIo.h"

#include <string_view>

#include "DeviceStatus.h"
#include "FileHandles.h"
#include "ProcessDeviceService.h"
#include "StatusErrors.h"
#include "win32/Errors.h"

namespace win32 {

HANDLE CreateFileA(LPCSTR fileName, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD creationDisposition,
                   DWORD, HANDLE) {
  if (!fileName || creationDisposition != OPEN_EXISTING) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  auto service = machine::processDeviceService();
  machine::HandleId id = 0;
  const std::uint32_t status = service->open(fileName, &id);
  if (!machine::status::succeeded(status)) {
    SetLastError(errorFromStatus(status));
    return INVALID_HANDLE_VALUE;
  }
  SetLastError(ERROR_SUCCESS);
  return addFileHandle({std::move(service), id});
}

BOOL DeviceIoControl(HANDLE device, DWORD ioControlCode, LPVOID inBuffer, DWORD inBufferSize,
                     LPVOID outBuffer, DWORD outBufferSize, LPDWORD bytesReturned,
                     LPOVERLAPPED overlapped) {
  const auto handle = findFileHandle(device);
  if (!handle) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!bytesReturned && !overlapped) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const machine::ControlResult result = handle->service->deviceControl(
      handle->id, ioControlCode, inBuffer, inBufferSize, outBuffer, outBufferSize);
  if (bytesReturned) *bytesReturned = static_cast<DWORD>(result.information);
  if (overlapped) {
    overlapped->Internal = result.status;
    overlapped->InternalHigh = static_cast<ULONG_PTR>(result.information);
  }
  if (machine::status::succeeded(result.status)) return TRUE;
  SetLastError(errorFromStatus(result.status));
  return FALSE;
}

BOOL CloseHandle(HANDLE object) {
  const auto handle = removeFileHandle(object);
  if (!handle) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  handle->service->close(handle->id);
  return TRUE;
}

}  // namespace win32
