#include "ProcessDeviceService.h"

#include <cstdlib>
#include <mutex>
#include <string>

#include "EmbeddedDeviceService.h"
#include "MachineEnvironment.h"
#include "UnavailableDeviceService.h"
#include "host/HostClient.h"

namespace machine {

namespace {

std::shared_ptr<DeviceService> serviceFromEnvironment() {
  if (const char* socket = std::getenv("KORVANE_HOST"); socket && *socket) {
    std::string error;
    if (auto client = host::HostClient::connect(socket, &error)) return client;
    return std::make_shared<UnavailableDeviceService>("cannot reach korvane-host: " + error);
  }
  try {
    return std::make_shared<EmbeddedDeviceService>(embeddedOptionsFromEnvironment());
  } catch (const std::exception& error) {
    return std::make_shared<UnavailableDeviceService>(error.what());
  }
}

// Not leaked on purpose: its destruction at exit is what unloads an embedded
// machine (the kernel's own state is never destroyed, so it is still there).
struct Current {
  std::mutex lock;
  std::shared_ptr<DeviceService> service;  // guarded by lock
};

Current& current() {
  static Current holder;
  return holder;
}

}  // namespace

std::shared_ptr<DeviceService> processDeviceService() {
  auto& holder = current();
  std::lock_guard held(holder.lock);
  if (!holder.service) holder.service = serviceFromEnvironment();
  return holder.service;
}

void setProcessDeviceService(std::shared_ptr<DeviceService> service) {
  std::shared_ptr<DeviceService> replaced;
  auto& holder = current();
  std::lock_guard held(holder.lock);
  replaced = std::move(holder.service);
  holder.service = std::move(service);
}

}  // namespace machine
