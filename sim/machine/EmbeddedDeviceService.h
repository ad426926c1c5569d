// The device service of a machine embedded in this process: the card's
// driver booted in real time when the service is made, unloaded when it ends.
// One at a time per process, as there is one kernel.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "DeviceService.h"
#include "ExtraDevice.h"
#include "Machine.h"
#include "kernel/host/IoManager.h"

namespace machine {

struct EmbeddedOptions {
  MachineOptions machine;
  // Listed ahead of the machine's own devices, in this order, so that a test
  // decides what a search meets before the card.
  std::vector<ExtraDevice> extraDevices;
};

// A device-control request that may still be pending in the driver. It keeps
// its handle's bookkeeping alive, not the caller's buffers: those must stay
// until the request has completed.
class PendingControl {
 public:
  static PendingControl finished(ControlResult result);
  PendingControl(std::shared_ptr<kernel::PendingRequest> request, std::shared_ptr<void> handle);

  bool completed() const { return !request || request->completed(); }
  ControlResult wait();

 private:
  PendingControl() = default;
  std::shared_ptr<kernel::PendingRequest> request;
  std::shared_ptr<void> handle;
  ControlResult result;
};

class EmbeddedDeviceService final : public DeviceService {
 public:
  // Switches the kernel's clock to real time and boots the machine. Throws
  // what the card throws for an unusable input or output.
  explicit EmbeddedDeviceService(EmbeddedOptions options);
  ~EmbeddedDeviceService() override;  // unloads if unload() was not called

  // The boot's kernel status (a machine without the card fails to start).
  std::uint32_t bootStatus() const { return booted; }

  // Sends a request and returns without waiting for the driver to complete it.
  PendingControl startControl(HandleId handle, std::uint32_t code, const void* input,
                              std::uint32_t inputLength, void* output, std::uint32_t outputLength);

  // Closes every handle, then unloads the driver and reports what it left.
  // Audio streams opened here must have ended before. Later calls report clean.
  UnloadReport unload();

  std::vector<DeviceEntry> devices() override;
  std::uint32_t open(const std::string& path, HandleId* handle) override;
  ControlResult deviceControl(HandleId handle, std::uint32_t code, const void* input,
                              std::uint32_t inputLength, void* output,
                              std::uint32_t outputLength) override;
  bool close(HandleId handle) override;
  std::vector<audio::Endpoint> audioEndpoints() override;
  std::unique_ptr<audio::AudioStream> openAudioStream(const audio::Endpoint& endpoint,
                                                      std::string* error) override;
  std::string problem() const override;

 private:
  struct OpenHandle;
  std::shared_ptr<OpenHandle> find(HandleId handle);
  std::string instanceIdOf(PDEVICE_OBJECT device) const;

  std::vector<ExtraDevice> extraDevices;
  bool withCard;
  std::unique_ptr<Machine> machine;
  std::uint32_t booted = 0;

  std::mutex lock;  // guards the fields below
  std::map<HandleId, std::shared_ptr<OpenHandle>> handles;
  HandleId nextHandle = 1;
  bool unloaded = false;
};

}  // namespace machine
