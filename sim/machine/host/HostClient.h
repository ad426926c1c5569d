// The device service of a korvane-host reached over its socket. One
// connection per client process: the host closes what the client opened when
// the connection ends, however the client ended.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "DeviceService.h"
#include "host/Message.h"

namespace machine::host {

class RemoteAudioStream;

class HostClient final : public DeviceService, public std::enable_shared_from_this<HostClient> {
 public:
  // Connects and greets the host; null with *error when either fails.
  static std::shared_ptr<HostClient> connect(const std::string& path, std::string* error);
  // Disconnects; calls still waiting end as if the device were removed.
  ~HostClient() override;
  HostClient(const HostClient&) = delete;
  HostClient& operator=(const HostClient&) = delete;

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

  // For the client's streams. A tag for a new request.
  std::uint32_t newTag();
  // Sends a request and waits for the reply's payload; none when the
  // connection is lost, the reply is not of the expected type or the time
  // given runs out.
  std::optional<std::vector<std::uint8_t>> call(
      MessageWriter& request, std::uint32_t tag, MessageType replyType,
      std::optional<std::chrono::milliseconds> timeout = std::nullopt);
  // Sends a frame that gets no reply.
  bool post(MessageWriter& message);
  // Frames tagged with the stream's id go to it while it is attached.
  void attach(std::uint32_t streamId, RemoteAudioStream* stream);
  void detach(std::uint32_t streamId);

 private:
  struct Waiter;

  HostClient(int socket, std::string path);
  void readLoop();

  const int socket;
  const std::string path;
  std::thread readerThread;

  std::mutex writeLock;  // one frame at a time on the socket

  mutable std::mutex lock;  // guards the fields below
  std::map<std::uint32_t, Waiter*> waiting;
  std::map<std::uint32_t, RemoteAudioStream*> streams;
  std::uint32_t lastTag = 0;
  bool lost = false;
};

}  // namespace machine::host
