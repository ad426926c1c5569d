// A stream on the card's wave filter inside this process: a pin of the
// driver, and an engine thread that moves samples between the client's
// callback and the pin's cyclic buffer each time the driver notifies.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/AudioSystem.h"
#include "kernel/host/Clock.h"
#include "kernel/host/KsFilter.h"

namespace audio {

class CardStream final : public AudioStream {
 public:
  // Negotiates the format with the driver; null with *error on failure.
  static std::unique_ptr<CardStream> open(bool capture, std::string* error);
  ~CardStream() override;

  AudioFormat format() const override { return negotiated; }
  bool isCapture() const override { return capture; }
  void setRenderCallback(RenderCallback callback) override;
  void setCaptureCallback(CaptureCallback callback) override;
  bool start(std::string* error) override;
  void stop() override;
  bool running() const override { return engine.joinable(); }
  unsigned long long framesMoved() const override { return moved.load(); }

 private:
  CardStream(std::unique_ptr<kernel::KsFilter> filter, bool capture,
             std::vector<std::uint8_t> format);

  void engineLoop();
  // Moves what the driver's position allows; engine thread only.
  void service();
  void serviceRender(unsigned long position);
  void serviceCapture(unsigned long position);
  void render(std::size_t frames, std::size_t offset);
  // Virtual time: returns once every notification so far has been serviced.
  void waitIdle();

  std::unique_ptr<kernel::KsFilter> filter;
  std::unique_ptr<kernel::KsPin> pin;
  bool capture;
  std::vector<std::uint8_t> dataFormat;  // the negotiated KSDATAFORMAT and its wave format
  AudioFormat negotiated;
  unsigned frameBytes = 0;
  unsigned long leadBytes = 0;  // how far render data is kept ahead of the position

  RenderCallback renderCallback;
  CaptureCallback captureCallback;
  std::vector<float> scratch;

  // Engine state: engine thread only, after start.
  unsigned long lastPosition = 0;
  unsigned long long produced = 0;  // unwrapped bytes the driver moved
  unsigned long long cursor = 0;    // unwrapped bytes the engine moved
  std::atomic<unsigned long long> moved{0};

  std::mutex lock;
  std::condition_variable wake;
  std::condition_variable idle;
  unsigned long long notified = 0;  // guarded by lock
  unsigned long long serviced = 0;  // guarded by lock
  bool stopping = false;            // guarded by lock
  std::thread engine;
  kernel::Clock::WaiterId idleWaiter = 0;
};

}  // namespace audio
