#include "card/AnalogInput.h"

#include <algorithm>
#include <cstdio>

#include "card/CardRegisters.h"

namespace card {

AnalogInput::AnalogInput(const InputSetting& input) : source(input) {
  if (const auto* tone = std::get_if<SineInput>(&source)) {
    sine.emplace(tone->frequency, tone->levelDbfs);
  } else if (const auto* wavInput = std::get_if<WavInput>(&source)) {
    file = std::make_unique<wav::WavReader>(wavInput->path);
    if (file->format().channels > kChannels) {
      throw wav::WavError(wavInput->path + ": " + std::to_string(file->format().channels) +
                          " channels (the card's input takes mono or stereo)");
    }
  }
}

void AnalogInput::fill(std::span<std::int32_t> stereo, unsigned rate, int bits) {
  if (sine) {
    sine->fill(stereo, rate, bits);
  } else if (file) {
    // A file plays at the card's rate whatever rate it was made at.
    fillFromFile(stereo, bits);
  } else {
    std::fill(stereo.begin(), stereo.end(), 0);
  }
}

void AnalogInput::fillFromFile(std::span<std::int32_t> stereo, int bits) {
  const std::size_t frames = stereo.size() / kChannels;
  std::size_t got = 0;
  try {
    if (file->format().channels == kChannels) {
      got = file->readFrames(stereo, bits);
    } else {
      fileSamples.resize(frames);
      got = file->readFrames(fileSamples, bits);
      for (std::size_t i = 0; i < got; ++i) {
        stereo[kChannels * i] = fileSamples[i];
        stereo[kChannels * i + 1] = fileSamples[i];
      }
    }
  } catch (const wav::WavError& error) {
    // The block path runs on the clock's thread, where nobody could catch
    // this; a file that goes bad mid-way ends the input like its end would.
    std::fprintf(stderr, "card input: %s; silence from here on\n", error.what());
    file.reset();
    got = 0;
  }
  std::fill(stereo.begin() + static_cast<std::ptrdiff_t>(got * kChannels), stereo.end(), 0);
}

}  // namespace card
