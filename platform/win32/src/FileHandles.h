// The handles CreateFileA hands out: each names a handle of the device
// service that was in use when it was opened, so that a later change of the
// process's service leaves it working. Values are never reused.
#pragma once

#include <memory>
#include <optional>

#include "DeviceService.h"
#include "win32/Types.h"

namespace win32 {

struct FileHandle {
  std::shared_ptr<machine::DeviceService> service;
  machine::HandleId id = 0;
};

HANDLE addFileHandle(FileHandle handle);
std::optional<FileHandle> findFileHandle(HANDLE handle);
std::optional<FileHandle> removeFileHandle(HANDLE handle);

}  // namespace win32
