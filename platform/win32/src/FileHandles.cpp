#include "FileHandles.h"

#include <map>
#include <mutex>

namespace win32 {

namespace {

// Windows handle values are multiples of four; these start well clear of
// the small numbers programs sometimes mistake for handles.
constexpr ULONG_PTR kFirstHandle = 0x1000;
constexpr ULONG_PTR kHandleStep = 4;

struct Handles {
  std::mutex lock;  // guards both fields
  std::map<HANDLE, FileHandle> open;
  ULONG_PTR next = kFirstHandle;
};

Handles& handles() {
  // Never destroyed: a program may exit with handles open, and their
  // services unload from their own static destructor.
  static auto* all = new Handles;
  return *all;
}

}  // namespace

HANDLE addFileHandle(FileHandle handle) {
  auto& all = handles();
  std::lock_guard held(all.lock);
  auto value = reinterpret_cast<HANDLE>(all.next);
  all.next += kHandleStep;
  all.open.emplace(value, std::move(handle));
  return value;
}

std::optional<FileHandle> findFileHandle(HANDLE handle) {
  auto& all = handles();
  std::lock_guard held(all.lock);
  auto found = all.open.find(handle);
  if (found == all.open.end()) return std::nullopt;
  return found->second;
}

std::optional<FileHandle> removeFileHandle(HANDLE handle) {
  auto& all = handles();
  std::lock_guard held(all.lock);
  auto found = all.open.find(handle);
  if (found == all.open.end()) return std::nullopt;
  FileHandle removed = std::move(found->second);
  all.open.erase(found);
  return removed;
}

}  // namespace win32
