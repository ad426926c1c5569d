#include "CardMachine.h"

#include <memory>

#include "EmbeddedDeviceService.h"
#include "ProcessDeviceService.h"

namespace {
std::shared_ptr<machine::EmbeddedDeviceService> embedded;
}  // namespace

void startCardMachine(bool withCard) {
  machine::EmbeddedOptions options;
  options.machine.withCard = withCard;
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
