#include "DeviceInfoSets.h"

#include <map>
#include <mutex>

namespace win32 {

namespace {

struct Sets {
  std::mutex lock;  // guards both tables
  std::map<HDEVINFO, std::shared_ptr<const DeviceInfoSet>> open;
  std::map<std::string, DWORD> instanceNumbers;  // by lower-case instance id
};

Sets& sets() {
  static auto* all = new Sets;  // outlives static destruction: programs may exit with sets open
  return *all;
}

std::string lowered(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return text;
}

}  // namespace

HDEVINFO addDeviceInfoSet(std::shared_ptr<const DeviceInfoSet> set) {
  auto handle = const_cast<HDEVINFO>(static_cast<const void*>(set.get()));
  auto& all = sets();
  std::lock_guard held(all.lock);
  all.open.emplace(handle, std::move(set));
  return handle;
}

std::shared_ptr<const DeviceInfoSet> findDeviceInfoSet(HDEVINFO handle) {
  auto& all = sets();
  std::lock_guard held(all.lock);
  auto found = all.open.find(handle);
  return found == all.open.end() ? nullptr : found->second;
}

bool removeDeviceInfoSet(HDEVINFO handle) {
  std::shared_ptr<const DeviceInfoSet> removed;
  auto& all = sets();
  std::lock_guard held(all.lock);
  auto found = all.open.find(handle);
  if (found == all.open.end()) return false;
  removed = std::move(found->second);
  all.open.erase(found);
  return true;
}

DWORD deviceInstanceNumber(const std::string& instanceId) {
  auto& all = sets();
  std::lock_guard held(all.lock);
  const auto [entry, added] = all.instanceNumbers.emplace(
      lowered(instanceId), static_cast<DWORD>(all.instanceNumbers.size() + 1));
  return entry->second;
}

}  // namespace win32
