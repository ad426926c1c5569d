#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

#include "CardBench.h"
#include "card/BlockFormat.h"
#include "card/CardRegisters.h"
#include "card/wav/WavReader.h"
#include "kernel/host/Clock.h"

namespace card::testing {
namespace {

using Playback = CardBench;

std::vector<std::uint8_t> outputData(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
  return {bytes.begin() + 44, bytes.end()};  // the writer's canonical header
}

std::vector<std::int32_t> outputSamples(const std::string& path, int bits) {
  wav::WavReader reader(path);
  std::vector<std::int32_t> samples(reader.frameCount() * 2);
  samples.resize(reader.readFrames(samples, bits) * 2);
  return samples;
}

void fillRandom(std::span<std::uint8_t> bytes, unsigned seed) {
  std::mt19937 random(seed);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
}

void writeSamples(Ring ring, std::uint32_t offset, int bits, const std::vector<std::int32_t>& s) {
  packBlock(s, bits, ring.bytes().subspan(offset, s.size() * static_cast<std::size_t>(bits / 8)));
}

struct Format {
  unsigned rate;
  int bits;
  std::uint32_t blockBytes;
};

std::string describe(const Format& f) {
  return std::to_string(f.rate) + "Hz_" + std::to_string(f.bits) + "bit_" +
         std::to_string(f.blockBytes);
}

void PrintTo(const Format& f, std::ostream* out) {
  *out << describe(f);
}

class PlaybackFormat : public Playback, public ::testing::WithParamInterface<Format> {};

TEST_P(PlaybackFormat, SendsRingBlocksToTheOutputBitExact) {
  const Format f = GetParam();
  const std::string output = temp.file("out.wav");
  makeCard(outputTo(output));
  Ring ring = allocateRing();
  fillRandom(ring.bytes(), 7);
  // Full-scale extremes at the start of the second block.
  const std::int32_t top = (1 << (f.bits - 1)) - 1;
  writeSamples(ring, f.blockBytes, f.bits, {top, -top - 1, -1, 1});
  programPlayback(ring.physical, f.rate, f.bits, f.blockBytes);

  for (int i = 0; i < 3; ++i) ASSERT_TRUE(card->runBlock());

  wav::WavReader reader(output);
  EXPECT_EQ(reader.format(),
            (wav::WavFormat{wav::Encoding::Pcm, f.rate, 2, static_cast<std::uint16_t>(f.bits)}));
  const auto played = outputData(output);
  ASSERT_EQ(played.size(), 3u * f.blockBytes);
  EXPECT_TRUE(std::equal(played.begin(), played.end(), ring.host));
}

// Both positions move one block per interrupt and come back to 0 at the
// ring's end; the service sees the block bit each time and clears it.
TEST_P(PlaybackFormat, PositionsMoveOneBlockPerInterruptAndWrap) {
  const Format f = GetParam();
  makeCard();
  Ring play = allocateRing();
  Ring record = allocateRing();
  programPlayback(play.physical, f.rate, f.bits, f.blockBytes);
  programCapture(record.physical, f.rate, f.bits, f.blockBytes);
  EXPECT_EQ(readRegister(kPlaybackReadPosition), 0u);
  EXPECT_EQ(readRegister(kCaptureWritePosition), 0u);

  const std::uint32_t blocksPerRing = kRingBytes / f.blockBytes;
  for (std::uint32_t k = 1; k <= blocksPerRing + 1; ++k) {
    ASSERT_TRUE(kernel::Clock::instance().advanceToNextEvent());
    ASSERT_EQ(serviced.size(), k);
    const std::uint32_t expected = k * f.blockBytes % kRingBytes;
    EXPECT_EQ(serviced.back().status, kStatusBlock) << "block " << k;
    EXPECT_EQ(serviced.back().playbackPosition, expected) << "block " << k;
    EXPECT_EQ(serviced.back().capturePosition, expected) << "block " << k;
  }
  EXPECT_EQ(serviced[blocksPerRing - 1].playbackPosition, 0u);
  EXPECT_EQ(readRegister(kInterruptStatus), 0u);
  EXPECT_EQ(card->counters().blocksPlayed, blocksPerRing + 1);
  EXPECT_EQ(card->counters().blocksCaptured, blocksPerRing + 1);
}

INSTANTIATE_TEST_SUITE_P(Formats, PlaybackFormat,
                         ::testing::Values(Format{44100, 16, 512}, Format{48000, 16, 2048},
                                           Format{96000, 24, 3072}, Format{44100, 24, 768}),
                         [](const auto& test) { return describe(test.param); });

struct MixerCase {
  const char* name;
  std::uint8_t masterByte;
  int bits;
  std::vector<std::int32_t> in;
  std::vector<std::int32_t> out;
};

TEST_F(Playback, MasterLevelAndMuteActOnTheOutput) {
  const std::vector<std::int32_t> in16 = {32767, -32768, 99, -99, 1, -1, 0, 12345};
  const std::vector<MixerCase> cases = {
      {"unity", 99, 16, in16, in16},
      {"half", 50, 16, in16, {16548, -16549, 50, -50, 0, 0, 0, 6234}},
      {"one", 1, 16, in16, {330, -330, 1, -1, 0, 0, 0, 124}},
      {"zero", 0, 16, in16, {0, 0, 0, 0, 0, 0, 0, 0}},
      {"muted at unity", 0x80 | 99, 16, in16, {0, 0, 0, 0, 0, 0, 0, 0}},
      {"half at 24 bits", 50, 24, {8388607, -8388608, -1, 1000}, {4236670, -4236670, 0, 505}},
  };
  for (const MixerCase& c : cases) {
    const std::string output = temp.file(std::string(c.name) + ".wav");
    makeCard(outputTo(output));
    Ring ring = allocateRing();
    writeSamples(ring, 0, c.bits, c.in);
    writeMixer({0, 0, 0, 0, c.masterByte, 0, 0, 0});
    programPlayback(ring.physical, 48000, c.bits, c.bits == 16 ? 512 : 768);
    card->runBlock();
    const auto played = outputSamples(output, c.bits);
    EXPECT_EQ(std::vector<std::int32_t>(played.begin(), played.begin() + c.in.size()), c.out)
        << c.name;
    TearDown();
  }
}

TEST_F(Playback, LaterBlocksOfAnotherDepthAreShiftedToTheFirst) {
  const std::string output = temp.file("out.wav");
  makeCard(outputTo(output));
  Ring ring = allocateRing();
  writeSamples(ring, 0, 16, {0x1234, -2});
  programPlayback(ring.physical, 44100, 16, 512);
  card->runBlock();
  stopPlayback();

  writeSamples(ring, 0, 24, {0x123456, -0x100, 0x7FFFFF, -0x800000});
  programPlayback(ring.physical, 96000, 24, 768);
  card->runBlock();

  wav::WavReader reader(output);
  EXPECT_EQ(reader.format().sampleRate, 44100u);
  EXPECT_EQ(reader.format().bitsPerSample, 16);
  EXPECT_EQ(reader.frameCount(), 128u + 128u);
  const auto played = outputSamples(output, 16);
  EXPECT_EQ(played[0], 0x1234);
  EXPECT_EQ(played[1], -2);
  EXPECT_EQ(std::vector<std::int32_t>(played.begin() + 256, played.begin() + 260),
            (std::vector<std::int32_t>{0x1234, -1, 0x7FFF, -0x8000}));
}

TEST_F(Playback, ARingOutsideDmaMemoryFaultsButTheChannelMovesOn) {
  const std::string output = temp.file("out.wav");
  makeCard(outputTo(output));
  Ring ring = allocateRing();
  fillRandom(ring.bytes(), 3);
  const std::vector<std::pair<const char*, std::uint64_t>> bases = {
      {"no memory there", 0x1000},
      {"block runs off the allocation", ring.physical + kRingBytes - 512},
  };
  std::uint64_t faults = 0;
  for (const auto& [what, base] : bases) {
    programPlayback(base, 48000, 16, 2048);
    ASSERT_TRUE(card->runBlock()) << what;
    EXPECT_EQ(card->counters().dmaFaults, ++faults) << what;
    EXPECT_EQ(card->playbackPosition(), 2048u) << what;
    EXPECT_EQ(serviced.size(), faults) << what;
    stopPlayback();
  }
  const auto played = outputData(output);
  EXPECT_EQ(played, std::vector<std::uint8_t>(2 * 2048, 0));
}

TEST_F(Playback, RefusesToStartWithoutAValidBlockFormat) {
  struct Bad {
    const char* what;
    std::uint32_t rateCode;
    std::uint32_t bits;
    std::uint32_t blockBytes;
  };
  const std::vector<Bad> cases = {
      {"unknown rate code", 0, 16, 2048},
      {"depth 20", 2, 20, 2048},
      {"depth 32", 2, 32, 2048},
      {"no block", 2, 16, 0},
      {"partial 24-bit frame", 2, 24, 1024},
      {"block does not tile the ring", 2, 16, 2044},
      {"block past the ring", 2, 16, kRingBytes * 2},
  };
  makeCard();
  Ring ring = allocateRing();
  std::uint64_t refused = 0;
  for (const Bad& c : cases) {
    writeRegister(kPlaybackRingBase, static_cast<std::uint32_t>(ring.physical));
    writeRegister(kPlaybackRateCode, c.rateCode);
    writeRegister(kPlaybackBitDepth, c.bits);
    writeRegister(kPlaybackBlockBytes, c.blockBytes);
    writeRegister(kPlaybackStart, kPlaybackStartValue);
    EXPECT_FALSE(card->playbackRunning()) << c.what;
    EXPECT_EQ(card->counters().startsRefused, ++refused) << c.what;
    EXPECT_FALSE(card->runBlock()) << c.what;
    EXPECT_FALSE(card->timerPeriod()) << c.what;
  }
}

TEST_F(Playback, StartAndStopNeedTheirValues) {
  makeCard();
  Ring ring = allocateRing();
  writeRegister(kPlaybackRingBase, static_cast<std::uint32_t>(ring.physical));
  writeRegister(kPlaybackRateCode, 2);
  writeRegister(kPlaybackBitDepth, 16);
  writeRegister(kPlaybackBlockBytes, 512);
  writeRegister(kPlaybackStart, 2);
  EXPECT_FALSE(card->playbackRunning());
  writeRegister(kPlaybackStart, kPlaybackStartValue);
  EXPECT_TRUE(card->playbackRunning());
  writeRegister(kPlaybackStop, 1);
  EXPECT_TRUE(card->playbackRunning());
  writeRegister(kPlaybackStop, kPlaybackStopValue);
  EXPECT_FALSE(card->playbackRunning());
}

TEST_F(Playback, RestartReadsFromTheRingStart) {
  makeCard();
  Ring ring = allocateRing();
  programPlayback(ring.physical, 48000, 16, 1024);
  card->runBlock();
  card->runBlock();
  EXPECT_EQ(readRegister(kPlaybackReadPosition), 2048u);
  stopPlayback();
  programPlayback(ring.physical, 48000, 16, 1024);
  EXPECT_EQ(readRegister(kPlaybackReadPosition), 0u);
}

// What the driver writes once or in passing is kept for its tests to see.
TEST_F(Playback, KeepsConfigurationPowerAndAnnouncedBlocks) {
  makeCard();
  EXPECT_FALSE(card->initialConfigurationWritten());
  for (const ConfigurationWord& word : kInitialConfiguration) {
    // Plain stores: the card does not see them happen.
    std::memcpy(registerBytes() + word.offset, &word.value, sizeof word.value);
  }
  EXPECT_TRUE(card->initialConfigurationWritten());
  EXPECT_EQ(card->registerValue(0x5C0), 0x31010003u);

  Ring ring = allocateRing();
  programPlayback(ring.physical, 48000, 16, 2048);
  EXPECT_EQ(card->auxValue(kAuxPlaybackRingLow), static_cast<std::uint32_t>(ring.physical));
  EXPECT_EQ(card->auxValue(kAuxDmaEnable), kAuxDmaEnableValue);

  writeRegister(kPowerControl, kPowerControlD1);
  EXPECT_EQ(card->powerControl(), kPowerControlD1);
  writeRegister(kPowerControl, kPowerControlD0);
  EXPECT_EQ(card->powerControl(), kPowerControlD0);

  writeRegister(kPlaybackBlockWritten, 2048);
  writeRegister(kPlaybackBlockWritten, 2048);
  EXPECT_EQ(card->counters().blocksAnnounced, 2u);
  EXPECT_EQ(card->counters().bytesAnnounced, 4096u);
}

}  // namespace
}  // namespace card::testing
