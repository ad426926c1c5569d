#include "host/RemoteAudioStream.h"

#include <bit>
#include <cstring>

#include "host/HostClient.h"

namespace machine::host {

static_assert(std::endian::native == std::endian::little, "frames travel as native floats");

namespace {

// Fewer frames than this are not worth a frame of the protocol.
constexpr unsigned long long kSmallestSend = 1024;

}  // namespace

RemoteAudioStream::RemoteAudioStream(std::shared_ptr<HostClient> host, std::uint32_t streamId,
                                     bool isCaptureStream, audio::AudioFormat format)
    : client(std::move(host)), id(streamId), capture(isCaptureStream), streamFormat(format) {
  client->attach(id, this);
}

RemoteAudioStream::~RemoteAudioStream() {
  stop();
  client->detach(id);
  const std::uint32_t tag = client->newTag();
  MessageWriter request(MessageType::StreamClose, tag);
  request.u32(id);
  client->call(request, tag, MessageType::StreamClosed);
}

void RemoteAudioStream::setRenderCallback(RenderCallback callback) {
  if (!running()) renderCallback = std::move(callback);
}

void RemoteAudioStream::setCaptureCallback(CaptureCallback callback) {
  if (!running()) captureCallback = std::move(callback);
}

bool RemoteAudioStream::sendRendered(std::size_t frames) {
  const std::size_t samples = frames * streamFormat.channels;
  scratch.assign(samples, 0.0f);
  if (renderCallback) renderCallback(scratch.data(), frames);
  MessageWriter data(MessageType::StreamData, id);
  data.u32(static_cast<std::uint32_t>(frames)).bytes(scratch.data(), samples * sizeof(float));
  sent += frames;
  return client->post(data);
}

bool RemoteAudioStream::start(std::string* error) {
  if (running()) return true;
  {
    std::lock_guard held(lock);
    if (lost) {
      if (error) *error = "the connection to korvane-host was lost";
      return false;
    }
    stopping = false;
    played = 0;
    captured.clear();
  }
  sent = 0;
  moved = 0;
  if (!capture && !sendRendered(kRenderWindowFrames)) {
    if (error) *error = "the connection to korvane-host was lost";
    return false;
  }
  const std::uint32_t tag = client->newTag();
  MessageWriter request(MessageType::StreamStart, tag);
  request.u32(id);
  const auto reply = client->call(request, tag, MessageType::StreamStarted);
  if (!reply) {
    if (error) *error = "the connection to korvane-host was lost";
    return false;
  }
  MessageReader reader(*reply);
  const bool started = reader.u8() != 0;
  const std::string problem = reader.text();
  if (!started || !reader.finished()) {
    if (error) *error = problem.empty() ? "the host's stream did not start" : problem;
    return false;
  }
  worker = std::thread([this] { capture ? captureLoop() : renderLoop(); });
  return true;
}

void RemoteAudioStream::stop() {
  if (!worker.joinable()) return;
  {
    std::lock_guard held(lock);
    stopping = true;
    wake.notify_all();
  }
  worker.join();
  const std::uint32_t tag = client->newTag();
  MessageWriter request(MessageType::StreamStop, tag);
  request.u32(id);
  client->call(request, tag, MessageType::StreamStopped);
  std::lock_guard held(lock);
  captured.clear();
}

void RemoteAudioStream::renderLoop() {
  for (;;) {
    unsigned long long ahead = 0;
    {
      std::unique_lock held(lock);
      auto framesAhead = [&] { return sent > played ? sent - played : 0; };
      wake.wait(held, [&] {
        return stopping || lost || framesAhead() + kSmallestSend <= kRenderWindowFrames;
      });
      if (stopping || lost) return;
      ahead = framesAhead();
    }
    if (!sendRendered(static_cast<std::size_t>(kRenderWindowFrames - ahead))) return;
  }
}

void RemoteAudioStream::captureLoop() {
  for (;;) {
    std::vector<float> frames;
    {
      std::unique_lock held(lock);
      wake.wait(held, [&] { return stopping || lost || !captured.empty(); });
      if (stopping || lost) return;
      frames = std::move(captured.front());
      captured.pop_front();
    }
    const std::size_t count = frames.size() / streamFormat.channels;
    if (captureCallback) captureCallback(frames.data(), count);
    moved += count;
  }
}

void RemoteAudioStream::received(MessageReader& frame) {
  if (frame.type() == MessageType::StreamPlayed) {
    const unsigned long long total = frame.u64();
    if (!frame.finished()) return;
    std::lock_guard held(lock);
    played = total;
    moved = total;
    wake.notify_all();
    return;
  }
  const std::uint32_t count = frame.u32();
  const std::size_t bytes = std::size_t{count} * streamFormat.channels * sizeof(float);
  const auto samples = frame.bytes(bytes);
  if (!frame.finished() || count == 0) return;
  std::vector<float> frames(bytes / sizeof(float));
  std::memcpy(frames.data(), samples.data(), bytes);
  std::lock_guard held(lock);
  if (stopping) return;
  captured.push_back(std::move(frames));
  wake.notify_all();
}

void RemoteAudioStream::connectionLost() {
  std::lock_guard held(lock);
  lost = true;
  wake.notify_all();
}

}  // namespace machine::host
