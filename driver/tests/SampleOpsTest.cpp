// Saturating mix, record gain and ducking, at both sample widths.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "BlockService.h"
#include "CardContext.h"
#include "SampleCodec.h"

namespace {

class SampleOps : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(&cardContext, 0, sizeof cardContext);
    cardContext.recordVolume = 100;
    cardContext.duckingSensitivity = 5;
    ClearInputLevelHistory();
  }
  void useFormat(ULONG bits, ULONG frames) {
    cardContext.bitDepth = bits;
    cardContext.bufferFrames = frames;
    cardContext.blockBytes = BlockBytesFor(bits, frames);
    for (auto* storage : {&a, &b, &out}) storage->assign(cardContext.blockBytes, 0);
  }
  AudioBlock block(std::vector<UCHAR>& storage) {
    return {storage.data(), static_cast<ULONG>(storage.size())};
  }
  static void put16(std::vector<UCHAR>& data, size_t index, SHORT value) {
    std::memcpy(data.data() + 2 * index, &value, 2);
  }
  static SHORT get16(const std::vector<UCHAR>& data, size_t index) {
    SHORT value;
    std::memcpy(&value, data.data() + 2 * index, 2);
    return value;
  }
  static void put24(std::vector<UCHAR>& data, size_t index, LONG value) {
    for (int i = 0; i < 3; ++i) data[3 * index + i] = static_cast<UCHAR>(value >> (8 * i));
  }
  static LONG get24(const std::vector<UCHAR>& data, size_t index) {
    const LONG raw = data[3 * index] | data[3 * index + 1] << 8 | data[3 * index + 2] << 16;
    return (raw ^ 0x800000) - 0x800000;
  }
  std::vector<UCHAR> a, b, out;
};

// The reciprocal stands in for the division: it must give the truncated
// quotient for every sample and every percentage it is used with.
TEST(SampleMath, PercentEqualsTheTruncatedQuotient) {
  std::vector<LONG> percents;
  for (LONG p = 1; p <= 256; ++p) percents.push_back(p);
  percents.push_back(codec::Pcm16::kMaxPercent);
  for (LONG percent : percents) {
    const LONGLONG factor = codec::PercentFactor(percent);
    const LONG widest = percent <= codec::Pcm24::kMaxPercent ? 0x800000 : 0x8000;
    for (LONG s = -widest; s < widest; s += s > -40000 && s < 40000 ? 1 : 97) {
      ASSERT_EQ(codec::Percent(s, factor), s * static_cast<LONGLONG>(percent) / 100)
          << s << " x " << percent;
    }
    for (LONG s : {-widest, widest - 1}) {
      ASSERT_EQ(codec::Percent(s, factor), s * static_cast<LONGLONG>(percent) / 100) << s;
    }
  }
}

TEST(SampleMath, ClampMatchesBothEnds) {
  for (LONG limit : {32700L, 32767L, 8388607L}) {
    for (LONG s = -2 * limit - 2; s <= 2 * limit + 2; s += limit > 40000 ? 13 : 1) {
      ASSERT_EQ(codec::Clamp(s, limit), s > limit ? limit : s < -limit ? -limit : s) << s;
    }
  }
}

// Each place in a packed group, written in order and read back, with its
// neighbours intact and nothing written past the group.
TEST(SampleMath, PackedGroupsKeepEverySample) {
  const LONG values[] = {-0x800000, 0x7FFFFF, -1, 0x123456, 0, -0x654321, 1, 0x7FFFFE, 0x10};
  constexpr int n = codec::kGroupSamples;
  for (size_t shift = 0; shift < 9; ++shift) {
    UCHAR group[codec::Pcm24::kGroupBytes + 1];
    group[codec::Pcm24::kGroupBytes] = 0xEE;
    for (int k = 0; k < n; ++k) codec::Pcm24::Put(group, k, values[(shift + k) % 9]);
    for (int k = 0; k < n; ++k) EXPECT_EQ(codec::Pcm24::Get(group, k), values[(shift + k) % 9]);
    EXPECT_EQ(group[codec::Pcm24::kGroupBytes], 0xEE);
  }
}

TEST_F(SampleOps, MixSaturatesAtEachWidth) {
  useFormat(16, 128);
  const SHORT cases16[][3] = {{30000, 10000, 32700}, {-30000, -10000, -32700}, {100, -50, 50}};
  for (size_t i = 0; i < 3; ++i) {
    put16(a, i, cases16[i][0]);
    put16(b, i, cases16[i][1]);
  }
  auto outBlock = block(out);
  Mix(outBlock, block(a), block(b));
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(get16(out, i), cases16[i][2]) << i;

  useFormat(24, 128);
  const LONG cases24[][3] = {{0x7FFFFF, 1, 0x7FFFFF},
                             {0x400000, 0x400000, 0x7FFFFF},
                             {-0x7FFFFF, -1, -0x7FFFFF},
                             {-0x800000, -0x800000, -0x7FFFFF},
                             {0x123456, -0x23456, 0x100000}};
  for (size_t i = 0; i < 5; ++i) {
    put24(a, i, cases24[i][0]);
    put24(b, i, cases24[i][1]);
  }
  outBlock = block(out);
  Mix(outBlock, block(a), block(b));
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(get24(out, i), cases24[i][2]) << i;
}

TEST_F(SampleOps, RecordGainLimitsAndNeverOverflows) {
  useFormat(16, 128);
  cardContext.recordVolume = 250;
  put16(a, 0, 20000);
  put16(a, 1, -20000);
  put16(a, 2, 1000);
  auto gained = block(a);
  ApplyRecordGain(gained);
  EXPECT_EQ(get16(a, 0), 32767);
  EXPECT_EQ(get16(a, 1), -32767);
  EXPECT_EQ(get16(a, 2), 2500);

  // 24-bit samples with a volume far out of range: limited, not wrapped.
  useFormat(24, 128);
  cardContext.recordVolume = 300000;
  put24(a, 0, 0x7FFFFF);
  put24(a, 1, -0x7FFFFF);
  put24(a, 2, 3);
  gained = block(a);
  ApplyRecordGain(gained);
  EXPECT_EQ(get24(a, 0), 0x7FFFFF);
  EXPECT_EQ(get24(a, 1), -0x7FFFFF);
  EXPECT_EQ(get24(a, 2), 9000);
}

TEST_F(SampleOps, DuckingSilencesPlaybackAndReleasesItOverTheHistory) {
  useFormat(16, 256);
  cardContext.duckingEnabled = 1;
  for (size_t i = 0; i < 512; i += 2) put16(a, i, 3277);  // left channel at 10 %
  std::vector<UCHAR> silence(cardContext.blockBytes, 0);
  auto playFull = [&] {
    for (size_t i = 0; i < 512; ++i) put16(b, i, 10000);
    auto ducked = block(b);
    DuckBlock(ducked);
    return get16(b, 0);
  };
  for (int i = 0; i < 128; ++i) MeasureInputLevel(block(a));
  EXPECT_EQ(playFull(), 0) << "level 200 over the whole history: silent";
  int steps = 0;
  SHORT previous = 0;
  for (int i = 0; i < 128; ++i) {
    MeasureInputLevel(block(silence));
    const SHORT now = playFull();
    EXPECT_GE(now, previous);
    steps += now != previous;
    previous = now;
  }
  EXPECT_EQ(previous, 10000) << "back to full after 128 silent blocks";
  EXPECT_GT(steps, 1) << "it returns step by step";
}

TEST_F(SampleOps, NegativeSensitivityNeverAmplifies) {
  useFormat(24, 128);
  cardContext.duckingEnabled = 1;
  cardContext.duckingSensitivity = -1;
  for (size_t i = 0; i < 256; i += 2) put24(a, i, 0x400000);
  for (int i = 0; i < 128; ++i) MeasureInputLevel(block(a));
  put24(b, 0, 0x7FFFFF);
  put24(b, 1, -0x7FFFFF);
  auto ducked = block(b);
  DuckBlock(ducked);
  EXPECT_EQ(get24(b, 0), 0x7FFFFF);
  EXPECT_EQ(get24(b, 1), -0x7FFFFF);
}

// The tick's fused passes against the same arithmetic written plainly, sample
// by sample, on full-range noise: both widths, every switch combination, the
// record gain and a partial duck. In-place and packed stores are where a
// fused pass goes wrong, and uniform signals would not show it.
TEST_F(SampleOps, FusedPassesMatchThePlainArithmetic) {
  struct Case {
    ULONG bits;
    bool loopback, monitor;
  };
  const Case cases[] = {{16, true, true},  {16, true, false}, {16, false, true},
                        {16, false, false}, {24, true, true},  {24, false, true},
                        {24, true, false},  {24, false, false}};
  std::mt19937 random(7);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << " bits, loopback " << c.loopback << ", monitor "
                                    << c.monitor);
    useFormat(c.bits, 512);
    ASSERT_TRUE(AllocateCardBlocks());
    auto& card = cardContext;
    const bool wide = c.bits == 24;
    const ULONG samples = card.blockBytes / (wide ? 3 : 2);
    const LONG top = wide ? 0x800000 : 0x8000;
    const ULONG width = wide ? 3 : 2;
    auto get = [&](const UCHAR* data, ULONG i) {
      LONG value = 0;
      for (ULONG n = 0; n < width; ++n) value |= data[i * width + n] << (8 * n);
      const LONG sign = 1 << (8 * width - 1);
      return (value ^ sign) - sign;
    };
    auto put = [&](PUCHAR data, ULONG i, LONG value) {
      for (ULONG n = 0; n < width; ++n) data[i * width + n] = static_cast<UCHAR>(value >> (8 * n));
    };
    auto noise = [&](PUCHAR data) {
      for (ULONG i = 0; i < samples; ++i) {
        put(data, i, static_cast<LONG>(random() % (2 * top)) - top);
      }
    };

    // A duck part of the way down: input at a moderate level, sensitivity 200.
    card.duckingEnabled = 1;
    card.duckingSensitivity = 200;
    ClearInputLevelHistory();
    std::vector<UCHAR> level(card.blockBytes);
    for (ULONG i = 0; i < samples; ++i) put(level.data(), i, top / 3);
    for (int i = 0; i < 40; ++i) MeasureInputLevel(block(level));
    std::vector<UCHAR> probe(card.blockBytes);
    for (ULONG i = 0; i < samples; ++i) put(probe.data(), i, 10000);
    auto probed = block(probe);
    DuckBlock(probed);
    const LONG duck = get(probe.data(), 0) / 100;
    ASSERT_GT(duck, 0);
    ASSERT_LT(duck, 100);

    std::vector<UCHAR> render(card.blockBytes);
    noise(render.data());
    noise(card.inBlock.data);
    noise(card.mixBlock.data);
    noise(card.llPlayBlock[0].data);
    const std::vector<UCHAR> in(card.inBlock.data, card.inBlock.data + card.blockBytes);
    const std::vector<UCHAR> previous(card.mixBlock.data, card.mixBlock.data + card.blockBytes);
    const std::vector<UCHAR> llp(card.llPlayBlock[0].data,
                                 card.llPlayBlock[0].data + card.blockBytes);

    NormalClientRenderBlocks(render.data(), card.llPlayBlock[0], c.loopback, c.monitor);

    const LONG limit = wide ? 0x7FFFFF : 32700;
    auto clamp = [&](LONG v) { return v > limit ? limit : v < -limit ? -limit : v; };
    for (ULONG i = 0; i < samples; ++i) {
      const LONG input = get(in.data(), i);
      const LONG sys = static_cast<LONG>(static_cast<LONGLONG>(get(render.data(), i)) * duck / 100);
      const LONG mix = clamp(get(llp.data(), i) + sys);
      ASSERT_EQ(get(card.sysBlock.data, i), sys) << "SYS " << i;
      ASSERT_EQ(get(card.mixBlock.data, i), mix) << "MIX " << i;
      if (c.loopback) {
        const LONG rec = clamp(get(previous.data(), i) + input);
        ASSERT_EQ(get(card.recBlock.data, i), rec) << "REC " << i;
      }
      if (c.monitor) {
        ASSERT_EQ(get(card.outBlock.data, i), clamp(mix + input)) << "OUT " << i;
      }
    }

    // The effects routing's pass: SYS = ducked render, REC = LLP + SYS.
    ClientRenderMixBlocks(render.data(), card.llPlayBlock[0]);
    for (ULONG i = 0; i < samples; ++i) {
      const LONG sys = static_cast<LONG>(static_cast<LONGLONG>(get(render.data(), i)) * duck / 100);
      ASSERT_EQ(get(card.recBlock.data, i), clamp(get(llp.data(), i) + sys)) << "REC " << i;
    }

    // The record gain over the same noise, saturating at full scale.
    card.recordVolume = 173;
    CopyGained(card.outBlock, render.data());
    const LONG max = wide ? 0x7FFFFF : 32767;
    for (ULONG i = 0; i < samples; ++i) {
      const LONGLONG gained = static_cast<LONGLONG>(get(render.data(), i)) * 173 / 100;
      ASSERT_EQ(get(card.outBlock.data, i), gained > max ? max : gained < -max ? -max : gained)
          << "gain " << i;
    }
    card.recordVolume = 100;
    FreeCardBlocks();
  }
}

}  // namespace
