#include "DiscoveryMachine.h"

#include <mutex>

#include "EmbeddedDeviceService.h"
#include "MachineEnvironment.h"
#include "ProcessDeviceService.h"

namespace {

// Passes every call on, noting the paths opened.
class RecordingService final : public machine::DeviceService {
 public:
  explicit RecordingService(std::shared_ptr<machine::EmbeddedDeviceService> machine)
      : inner(std::move(machine)) {}

  std::vector<machine::DeviceEntry> devices() override { return inner->devices(); }
  std::uint32_t open(const std::string& path, machine::HandleId* handle) override {
    {
      std::lock_guard held(lock);
      paths.push_back(path);
    }
    return inner->open(path, handle);
  }
  machine::ControlResult deviceControl(machine::HandleId handle, std::uint32_t code,
                                       const void* input, std::uint32_t inputLength, void* output,
                                       std::uint32_t outputLength) override {
    return inner->deviceControl(handle, code, input, inputLength, output, outputLength);
  }
  bool close(machine::HandleId handle) override { return inner->close(handle); }
  std::vector<audio::Endpoint> audioEndpoints() override { return inner->audioEndpoints(); }
  std::unique_ptr<audio::AudioStream> openAudioStream(const audio::Endpoint& endpoint,
                                                      std::string* error) override {
    return inner->openAudioStream(endpoint, error);
  }

  std::vector<std::string> opened() const {
    std::lock_guard held(lock);
    return paths;
  }

 private:
  std::shared_ptr<machine::EmbeddedDeviceService> inner;
  mutable std::mutex lock;
  std::vector<std::string> paths;  // guarded by lock
};

}  // namespace

struct DiscoveryMachine::Parts {
  std::shared_ptr<machine::EmbeddedDeviceService> machine;
  std::shared_ptr<RecordingService> recorder;
};

DiscoveryMachine::DiscoveryMachine(bool withCard, std::vector<machine::ExtraDevice> ahead,
                                   const std::string& stateDirectory)
    : parts(std::make_unique<Parts>()) {
  machine::EmbeddedOptions options;
  options.machine.withCard = withCard;
  options.machine.registryFile = machine::registryFileIn(stateDirectory);
  options.extraDevices = std::move(ahead);
  parts->machine = std::make_shared<machine::EmbeddedDeviceService>(std::move(options));
  parts->recorder = std::make_shared<RecordingService>(parts->machine);
  machine::setProcessDeviceService(parts->recorder);
}

DiscoveryMachine::~DiscoveryMachine() {
  machine::setProcessDeviceService(nullptr);
}

std::vector<std::string> DiscoveryMachine::opened() const { return parts->recorder->opened(); }

bool DiscoveryMachine::unloadClean() {
  machine::setProcessDeviceService(nullptr);
  return parts->machine->unload().clean;
}
