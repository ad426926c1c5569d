#include "StatusErrors.h"

#include "DeviceStatus.h"
#include "win32/Errors.h"

namespace win32 {

DWORD errorFromStatus(std::uint32_t status) {
  namespace nt = machine::status;
  switch (status) {
    case nt::kSuccess:
      return ERROR_SUCCESS;
    case nt::kUnsuccessful:
      return ERROR_GEN_FAILURE;
    case nt::kInvalidParameter:
      return ERROR_INVALID_PARAMETER;
    case nt::kBufferTooSmall:
      return ERROR_INSUFFICIENT_BUFFER;
    case nt::kBufferOverflow:
      return ERROR_MORE_DATA;
    case nt::kCancelled:
      return ERROR_OPERATION_ABORTED;
    case nt::kInvalidDeviceRequest:
      return ERROR_INVALID_FUNCTION;
    case nt::kAccessViolation:
      return ERROR_NOACCESS;
    case nt::kDeviceBusy:
      return ERROR_BUSY;
    case nt::kInvalidHandle:
      return ERROR_INVALID_HANDLE;
    case nt::kAccessDenied:
    case nt::kDeletePending:
      return ERROR_ACCESS_DENIED;
    case nt::kNoSuchDevice:
    case nt::kObjectNameNotFound:
      return ERROR_FILE_NOT_FOUND;
    case nt::kInsufficientResources:
      return ERROR_NO_SYSTEM_RESOURCES;
    case nt::kNotSupported:
      return ERROR_NOT_SUPPORTED;
    case nt::kDeviceRemoved:
      return ERROR_DEVICE_REMOVED;
    default:
      return ERROR_MR_MID_NOT_FOUND;
  }
}

}  // namespace win32
