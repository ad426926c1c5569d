// A stream of the audio system that korvane-host runs for one client. Render
// frames the client sends wait in a queue until the stream takes them (it
// plays silence when none are there) and the client hears how many have been
// played; capture frames go to the client as the stream delivers them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "audio/AudioSystem.h"
#include "host/Message.h"

namespace machine::host {

class HostedStream {
 public:
  // Sends a frame to the client from the stream's thread.
  using Sender = std::function<void(MessageWriter&)>;

  HostedStream(std::uint32_t id, std::unique_ptr<audio::AudioStream> stream, Sender send);
  ~HostedStream();  // stops

  const audio::AudioFormat& format() const { return streamFormat; }
  bool isCapture() const { return stream->isCapture(); }

  // Queues render frames (interleaved floats as the protocol carries them);
  // what goes past the client's window is dropped. False when the bytes are
  // not whole frames.
  bool queue(std::uint32_t frames, std::span<const std::uint8_t> samples);
  bool start(std::string* error);
  // Stops and forgets queued frames; the frames moved while it ran.
  std::uint64_t stop();

 private:
  void render(float* out, std::size_t frames);        // the stream's thread
  void capture(const float* in, std::size_t frames);  // the stream's thread

  const std::uint32_t id;
  std::unique_ptr<audio::AudioStream> stream;
  const audio::AudioFormat streamFormat;
  Sender send;

  std::mutex lock;          // guards the queue and the played count
  std::vector<float> ring;  // kRenderWindowFrames frames
  std::size_t head = 0;     // first queued sample
  std::size_t count = 0;    // queued samples
  std::uint64_t played = 0;
};

}  // namespace machine::host
