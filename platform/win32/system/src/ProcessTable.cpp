#include "ProcessTable.h"

#include <map>
#include <mutex>

#include "win32/SystemErrors.h"
#include "win32/SystemHandles.h"

namespace win32 {

namespace {

// Far above the device layer's handles, which count up from 0x1000, so the
// two kinds never share a value; multiples of four like Windows handles.
constexpr ULONG_PTR kFirstHandle = 0x40000000;
constexpr ULONG_PTR kHandleStep = 4;

struct Table {
  std::mutex lock;  // guards all three fields
  std::map<HANDLE, std::shared_ptr<ChildProcess>> handles;
  std::map<DWORD, std::shared_ptr<ChildProcess>> running;
  ULONG_PTR next = kFirstHandle;
};

Table& table() {
  // Never destroyed: handles may still be used from static destructors.
  static auto* all = new Table;
  return *all;
}

// Ends the listing of programs that have ended, which also reaps those
// whose handles are all closed. needs table().lock
void forgetEnded(Table& all) {
  std::erase_if(all.running, [](const auto& entry) { return entry.second->hasEnded(); });
}

}  // namespace

void addRunningChild(const std::shared_ptr<ChildProcess>& child) {
  auto& all = table();
  std::lock_guard held(all.lock);
  forgetEnded(all);
  all.running.emplace(static_cast<DWORD>(child->id()), child);
}

std::shared_ptr<ChildProcess> findRunningChild(DWORD threadId) {
  auto& all = table();
  std::lock_guard held(all.lock);
  forgetEnded(all);
  auto found = all.running.find(threadId);
  return found == all.running.end() ? nullptr : found->second;
}

HANDLE addProcessHandle(std::shared_ptr<ChildProcess> child) {
  auto& all = table();
  std::lock_guard held(all.lock);
  auto value = reinterpret_cast<HANDLE>(all.next);
  all.next += kHandleStep;
  all.handles.emplace(value, std::move(child));
  return value;
}

std::shared_ptr<ChildProcess> findProcessHandle(HANDLE handle) {
  auto& all = table();
  std::lock_guard held(all.lock);
  auto found = all.handles.find(handle);
  return found == all.handles.end() ? nullptr : found->second;
}

bool isSystemHandle(HANDLE handle) {
  return findProcessHandle(handle) != nullptr;
}

BOOL closeSystemHandle(HANDLE handle) {
  auto& all = table();
  std::lock_guard held(all.lock);
  if (all.handles.erase(handle) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  forgetEnded(all);
  return TRUE;
}

}  // namespace win32
