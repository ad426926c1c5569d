// The audio system as programs see it: the card's render and capture
// endpoints, and streams on them that move float samples between a client's
// callback and the driver's cyclic buffers.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace audio {

struct Endpoint {
  std::string name;  // contains "VYT PCI"
  bool capture = false;
};

struct AudioFormat {
  unsigned sampleRate = 0;
  unsigned bitsPerSample = 0;
  unsigned channels = 0;
};

class AudioStream {
 public:
  // Render: the callback fills `frames` interleaved frames in [-1, 1].
  using RenderCallback = std::function<void(float* interleaved, std::size_t frames)>;
  // Capture: the callback receives `frames` interleaved frames.
  using CaptureCallback = std::function<void(const float* interleaved, std::size_t frames)>;

  virtual ~AudioStream() = default;  // stops and closes the stream
  virtual AudioFormat format() const = 0;
  virtual bool isCapture() const = 0;
  // Sets the callback; only while stopped.
  virtual void setRenderCallback(RenderCallback callback) = 0;
  virtual void setCaptureCallback(CaptureCallback callback) = 0;
  // Runs the stream: callbacks come on the stream's own thread.
  virtual bool start(std::string* error = nullptr) = 0;
  virtual void stop() = 0;
  virtual bool running() const = 0;
  // Frames moved through the callback since the stream started.
  virtual unsigned long long framesMoved() const = 0;
};

// The card's endpoints on this machine; none when the card is absent.
std::vector<Endpoint> listEndpoints();

// Opens a stream on the endpoint in the card's current format, negotiated with
// the driver. Null with a message in *error when that fails.
std::unique_ptr<AudioStream> openStream(const Endpoint& endpoint, std::string* error = nullptr);

}  // namespace audio
