// The ring arithmetic and the controller mailbox, against a register window
// whose positions the test sets, and the playback start on the real card.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "CardCommon.h"
#include "CardContext.h"
#include "Controller.h"
#include "MachineTest.h"
#include "Rings.h"
#include "ScratchDir.h"
#include "card/wav/WavReader.h"
#include "kernel/host/Bus.h"
#include "kernel/host/KernelHost.h"
#include "FakeRegisters.h"

namespace {

class Rings : public ::testing::Test {
 protected:
  void SetUp() override {
    ring.assign(kHardwareRingBytes, 0);
    std::memset(&cardContext, 0, sizeof cardContext);
    auto& card = cardContext;
    card.registers = fake.memory.data();
    card.blockBytes = 1024;
    card.bitDepth = 16;
    card.recordVolume = 100;
    card.hwRingSize = kHardwareRingBytes;
    card.playRing = ring.data();
    card.captureRing = ring.data();
    card.inBlock = {inBlock, 1024};
    kernel::KernelHost::clearDebugLines();
  }
  void TearDown() override { std::memset(&cardContext, 0, sizeof cardContext); }

  FakeRegisters fake;
  std::vector<UCHAR> ring;
  UCHAR inBlock[kMaxBlockBytes] = {};
  UCHAR block[1024];
};

TEST_F(Rings, WritePlayBlockKeepsTheWriterTwoToThreeBlocksAhead) {
  struct Case {
    const char* name;
    LONG fill;
    std::uint32_t hardware;
    LONG writtenAt;
    bool repaired;
  } cases[] = {
      {"one block ahead across the wrap", 0, 0x17C00, 0, false},
      {"exactly four blocks ahead", 0x1000, 0, 0x1000, false},
      {"too far ahead", 0x1800, 0x17C00, 0x800, true},
      {"too far ahead, the repair wraps to 0", 0x1800, 0x17400, 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    kernel::KernelHost::clearDebugLines();
    fake.writes.clear();
    cardContext.playFillPos = c.fill;
    fake.playPosition = c.hardware;
    std::memset(block, 0x5A, sizeof block);
    std::fill(ring.begin(), ring.end(), 0);
    WritePlayBlock(block, 1024);
    EXPECT_EQ(ring[c.writtenAt], 0x5A);
    EXPECT_EQ(ring[c.writtenAt + 1023], 0x5A);
    EXPECT_EQ(cardContext.playFillPos, (c.writtenAt + 1024) % 0x18000);
    EXPECT_EQ(cardContext.playHwPos, static_cast<LONG>(c.hardware));
    ASSERT_EQ(fake.writes.size(), 1u);
    EXPECT_EQ(fake.writes[0], (std::pair<std::uint32_t, std::uint32_t>{0x180, 1024}));
    const auto lines = kernel::KernelHost::debugLines();
    if (c.repaired) {
      ASSERT_EQ(lines.size(), 2u);
      EXPECT_EQ(lines[0], "fix play fill pos > ts*5\n");
      EXPECT_EQ(lines[1], "ppos:" + std::to_string(c.hardware) + ", fpos:" +
                              std::to_string(c.fill) + "\n");
    } else {
      EXPECT_TRUE(lines.empty());
    }
  }
}

TEST_F(Rings, WritePlayBlockWithoutASourceDoesNothing) {
  WritePlayBlock(nullptr, 1024);
  EXPECT_TRUE(fake.writes.empty());
}

TEST_F(Rings, CaptureReaderResynchronisesToOneBlockBehindTheCard) {
  struct Case {
    const char* name;
    LONG read;
    std::uint32_t hardware;
    LONG available;
    LONG readAfter;
  } cases[] = {
      {"one block ready", 0x400, 0x800, 0x400, 0x400},
      {"nothing ready", 0x800, 0x800, 0, 0x400},
      {"nothing ready at the ring's start", 0, 0, 0, 0x17C00},
      {"five blocks ready", 0x400, 0x1800, 0x1400, 0x1400},
      {"a hardware position off the block grid", 0x800, 0x900, 0x100, 0x400},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    cardContext.captureReadPos = c.read;
    fake.capturePosition = c.hardware;
    EXPECT_EQ(CaptureAvailable(), c.available);
    EXPECT_EQ(cardContext.captureReadPos, c.readAfter);
  }
}

TEST_F(Rings, ReadCaptureBlockAppliesTheGainAndAdvances) {
  cardContext.recordVolume = 250;
  cardContext.captureReadPos = 0x400;
  fake.capturePosition = 0x800;
  const SHORT samples[2] = {20000, -20000};
  std::memcpy(ring.data() + 0x400, samples, sizeof samples);
  ReadCaptureBlock();
  SHORT gained[2];
  std::memcpy(gained, inBlock, sizeof gained);
  EXPECT_EQ(gained[0], 32767);
  EXPECT_EQ(gained[1], -32767);
  EXPECT_EQ(cardContext.captureReadPos, 0x800);
}

TEST(Controller, ChecksumIsTheInvertedSum) {
  const UCHAR read20[10] = {0x41, 0x20};
  EXPECT_EQ(PacketChecksum(read20), 0x9E);
  const UCHAR write20[10] = {0x60, 0x02, 0, 0, 0, 0x8A, 0x01, 0, 0};
  EXPECT_EQ(PacketChecksum(write20), 0x12);
}

using Mailbox = MachineTest;

TEST_F(Mailbox, MixerRecordWritesReachTheCardAndTheCache) {
  ASSERT_EQ(machine->boot(), STATUS_SUCCESS);
  WriteMixerRecord(0x00000002, 0x0000018A);
  EXPECT_EQ(cardContext.mixerRecord[0], 0x00000002u);
  EXPECT_EQ(cardContext.mixerRecord[1], 0x0000018Au);
  const auto record = machine->card()->record(0x20);
  const std::uint8_t expected[8] = {0x02, 0, 0, 0, 0x8A, 0x01, 0, 0};
  EXPECT_EQ(std::memcmp(record.data(), expected, 8), 0);

  // A packet of another record leaves the cache alone.
  UCHAR other[10] = {0x47, 1, 2, 3, 4, 5, 6, 7, 8};  // record 7
  other[9] = PacketChecksum(other);
  SendControllerPacket(other, 10);
  EXPECT_EQ(cardContext.mixerRecord[1], 0x0000018Au);

  UCHAR read[10] = {0x41, 0x05};
  read[9] = PacketChecksum(read);
  SendControllerPacket(read, 10);
  UCHAR reply[10];
  ReadControllerReply(reply);
  EXPECT_EQ(std::memcmp(reply + 1, "VYT0A1", 6), 0) << "record 5: the card id's first half";
}

class PlaybackStart : public MachineTest {
 protected:
  machine::MachineOptions options() override {
    output = scratch.file("out.wav");
    machine::MachineOptions machineOptions;
    machineOptions.card.outputPath = output;
    return machineOptions;
  }
  machine::testing::ScratchDir scratch;
  std::string output;
};

TEST_F(PlaybackStart, FirstTwoBlocksAfterRestartAreSilence) {
  ASSERT_EQ(machine->boot(), STATUS_SUCCESS);
  std::memset(cardContext.playRing, 0x11, kHardwareRingBytes);  // stale ring contents
  StartEngine();                                                  // RestartDma
  std::vector<UCHAR> marked(cardContext.blockBytes, 0x22);
  WritePlayBlock(marked.data(), cardContext.blockBytes);
  runBlocks(3);
  machine->unload();

  wav::WavReader reader(output);
  std::vector<std::int32_t> samples(3 * 512);
  ASSERT_EQ(reader.readFrames(samples, 16), 3u * 256u);
  for (std::size_t i = 0; i < 2 * 512; ++i) ASSERT_EQ(samples[i], 0) << "sample " << i;
  EXPECT_EQ(samples[2 * 512], 0x2222);
  std::remove(output.c_str());
}

}  // namespace
