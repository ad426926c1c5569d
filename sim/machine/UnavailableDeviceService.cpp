#include "UnavailableDeviceService.h"

#include "DeviceStatus.h"

namespace machine {

std::uint32_t UnavailableDeviceService::open(const std::string&, HandleId*) {
  return status::kNoSuchDevice;
}

ControlResult UnavailableDeviceService::deviceControl(HandleId, std::uint32_t, const void*,
                                                      std::uint32_t, void*, std::uint32_t) {
  return {status::kInvalidHandle, 0};
}

std::unique_ptr<audio::AudioStream> UnavailableDeviceService::openAudioStream(
    const audio::Endpoint&, std::string* error) {
  if (error) *error = why;
  return nullptr;
}

}  // namespace machine
