#include "ErrorText.h"

namespace korvanectl {

std::string errorText(DWORD error) {
  struct Name {
    DWORD error;
    const char* name;
  };
  static constexpr Name kNames[] = {
      {ERROR_INVALID_FUNCTION, "ERROR_INVALID_FUNCTION"},
      {ERROR_FILE_NOT_FOUND, "ERROR_FILE_NOT_FOUND"},
      {ERROR_ACCESS_DENIED, "ERROR_ACCESS_DENIED"},
      {ERROR_INVALID_HANDLE, "ERROR_INVALID_HANDLE"},
      {ERROR_GEN_FAILURE, "ERROR_GEN_FAILURE"},
      {ERROR_INVALID_PARAMETER, "ERROR_INVALID_PARAMETER"},
      {ERROR_INSUFFICIENT_BUFFER, "ERROR_INSUFFICIENT_BUFFER"},
      {ERROR_BUSY, "ERROR_BUSY"},
      {ERROR_MORE_DATA, "ERROR_MORE_DATA"},
      {ERROR_OPERATION_ABORTED, "ERROR_OPERATION_ABORTED"},
      {ERROR_NOACCESS, "ERROR_NOACCESS"},
      {ERROR_DEVICE_REMOVED, "ERROR_DEVICE_REMOVED"},
  };
  for (const auto& entry : kNames) {
    if (entry.error == error) return std::string(entry.name) + " (" + std::to_string(error) + ")";
  }
  return "error " + std::to_string(error);
}

}  // namespace korvanectl
