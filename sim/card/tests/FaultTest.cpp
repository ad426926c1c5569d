#include <atomic>
#include <chrono>
#include <thread>

#include "CardBench.h"
#include "card/CardRegisters.h"
#include "kernel/host/Clock.h"

namespace card::testing {
namespace {

using kernel::Clock;
using Faults = CardBench;

TEST_F(Faults, LostInterruptsLeaveDmaRunning) {
  makeCard();
  Ring play = allocateRing();
  Ring record = allocateRing();
  programPlayback(play.physical, 48000, 16, 1024);
  programCapture(record.physical, 48000, 16, 1024);
  card->loseInterrupts(2);
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(Clock::instance().advanceToNextEvent());

  // The third block's interrupt is the first raised; the positions show
  // that all three blocks moved, and the status bit stayed set meanwhile.
  ASSERT_EQ(serviced.size(), 2u);
  EXPECT_EQ(serviced[0].status, kStatusBlock);
  EXPECT_EQ(serviced[0].playbackPosition, 3u * 1024);
  EXPECT_EQ(serviced[0].capturePosition, 3u * 1024);
  EXPECT_EQ(serviced[1].playbackPosition, 4u * 1024);
  EXPECT_EQ(card->counters().lostInterrupts, 2u);
  EXPECT_EQ(card->counters().interrupts, 2u);
}

TEST_F(Faults, SpuriousInterruptMovesNoBlock) {
  makeCard();
  Ring play = allocateRing();
  programPlayback(play.physical, 48000, 16, 1024);
  card->raiseSpuriousInterrupt();
  card->raiseSpuriousInterrupt(kStatusBit7 | kStatusBit4);
  ASSERT_EQ(serviced.size(), 2u);
  EXPECT_EQ(serviced[0].status, 0u);
  EXPECT_EQ(serviced[1].status, kStatusBit7 | kStatusBit4);
  EXPECT_EQ(serviced[1].playbackPosition, 0u);
  EXPECT_EQ(card->counters().blocksPlayed, 0u);
  EXPECT_EQ(readRegister(kInterruptStatus), 0u) << "the service acknowledged both bits";
}

// With no service connected the bits stay until each is acknowledged by its
// own register.
TEST_F(Faults, EachAcknowledgeClearsOnlyItsBit) {
  makeCard();
  kernel::Bus::instance().disconnectInterrupt(card->interruptLine());
  const std::vector<std::pair<std::uint32_t, std::uint32_t>> acknowledges = {
      {kAcknowledgeBit7, kStatusBit7},
      {kAcknowledgeBlock, kStatusBlock},
      {kAcknowledgeBit5, kStatusBit5},
      {kAcknowledgeBit4, kStatusBit4},
  };
  for (const auto& [reg, bit] : acknowledges) {
    card->raiseSpuriousInterrupt(kStatusMask);
    writeRegister(reg, 0);
    EXPECT_EQ(readRegister(kInterruptStatus), kStatusMask) << std::hex << reg;
    writeRegister(reg, kAcknowledgeValue);
    EXPECT_EQ(readRegister(kInterruptStatus), kStatusMask & ~bit) << std::hex << reg;
  }
}

// Real time: the clock's thread runs block periods and the interrupt service
// while this thread reprograms the card, rings the mailbox and reads its
// positions, as driver threads do. Run under ThreadSanitizer this shows the
// card's locking; anywhere it shows that stopping never deadlocks against a
// running period.
TEST_F(Faults, RealTimeTrafficFromSeveralThreads) {
  Clock::instance().setMode(Clock::Mode::Real);
  makeCard(inputFrom(SineInput{1000, -6}, temp.file("out.wav")));
  Ring play = allocateRing();
  Ring record = allocateRing();
  std::atomic<int> interrupts{0};
  afterService = [&] { interrupts.fetch_add(1); };
  // Each register is read from one thread only, as in the driver: the
  // kernel loads window memory with plain reads, so two threads reading one
  // register would race on the word the card refreshes.
  serviceReadsPositions = false;

  for (int round = 0; round < 4; ++round) {
    programPlayback(play.physical, 96000, 16, 512);
    programCapture(record.physical, 96000, 16, 512);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(40);
    while (std::chrono::steady_clock::now() < until) {
      const std::uint32_t position = readRegister(kPlaybackReadPosition);
      EXPECT_EQ(position % 512, 0u);
      EXPECT_LT(readRegister(kCaptureWritePosition), kRingBytes);
      writeMixer({0, 0, 0, 0, static_cast<std::uint8_t>(50 + round), 0, 0, 0});
      sendPacket(makeReadRequest(kMixerRecord));
      EXPECT_EQ(reply()[kPacketData + kMixerMasterByte], 50 + round);
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    stopPlayback();
    stopCapture();
  }
  EXPECT_FALSE(card->timerPeriod());
  const int seen = interrupts.load();
  EXPECT_GT(seen, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(interrupts.load(), seen) << "interrupts after both channels stopped";
  TearDown();
  Clock::instance().setMode(Clock::Mode::Virtual);
}

// The interrupt service restarts capture on the clock's thread while this
// thread keeps starting playback and stopping both channels, which waits in
// Clock::stop for the running period: neither may wait for the other, and
// once the traffic ends the timer runs exactly when a channel does. (Only
// the service writes the capture start register: two threads writing one
// register would race in the kernel's plain store to window memory.)
TEST_F(Faults, ServiceStartsWhileAnotherThreadStops) {
  Clock::instance().setMode(Clock::Mode::Real);
  makeCard();
  Ring play = allocateRing();
  Ring record = allocateRing();
  serviceReadsPositions = false;
  std::atomic<bool> restarting{true};
  std::atomic<int> interruptsSeen{0};
  afterService = [&] {
    interruptsSeen.fetch_add(1);
    // Lingering widens the window in which this thread stops the timer.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (restarting.load()) writeRegister(kCaptureStart, kCaptureStartValue);
  };
  programCapture(record.physical, 96000, 16, 512);
  for (int round = 0; round < 30; ++round) {
    // Another period than capture's, so that every start and stop re-arms.
    programPlayback(play.physical, 48000, 16, 512);  // 128 frames: 2.67 ms
    // Stops land at varying points of a period, often inside a running one.
    std::this_thread::sleep_for(std::chrono::microseconds(3000 + 700 * (round % 4)));
    stopPlayback();
    stopCapture();
  }
  restarting.store(false);
  EXPECT_GE(interruptsSeen.load(), 15) << "the service hardly ran";
  // Waits for a service still running, so nothing restarts capture after this.
  kernel::Bus::instance().disconnectInterrupt(card->interruptLine());
  EXPECT_EQ(card->timerPeriod().has_value(), card->captureRunning());
  stopPlayback();
  stopCapture();
  EXPECT_FALSE(card->timerPeriod());
  TearDown();
  Clock::instance().setMode(Clock::Mode::Virtual);
}

}  // namespace
}  // namespace card::testing
