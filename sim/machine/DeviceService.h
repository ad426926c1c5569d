// How programs reach the machine's devices: discovery, handles and device
// I/O on them, and the audio system's streams. A machine embedded in the
// program's process and korvane-host over its socket both provide it, and a
// program sees the same behaviour from either.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/AudioSystem.h"

namespace machine {

struct DeviceInterface {
  std::string classId;  // the interface class, "{dda54a40-1e4c-11d1-a050-405705c10000}"
  std::string path;     // what a program opens
};

struct DeviceEntry {
  std::string instanceId;
  std::optional<std::string> serviceName;  // none: the device has no service property
  std::vector<DeviceInterface> interfaces;
};

using HandleId = std::uint64_t;

struct ControlResult {
  std::uint32_t status = 0;       // a kernel status (DeviceStatus.h)
  std::uint64_t information = 0;  // what the driver reported: bytes returned
};

// Every call may come from any thread; a call that waits for the driver
// (a request it keeps pending) does not hold up calls of other threads.
class DeviceService {
 public:
  virtual ~DeviceService() = default;

  // Every device present, in enumeration order.
  virtual std::vector<DeviceEntry> devices() = 0;
  // Opens the interface whose path this is (compared without regard to case);
  // a kernel status, and the new handle on success.
  virtual std::uint32_t open(const std::string& path, HandleId* handle) = 0;
  // A device-control request with the caller's buffers, either of which may be
  // null. Waits while the driver keeps the request pending; the output buffer
  // holds what the driver left in it.
  virtual ControlResult deviceControl(HandleId handle, std::uint32_t code, const void* input,
                                      std::uint32_t inputLength, void* output,
                                      std::uint32_t outputLength) = 0;
  // Closes the handle, cancelling its pending requests. False for a handle
  // that is not open.
  virtual bool close(HandleId handle) = 0;

  // The audio system's endpoints and streams on this machine.
  virtual std::vector<audio::Endpoint> audioEndpoints() = 0;
  virtual std::unique_ptr<audio::AudioStream> openAudioStream(const audio::Endpoint& endpoint,
                                                              std::string* error) = 0;

  // Why no machine can be reached through this service; empty when one can.
  virtual std::string problem() const { return {}; }
};

}  // namespace machine
