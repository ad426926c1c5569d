#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "SampleConversion.h"

namespace {

TEST(SampleConversion, CardSamplesSurviveARoundTripExactly) {
  for (unsigned bits : {16u, 24u}) {
    SCOPED_TRACE(bits);
    const long maximum = bits == 24 ? 8388607 : 32767;
    const std::vector<long> values = {0, 1, -1, maximum, -maximum - 1, 12345, -54321 % maximum};
    const unsigned bytes = bits / 8;
    std::vector<std::uint8_t> card(values.size() * bytes), back(card.size());
    for (size_t i = 0; i < values.size(); ++i) {
      for (unsigned b = 0; b < bytes; ++b) {
        card[i * bytes + b] = static_cast<std::uint8_t>(values[i] >> (8 * b));
      }
    }
    std::vector<float> floats(values.size());
    audio::cardToFloat(card.data(), bits, values.size(), floats.data());
    audio::floatToCard(floats.data(), bits, values.size(), back.data());
    EXPECT_EQ(card, back);
  }
}

TEST(SampleConversion, OutOfRangeFloatsAreLimitedNotWrapped) {
  const float in[] = {2.0f, -2.0f, std::numeric_limits<float>::quiet_NaN(), 0.5f};
  std::uint8_t card[8];
  audio::floatToCard(in, 16, 4, card);
  auto sample = [&](int i) { return static_cast<std::int16_t>(card[2 * i] | card[2 * i + 1] << 8); };
  EXPECT_EQ(sample(0), 32767);
  EXPECT_EQ(sample(1), -32768);
  EXPECT_EQ(sample(2), 0);
  EXPECT_EQ(sample(3), 16384);
}

}  // namespace
