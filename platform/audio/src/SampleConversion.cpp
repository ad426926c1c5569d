#include "SampleConversion.h"

#include <algorithm>
#include <cmath>

namespace audio {

void cardToFloat(const std::uint8_t* card, unsigned bitsPerSample, std::size_t samples,
                 float* out) {
  if (bitsPerSample == 24) {
    for (std::size_t i = 0; i < samples; ++i, card += 3) {
      std::int32_t value = card[0] | card[1] << 8 | card[2] << 16;
      value = (value ^ 0x800000) - 0x800000;
      out[i] = static_cast<float>(value) / 8388608.0f;
    }
  } else {
    for (std::size_t i = 0; i < samples; ++i, card += 2) {
      const auto value = static_cast<std::int16_t>(card[0] | card[1] << 8);
      out[i] = static_cast<float>(value) / 32768.0f;
    }
  }
}

void floatToCard(const float* in, unsigned bitsPerSample, std::size_t samples,
                 std::uint8_t* card) {
  const bool wide = bitsPerSample == 24;
  const float scale = wide ? 8388608.0f : 32768.0f;
  const long maximum = wide ? 8388607 : 32767;
  for (std::size_t i = 0; i < samples; ++i) {
    const float sample = std::isfinite(in[i]) ? in[i] : 0.0f;
    const long value = std::clamp(std::lround(sample * scale), -maximum - 1, maximum);
    card[0] = static_cast<std::uint8_t>(value);
    card[1] = static_cast<std::uint8_t>(value >> 8);
    if (wide) {
      card[2] = static_cast<std::uint8_t>(value >> 16);
      card += 3;
    } else {
      card += 2;
    }
  }
}

}  // namespace audio
