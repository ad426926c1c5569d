#include "CardBench.h"
#include "card/CardRegisters.h"
#include "kernel/host/Clock.h"

namespace card::testing {
namespace {

using kernel::Clock;
using kernel::Ticks;
using BlockTimer = CardBench;

// Moves virtual time through `blocks` block periods; returns the time taken.
Ticks runPeriods(int blocks) {
  auto& clock = Clock::instance();
  const Ticks start = clock.now();
  for (int i = 0; i < blocks; ++i) {
    if (!clock.advanceToNextEvent()) return -1;
  }
  return clock.now() - start;
}

struct TimingCase {
  const char* name;
  unsigned rate;
  int bits;
  std::uint32_t blockBytes;
  std::int32_t driftPpm;
  int blocks;
  Ticks elapsed;  // blocks × frames / (rate × (1 + ppm/10^6)), rounded down
};

// Periods keep exact time over long runs, with and without a drifting crystal.
TEST_F(BlockTimer, KeepsExactTimeOverManyBlocks) {
  const std::vector<TimingCase> cases = {
      {"44.1k 128 frames", 44100, 16, 512, 0, 1000, 29024943},
      {"96k 512 frames", 96000, 24, 3072, 0, 375, 20000000},
      {"48k fast by 100 ppm", 48000, 16, 2048, 100, 10000, 1066560010},
      {"48k slow by 100 ppm", 48000, 16, 2048, -100, 10000, 1066773344},
  };
  for (const TimingCase& c : cases) {
    makeCard();
    card->setClockDrift(c.driftPpm);
    Ring ring = allocateRing();
    programPlayback(ring.physical, c.rate, c.bits, c.blockBytes);
    EXPECT_EQ(runPeriods(c.blocks), c.elapsed) << c.name;
    EXPECT_EQ(card->counters().blocksPlayed, static_cast<std::uint64_t>(c.blocks)) << c.name;
    EXPECT_EQ(serviced.size(), static_cast<std::size_t>(c.blocks)) << c.name;
    TearDown();
    serviced.clear();
  }
}

TEST_F(BlockTimer, PlaybackPacesWhileItRunsCaptureOtherwise) {
  makeCard();
  Ring play = allocateRing();
  Ring record = allocateRing();
  EXPECT_FALSE(card->timerPeriod());

  programCapture(record.physical, 96000, 16, 512);  // 128 frames: 4/3 ms
  EXPECT_EQ(card->timerPeriod(), (BlockPeriod{40000, 3}));
  programPlayback(play.physical, 48000, 24, 3072);  // 512 frames: 32/3 ms
  EXPECT_EQ(card->timerPeriod(), (BlockPeriod{320000, 3}));
  EXPECT_EQ(runPeriods(3), 320000);
  // Capture moves one of its blocks per playback period.
  EXPECT_EQ(card->capturePosition(), 3u * 512);

  stopPlayback();
  EXPECT_EQ(card->timerPeriod(), (BlockPeriod{40000, 3}));
  stopCapture();
  EXPECT_FALSE(card->timerPeriod());
  EXPECT_EQ(Clock::instance().nextEvent(), -1);
  EXPECT_FALSE(Clock::instance().advanceToNextEvent());
}

TEST_F(BlockTimer, DriftChangedWhileRunningTakesEffect) {
  makeCard();
  Ring ring = allocateRing();
  programPlayback(ring.physical, 48000, 16, 2048);
  EXPECT_EQ(runPeriods(3), 320000);
  card->setClockDrift(1'000'000);  // twice as fast
  EXPECT_EQ(runPeriods(3), 160000);
  EXPECT_THROW(card->setClockDrift(-1'000'000), std::invalid_argument);
}

// The service may stop the channel from inside the interrupt, on the
// thread that runs the block period; the timer must stop without waiting
// on itself.
TEST_F(BlockTimer, StopsWhenTheServiceStopsTheLastChannel) {
  makeCard();
  Ring ring = allocateRing();
  afterService = [this] {
    if (serviced.size() == 3) stopPlayback();
  };
  programPlayback(ring.physical, 48000, 16, 2048);
  EXPECT_EQ(runPeriods(3), 320000);
  EXPECT_FALSE(card->playbackRunning());
  EXPECT_FALSE(card->timerPeriod());
  EXPECT_FALSE(Clock::instance().advanceToNextEvent());
  EXPECT_EQ(card->counters().blocksPlayed, 3u);
}

TEST_F(BlockTimer, StopsWithTheCard) {
  makeCard();
  Ring ring = allocateRing();
  programPlayback(ring.physical, 48000, 16, 2048);
  EXPECT_NE(Clock::instance().nextEvent(), -1);
  TearDown();
  EXPECT_EQ(Clock::instance().nextEvent(), -1);
}

}  // namespace
}  // namespace card::testing
