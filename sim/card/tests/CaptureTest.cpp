#include <cmath>
#include <numbers>

#include "CardBench.h"
#include "card/BlockFormat.h"
#include "card/CardRegisters.h"
#include "card/wav/WavWriter.h"

namespace card::testing {
namespace {

using Capture = CardBench;

std::vector<std::int32_t> ringSamples(Ring ring, int bits, std::size_t count) {
  std::vector<std::int32_t> samples(count);
  unpackBlock(ring.bytes().first(count * static_cast<std::size_t>(bits / 8)), bits, samples);
  return samples;
}

struct SineCase {
  unsigned rate;
  int bits;
  std::uint32_t blockBytes;
  double frequency;
  double level;
};

void PrintTo(const SineCase& c, std::ostream* out) {
  *out << c.frequency << " Hz at " << c.level << " dBFS, " << c.rate << " Hz " << c.bits << "-bit, "
       << c.blockBytes << "-byte blocks";
}

class CaptureSine : public Capture, public ::testing::WithParamInterface<SineCase> {};

TEST_P(CaptureSine, WritesTheSineIntoTheRingAcrossBlocks) {
  const SineCase c = GetParam();
  makeCard(inputFrom(SineInput{c.frequency, c.level}));
  Ring ring = allocateRing();
  programCapture(ring.physical, c.rate, c.bits, c.blockBytes);
  constexpr int kBlocks = 3;
  for (int i = 0; i < kBlocks; ++i) ASSERT_TRUE(card->runBlock());

  const std::size_t frames = kBlocks * c.blockBytes / (c.bits / 8 * 2);
  const auto samples = ringSamples(ring, c.bits, frames * 2);
  const double amplitude = std::pow(10.0, c.level / 20) * ((1 << (c.bits - 1)) - 1);
  std::int32_t peak = 0;
  for (std::size_t n = 0; n < frames; ++n) {
    const double expected =
        amplitude * std::sin(2 * std::numbers::pi * c.frequency * static_cast<double>(n) / c.rate);
    ASSERT_NEAR(samples[2 * n], expected, 0.5 + 1e-6) << "frame " << n;
    ASSERT_EQ(samples[2 * n + 1], samples[2 * n]) << "frame " << n;
    peak = std::max(peak, samples[2 * n]);
  }
  EXPECT_NEAR(peak, amplitude, 1.0 + amplitude * 0.01);
  // Nothing past the blocks written.
  EXPECT_EQ(ringSamples(ring, c.bits, frames * 2 + 2).back(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, CaptureSine,
    ::testing::Values(SineCase{48000, 16, 2048, 1000, -6}, SineCase{44100, 24, 3072, 997, -6},
                      SineCase{96000, 24, 1536, 440, 0}, SineCase{44100, 16, 512, 10000, -20}),
    [](const auto& test) {
      return std::to_string(test.param.rate) + "Hz_" + std::to_string(test.param.bits) + "bit";
    });

TEST_F(Capture, MicrophoneMuteSilencesTheInput) {
  makeCard(inputFrom(SineInput{1000, 0}));
  Ring ring = allocateRing();
  programCapture(ring.physical, 48000, 16, 512);
  auto blockIsSilent = [&](std::uint32_t offset) {
    const auto block = ring.bytes().subspan(offset, 512);
    return std::all_of(block.begin(), block.end(), [](std::uint8_t b) { return b == 0; });
  };

  card->runBlock();
  writeMixer({0, 0, 0, 0, 99, 0x80, 0, 0});
  card->runBlock();
  writeMixer({0, 0, 0, 0, 99, 0x00, 0, 0});
  card->runBlock();
  EXPECT_FALSE(blockIsSilent(0));
  EXPECT_TRUE(blockIsSilent(512));
  EXPECT_FALSE(blockIsSilent(1024));
}

TEST_F(Capture, PlaysAWavFileFrameByFrameThenSilence) {
  const std::string input = temp.file("in.wav");
  {
    // Mono at a rate the card does not run: it still plays one file frame per card frame.
    wav::WavWriter writer(input, wav::WavFormat{wav::Encoding::Pcm, 22050, 1, 16});
    writer.writeFrames(std::vector<std::int32_t>{100, -100, 32767, -32768, 7});
  }
  makeCard(inputFrom(WavInput{input}));
  Ring ring = allocateRing();
  programCapture(ring.physical, 48000, 24, 3072);
  card->runBlock();
  const auto samples = ringSamples(ring, 24, 14);
  EXPECT_EQ(samples, (std::vector<std::int32_t>{100 << 8, 100 << 8, -100 * 256, -100 * 256,
                                                32767 << 8, 32767 << 8, -32768 * 256, -32768 * 256,
                                                7 << 8, 7 << 8, 0, 0, 0, 0}));
}

TEST_F(Capture, RefusesAnInputFileItCannotRead) {
  const std::string input = temp.file("absent.wav");
  try {
    VirtualCard refused(inputFrom(WavInput{input}));
    FAIL() << "accepted a missing input file";
  } catch (const wav::WavError& error) {
    EXPECT_NE(std::string(error.what()).find(input), std::string::npos) << error.what();
  }
  makeCard();
  EXPECT_THROW(card->setInput(WavInput{input}), wav::WavError);
  EXPECT_EQ(card->input(), InputSetting{SilenceInput{}});
}

}  // namespace
}  // namespace card::testing
