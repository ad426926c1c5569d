// The card's analog input: silence, a sine or a WAV file, sampled one block
// at a time at the rate and depth the capture channel runs. Not thread-safe:
// the card's engine lock guards it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "card/InputSetting.h"
#include "card/SineGenerator.h"
#include "card/wav/WavReader.h"

namespace card {

class AnalogInput {
 public:
  // Opens a WAV input at once; throws wav::WavError when it cannot be read
  // or has more than two channels.
  explicit AnalogInput(const InputSetting& input);

  // Interleaved stereo samples of `bits` bits for the next frames.
  void fill(std::span<std::int32_t> stereo, unsigned rate, int bits);

  const InputSetting& setting() const { return source; }

 private:
  void fillFromFile(std::span<std::int32_t> stereo, int bits);

  InputSetting source;
  std::optional<SineGenerator> sine;
  std::unique_ptr<wav::WavReader> file;
  std::vector<std::int32_t> fileSamples;  // reused between blocks
};

}  // namespace card
