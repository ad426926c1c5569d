#include "audio/AudioSystem.h"

#include "CardStream.h"
#include "kernel/host/PortClassHost.h"

namespace audio {

namespace {
constexpr char kRenderEndpoint[] = "VYT PCI Audio (playback)";
constexpr char kCaptureEndpoint[] = "VYT PCI Audio (recording)";
}  // namespace

std::vector<Endpoint> listEndpoints() {
  for (const auto& subdevice : kernel::PortClassHost::subdevices()) {
    if (subdevice.name == u"Wave") {
      return {Endpoint{kRenderEndpoint, false}, Endpoint{kCaptureEndpoint, true}};
    }
  }
  return {};
}

std::unique_ptr<AudioStream> openStream(const Endpoint& endpoint, std::string* error) {
  return CardStream::open(endpoint.capture, error);
}

}  // namespace audio
