#include "CardMachine.h"

#include <memory>

#include "EmbeddedDeviceService.h"
#include "ProcessDeviceService.h"

namespace {
std::shared_ptr<machine::EmbeddedDeviceService> embedded;
}  // namespace

void startCardMachine(bool withCard,
                      const std::vector<std::optional<std::string>>& servicesAhead) {
  machine::EmbeddedOptions options;
  options.machine.withCard = withCard;
  int index = 0;
  for (const auto& service : servicesAhead) {
    machine::ExtraDevice device;
    device.instanceId = "ROOT\\MEDIA\\000" + std::to_string(index++);
    device.serviceName = service;
    device.interfaces.push_back({"{dda54a40-1e4c-11d1-a050-405705c10000}", "Topology"});
    options.extraDevices.push_back(device);
  }
  embedded = std::make_shared<machine::EmbeddedDeviceService>(std::move(options));
  machine::setProcessDeviceService(embedded);
}

bool stopCardMachine() {
  machine::setProcessDeviceService(nullptr);
  if (!embedded) return true;
  const bool clean = embedded->unload().clean;
  embedded.reset();
  return clean;
}
