// A stream of the audio system that runs in korvane-host, as its client sees
// it. Render: the client's callback fills frames on the stream's thread and
// they go to the host, never more than the host's window ahead of what it has
// played. Capture: frames the host sends are handed to the callback on the
// stream's thread, so a slow callback never holds up the connection.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/AudioSystem.h"
#include "host/Message.h"

namespace machine::host {

class HostClient;

class RemoteAudioStream final : public audio::AudioStream {
 public:
  RemoteAudioStream(std::shared_ptr<HostClient> client, std::uint32_t id, bool capture,
                    audio::AudioFormat format);
  ~RemoteAudioStream() override;  // stops and closes the host's stream

  audio::AudioFormat format() const override { return streamFormat; }
  bool isCapture() const override { return capture; }
  void setRenderCallback(RenderCallback callback) override;
  void setCaptureCallback(CaptureCallback callback) override;
  // Render: the first window of frames is rendered on the calling thread,
  // before the host starts, so that the stream does not begin with a gap.
  bool start(std::string* error) override;
  void stop() override;
  bool running() const override { return worker.joinable(); }
  // Render: frames the host has played; capture: frames handed to the callback.
  unsigned long long framesMoved() const override { return moved.load(); }

  // From the client's reader thread.
  void received(MessageReader& frame);
  void connectionLost();

 private:
  void renderLoop();
  void captureLoop();
  // Renders and sends `frames` frames; false when the host is gone.
  bool sendRendered(std::size_t frames);

  const std::shared_ptr<HostClient> client;
  const std::uint32_t id;
  const bool capture;
  const audio::AudioFormat streamFormat;

  RenderCallback renderCallback;
  CaptureCallback captureCallback;
  std::vector<float> scratch;   // as sent
  unsigned long long sent = 0;  // render frames sent this run: start, then the stream thread
  std::atomic<unsigned long long> moved{0};

  std::mutex lock;  // guards the fields below
  std::condition_variable wake;
  std::deque<std::vector<float>> captured;
  unsigned long long played = 0;  // as the host last reported
  bool stopping = false;
  bool lost = false;

  std::thread worker;
};

}  // namespace machine::host
