#include "SampleConversion.h"

#include <algorithm>
#include <cmath>

#include "card/wav/PcmSamples.h"

namespace audio {

namespace {

// One width per loop: the sample helpers fold to two or three byte moves.
template <int Bytes>
void toFloat(const std::uint8_t* card, std::size_t samples, float* out) {
  constexpr float scale = static_cast<float>(wav::fullScale(8 * Bytes) + 1);
  for (std::size_t i = 0; i < samples; ++i, card += Bytes) {
    out[i] = static_cast<float>(wav::loadSample(card, Bytes)) / scale;
  }
}

template <int Bytes>
void fromFloat(const float* in, std::size_t samples, std::uint8_t* card) {
  constexpr long maximum = wav::fullScale(8 * Bytes);
  constexpr float scale = static_cast<float>(maximum + 1);
  for (std::size_t i = 0; i < samples; ++i, card += Bytes) {
    const float sample = std::isfinite(in[i]) ? in[i] : 0.0f;
    const long value = std::clamp(std::lround(sample * scale), -maximum - 1, maximum);
    wav::storeSample(card, static_cast<std::int32_t>(value), Bytes);
  }
}

}  // namespace

void cardToFloat(const std::uint8_t* card, unsigned bitsPerSample, std::size_t samples,
                 float* out) {
  if (bitsPerSample == 24) {
    toFloat<3>(card, samples, out);
  } else {
    toFloat<2>(card, samples, out);
  }
}

void floatToCard(const float* in, unsigned bitsPerSample, std::size_t samples,
                 std::uint8_t* card) {
  if (bitsPerSample == 24) {
    fromFloat<3>(in, samples, card);
  } else {
    fromFloat<2>(in, samples, card);
  }
}

}  // namespace audio
