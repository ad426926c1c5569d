#include "host/HostedStream.h"

#include <algorithm>
#include <cstring>

namespace machine::host {

HostedStream::HostedStream(std::uint32_t streamId, std::unique_ptr<audio::AudioStream> opened,
                           Sender sender)
    : id(streamId),
      stream(std::move(opened)),
      streamFormat(stream->format()),
      send(std::move(sender)) {
  if (stream->isCapture()) {
    stream->setCaptureCallback(
        [this](const float* in, std::size_t frames) { capture(in, frames); });
  } else {
    ring.assign(std::size_t{kRenderWindowFrames} * streamFormat.channels, 0.0f);
    stream->setRenderCallback([this](float* out, std::size_t frames) { render(out, frames); });
  }
}

HostedStream::~HostedStream() {
  stream->stop();
}

bool HostedStream::queue(std::uint32_t frames, std::span<const std::uint8_t> samples) {
  const std::size_t sampleCount = std::size_t{frames} * streamFormat.channels;
  if (isCapture() || samples.size() != sampleCount * sizeof(float)) return false;
  std::lock_guard held(lock);
  const std::size_t room = ring.size() - count;
  const std::size_t taken = std::min(sampleCount, room);
  for (std::size_t i = 0; i < taken; ++i) {
    float value;
    std::memcpy(&value, samples.data() + i * sizeof(float), sizeof value);
    ring[(head + count + i) % ring.size()] = value;
  }
  count += taken;
  return true;
}

bool HostedStream::start(std::string* error) {
  {
    std::lock_guard held(lock);
    played = 0;
  }
  return stream->start(error);
}

std::uint64_t HostedStream::stop() {
  stream->stop();
  const std::uint64_t moved = stream->framesMoved();
  std::lock_guard held(lock);
  head = count = 0;
  return moved;
}

void HostedStream::render(float* out, std::size_t frames) {
  const std::size_t wanted = frames * streamFormat.channels;
  std::uint64_t total = 0;
  std::size_t taken = 0;
  {
    std::lock_guard held(lock);
    taken = std::min(wanted, count);
    for (std::size_t i = 0; i < taken; ++i) out[i] = ring[(head + i) % ring.size()];
    head = (head + taken) % ring.size();
    count -= taken;
    played += taken / streamFormat.channels;
    total = played;
  }
  std::fill(out + taken, out + wanted, 0.0f);
  if (taken == 0) return;
  MessageWriter message(MessageType::StreamPlayed, id);
  message.u64(total);
  send(message);
}

void HostedStream::capture(const float* in, std::size_t frames) {
  MessageWriter message(MessageType::StreamData, id);
  message.u32(static_cast<std::uint32_t>(frames));
  message.bytes(in, frames * streamFormat.channels * sizeof(float));
  send(message);
}

}  // namespace machine::host
