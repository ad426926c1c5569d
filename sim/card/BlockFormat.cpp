#include "card/BlockFormat.h"

#include <cassert>

#include "card/wav/PcmSamples.h"

namespace card {

void unpackBlock(std::span<const std::uint8_t> bytes, int bitDepth,
                 std::span<std::int32_t> samples) {
  const auto width = static_cast<std::size_t>(bitDepth / 8);
  assert(samples.size() * width == bytes.size());
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = wav::loadSample(bytes.data() + i * width, static_cast<int>(width));
  }
}

void packBlock(std::span<const std::int32_t> samples, int bitDepth, std::span<std::uint8_t> bytes) {
  const auto width = static_cast<std::size_t>(bitDepth / 8);
  assert(samples.size() * width == bytes.size());
  for (std::size_t i = 0; i < samples.size(); ++i) {
    wav::storeSample(bytes.data() + i * width, samples[i], static_cast<int>(width));
  }
}

}  // namespace card
