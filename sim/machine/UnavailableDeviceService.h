// The device service of a process that cannot reach any machine: no devices,
// nothing opens, and problem() says why.
#pragma once

#include "DeviceService.h"

namespace machine {

class UnavailableDeviceService final : public DeviceService {
 public:
  explicit UnavailableDeviceService(std::string reason) : why(std::move(reason)) {}

  std::vector<DeviceEntry> devices() override { return {}; }
  std::uint32_t open(const std::string& path, HandleId* handle) override;
  ControlResult deviceControl(HandleId handle, std::uint32_t code, const void* input,
                              std::uint32_t inputLength, void* output,
                              std::uint32_t outputLength) override;
  bool close(HandleId) override { return false; }
  std::vector<audio::Endpoint> audioEndpoints() override { return {}; }
  std::unique_ptr<audio::AudioStream> openAudioStream(const audio::Endpoint& endpoint,
                                                      std::string* error) override;
  std::string problem() const override { return why; }

 private:
  std::string why;
};

}  // namespace machine
