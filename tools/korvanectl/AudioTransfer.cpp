#include "AudioTransfer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "card/wav/WavReader.h"
#include "card/wav/WavWriter.h"

namespace korvanectl {

namespace {

using namespace std::chrono_literals;

// How long the last frames handed to the audio system take to come out of
// the card: the system's lead plus the driver's buffer, with room to spare.
constexpr auto kDrainTime = 300ms;
// Beyond the transfer's own length, how long a stalled stream is waited for.
constexpr auto kStallAllowance = 10s;

std::unique_ptr<audio::AudioStream> openEndpoint(machine::DeviceService& service, bool capture,
                                                 std::string* problem) {
  for (const auto& endpoint : service.audioEndpoints()) {
    if (endpoint.capture == capture) return service.openAudioStream(endpoint, problem);
  }
  *problem = service.problem().empty() ? "no card found" : service.problem();
  return nullptr;
}

template <typename Duration>
std::chrono::milliseconds lengthOf(std::uint64_t frames, unsigned rate, Duration extra) {
  const auto milliseconds = rate ? frames * 1000 / rate : 0;
  return std::chrono::milliseconds(milliseconds) +
         std::chrono::duration_cast<std::chrono::milliseconds>(extra);
}

}  // namespace

Transfer playFile(machine::DeviceService& service, const std::string& path) {
  Transfer result;
  std::unique_ptr<wav::WavReader> reader;
  try {
    reader = std::make_unique<wav::WavReader>(path);
  } catch (const wav::WavError& error) {
    result.problem = error.what();
    return result;
  }
  auto stream = openEndpoint(service, false, &result.problem);
  if (!stream) return result;
  const unsigned fileChannels = reader->format().channels;
  const unsigned cardChannels = stream->format().channels;
  result.rate = reader->format().sampleRate;

  // The callback's state: the stream's thread only, until `finished` is set.
  std::vector<std::int32_t> samples;
  std::uint64_t rendered = 0;  // frames handed to the stream, silence included
  std::string readProblem;
  std::atomic<bool> finished{false};
  std::atomic<std::uint64_t> lastFrameEnd{0};  // `rendered` after the file's last frame
  stream->setRenderCallback([&](float* out, std::size_t frames) {
    std::size_t got = 0;
    if (!finished) {
      samples.resize(frames * fileChannels);
      try {
        got = reader->readFrames(samples, 32);
      } catch (const wav::WavError& error) {
        readProblem = error.what();
      }
      for (std::size_t frame = 0; frame < got; ++frame) {
        for (unsigned channel = 0; channel < cardChannels; ++channel) {
          const unsigned from = channel < fileChannels ? channel : 0;
          out[frame * cardChannels + channel] =
              static_cast<float>(samples[frame * fileChannels + from]) / 2147483648.0f;
        }
      }
      result.frames += got;
      if (got < frames) {
        lastFrameEnd = rendered + got;
        finished = true;
      }
    }
    rendered += frames;
  });
  if (!stream->start(&result.problem)) return result;
  const auto deadline =
      std::chrono::steady_clock::now() +
      lengthOf(reader->frameCount(), stream->format().sampleRate, kStallAllowance);
  while (!(finished && stream->framesMoved() >= lastFrameEnd)) {
    if (std::chrono::steady_clock::now() > deadline) {
      stream->stop();
      result.problem = "the card stopped taking samples";
      return result;
    }
    std::this_thread::sleep_for(10ms);
  }
  std::this_thread::sleep_for(kDrainTime);
  stream->stop();
  result.problem = readProblem;
  result.ok = readProblem.empty();
  return result;
}

Transfer captureFile(machine::DeviceService& service, const std::string& path, double seconds) {
  Transfer result;
  auto stream = openEndpoint(service, true, &result.problem);
  if (!stream) return result;
  const audio::AudioFormat format = stream->format();
  result.rate = format.sampleRate;
  result.bits = format.bitsPerSample;
  std::unique_ptr<wav::WavWriter> writer;
  try {
    writer = std::make_unique<wav::WavWriter>(
        path, wav::WavFormat{wav::Encoding::Pcm, format.sampleRate, 2,
                             static_cast<std::uint16_t>(format.bitsPerSample)});
  } catch (const wav::WavError& error) {
    result.problem = error.what();
    return result;
  }
  const auto target = static_cast<std::uint64_t>(std::llround(seconds * format.sampleRate));
  const double scale = std::ldexp(1.0, static_cast<int>(format.bitsPerSample) - 1);
  const auto lowest = static_cast<long long>(-scale);
  const auto highest = static_cast<long long>(scale) - 1;

  std::mutex lock;
  std::condition_variable done;
  bool complete = false;              // guarded by lock
  std::string writeProblem;           // guarded by lock
  std::vector<std::int32_t> samples;  // the stream's thread only
  stream->setCaptureCallback([&](const float* in, std::size_t frames) {
    std::lock_guard held(lock);
    if (complete) return;
    const auto wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(frames, target - result.frames));
    samples.resize(wanted * 2);
    for (std::size_t frame = 0; frame < wanted; ++frame) {
      for (unsigned channel = 0; channel < 2; ++channel) {
        const unsigned from = channel < format.channels ? channel : 0;
        const long long value = std::llround(in[frame * format.channels + from] * scale);
        samples[frame * 2 + channel] =
            static_cast<std::int32_t>(std::clamp(value, lowest, highest));
      }
    }
    try {
      writer->writeFrames(samples);
      result.frames += wanted;
    } catch (const wav::WavError& error) {
      writeProblem = error.what();
      complete = true;
    }
    if (result.frames >= target) complete = true;
    if (complete) done.notify_all();
  });
  if (!stream->start(&result.problem)) return result;
  bool finished = false;
  {
    std::unique_lock held(lock);
    finished = done.wait_for(held, lengthOf(target, format.sampleRate, kStallAllowance),
                             [&] { return complete; });
  }
  stream->stop();
  std::lock_guard held(lock);
  if (!writeProblem.empty()) {
    result.problem = writeProblem;
  } else if (!finished) {
    result.problem = "the card stopped delivering samples";
  } else {
    result.ok = true;
  }
  return result;
}

}  // namespace korvanectl
