// The service tick against recognisable signals: every row of both routing
// tables, the notification unit, and a tick without credit.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "BlockService.h"
#include "CardContext.h"
#include "FakeRegisters.h"
#include "LowLatency.h"

namespace {

// Constant 16-bit signals, chosen so that every sum is recognisable.
constexpr SHORT kInput = 100;
constexpr SHORT kRender = 1000;
constexpr SHORT kClient = 10000;
constexpr SHORT kPreviousSys = 3000;
constexpr SHORT kPreviousMix = 20000;
constexpr SHORT kUntouched = -7;  // what the capture side holds when nothing arrives

constexpr ULONG kBlock = 1024;  // 16 bits, 256 frames
constexpr ULONG kFrames = 256;

void Fill(PUCHAR data, ULONG bytes, SHORT value) {
  for (ULONG i = 0; i + 2 <= bytes; i += 2) std::memcpy(data + i, &value, 2);
}

// The one value a block holds, or a marker when it is not uniform.
LONG Uniform(const UCHAR* data, ULONG bytes) {
  SHORT first;
  std::memcpy(&first, data, 2);
  for (ULONG i = 2; i + 2 <= bytes; i += 2) {
    SHORT next;
    std::memcpy(&next, data + i, 2);
    if (next != first) return 0x7FFFFFFF;
  }
  return first;
}

class ServiceTickTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(&cardContext, 0, sizeof cardContext);
    auto& card = cardContext;
    card.registers = fake.memory.data();
    card.sampleRate = 44100;
    card.bitDepth = 16;
    card.bufferFrames = kFrames;
    card.blockBytes = kBlock;
    card.recordVolume = 100;
    card.duckingSensitivity = 5;
    card.streamBufferSize = kStreamBufferBytes;
    card.hwRingSize = kHardwareRingBytes;
    card.playRing = playRing.data();
    card.captureRing = captureRing.data();
    card.renderBuffer = renderBuffer.data();
    card.captureBuffer = captureBuffer.data();
    card.engineReady = 1;
    ASSERT_TRUE(AllocateCardBlocks());
    ClearInputLevelHistory();
    std::memset(&lowLatency, 0, sizeof lowLatency);
    lowLatency.mappedLength = kFrames * 2;

    Fill(captureRing.data(), kHardwareRingBytes, kInput);
    Fill(renderBuffer.data(), kStreamBufferBytes, kRender);
    Fill(captureBuffer.data(), kStreamBufferBytes, kUntouched);
    card.renderReadOffset = 0;
    card.playFillPos = 2 * kBlock;
    fake.playPosition = 0;
    card.captureReadPos = 0;
    fake.capturePosition = kBlock;  // one block of input is ready
  }
  void TearDown() override {
    FreeCardBlocks();
    std::memset(&cardContext, 0, sizeof cardContext);
  }

  void mapClient() {
    for (int channel = 0; channel < 2; ++channel) {
      for (int half = 0; half < 2; ++half) {
        clientCapture[channel][half].assign(kFrames, kUntouched);
        cardContext.clientCapture[channel][half] =
            reinterpret_cast<PUCHAR>(clientCapture[channel][half].data());
      }
    }
  }

  // One tick as the service DPC runs it: dispatch level, streamLock held.
  static void tick() {
    KIRQL old;
    KeAcquireSpinLock(&cardContext.streamLock, &old);
    ServiceTick();
    KeReleaseSpinLock(&cardContext.streamLock, old);
  }

  LONG tickAndPlayed() {
    const ULONG playedAt = static_cast<ULONG>(cardContext.playFillPos);
    cardContext.interruptCredit = static_cast<LONG>(kBlock);
    tick();
    return Uniform(playRing.data() + playedAt, kBlock);
  }

  FakeRegisters fake;
  std::vector<UCHAR> playRing = std::vector<UCHAR>(kHardwareRingBytes);
  std::vector<UCHAR> captureRing = std::vector<UCHAR>(kHardwareRingBytes);
  std::vector<UCHAR> renderBuffer = std::vector<UCHAR>(kStreamBufferBytes);
  std::vector<UCHAR> captureBuffer = std::vector<UCHAR>(kStreamBufferBytes);
  std::vector<SHORT> clientCapture[2][2];
};

struct RoutingRow {
  bool effects, L, R, C, M, P;
  LONG played;
  LONG captured;  // what the capture stream receives, kUntouched if nothing
  LONG client;    // what the client's capture half receives, kUntouched if nothing
};

std::string Describe(const RoutingRow& row) {
  std::string text = row.effects ? "effects" : "normal";
  for (auto [flag, name] : {std::pair{row.L, " L"}, std::pair{row.R, " R"}, std::pair{row.C, " C"},
                            std::pair{row.M, " M"}, std::pair{row.P, " P"}}) {
    if (flag) text += name;
  }
  return text;
}

const RoutingRow kRows[] = {
    // Normal routing: the playback table, row by row, with the capture side.
    {false, 1, 1, 1, 0, 0, kClient + kRender, kInput, kInput},
    {false, 1, 1, 1, 1, 1, kClient + kRender + kInput, kPreviousMix + kInput,
     kPreviousMix + kInput},
    {false, 1, 0, 1, 0, 1, kClient, kClient + kInput, kClient + kInput},
    {false, 1, 0, 0, 1, 0, kClient + kInput, kUntouched, kInput},
    {false, 0, 1, 1, 0, 1, kRender, kPreviousSys + kInput, kUntouched},
    {false, 0, 1, 0, 1, 0, kRender + kInput, kUntouched, kUntouched},
    {false, 0, 0, 1, 0, 0, 0, kInput, kUntouched},
    {false, 0, 0, 0, 1, 1, kInput, kUntouched, kUntouched},
    // Effects routing: the client's output is what the recording receives.
    {true, 1, 1, 1, 0, 1, kRender, kClient + kRender, kInput},
    {true, 1, 1, 1, 1, 0, kClient + kRender, kClient, kInput},
    {true, 1, 1, 1, 0, 0, kRender, kClient, kInput},
    {true, 1, 0, 1, 1, 0, kClient, kClient, kInput},
    {true, 1, 0, 1, 0, 1, 0, kClient, kInput},
    {true, 1, 1, 0, 1, 1, kClient + kRender, kUntouched, kInput},
    {true, 1, 0, 0, 1, 0, kClient, kUntouched, kInput},
    {true, 1, 1, 0, 0, 1, kRender, kUntouched, kInput},
    {true, 1, 0, 0, 0, 0, 0, kUntouched, kInput},
    {true, 0, 1, 1, 1, 1, kInput + kRender, kPreviousSys + kInput, kUntouched},
    {true, 0, 1, 1, 0, 0, kRender, kInput, kUntouched},
    {true, 0, 0, 1, 1, 1, kInput, kInput, kUntouched},
    {true, 0, 0, 0, 0, 0, 0, kUntouched, kUntouched},
};

TEST_F(ServiceTickTest, EveryRoutingRowPlaysAndRecordsWhatItsTableSays) {
  for (const auto& row : kRows) {
    SCOPED_TRACE(Describe(row));
    TearDown();  // a fresh card for each row
    SetUp();
    mapClient();
    auto& card = cardContext;
    card.routingMode = row.effects ? 1 : 0;
    card.llRunning = row.L;
    card.renderRunning = row.R;
    card.captureRunning = row.C;
    card.monitorEnabled = row.M;
    card.loopbackEnabled = row.P;
    Fill(card.llPlayBlock[0].data, kBlock, kClient);
    Fill(card.sysBlock.data, kBlock, kPreviousSys);
    Fill(card.mixBlock.data, kBlock, kPreviousMix);

    EXPECT_EQ(tickAndPlayed(), row.played) << "played";
    EXPECT_EQ(Uniform(captureBuffer.data(), kBlock), row.captured) << "capture stream";
    EXPECT_EQ(Uniform(reinterpret_cast<const UCHAR*>(clientCapture[0][0].data()), kFrames * 2),
              row.client)
        << "client, left";
    EXPECT_EQ(Uniform(reinterpret_cast<const UCHAR*>(clientCapture[1][0].data()), kFrames * 2),
              row.client)
        << "client, right";
    EXPECT_EQ(card.capturePosition, row.captured == kUntouched ? 0u : kBlock);
    EXPECT_EQ(card.interruptCredit, 0);
  }
}

TEST_F(ServiceTickTest, WithoutCreditTheTickDoesNothing) {
  auto& card = cardContext;
  card.renderRunning = card.captureRunning = card.llRunning = 1;
  card.renderPrimed = 1;
  card.interruptCredit = static_cast<LONG>(kBlock) - 1;
  const auto before = fake.writes.size();
  tick();
  EXPECT_EQ(fake.writes.size(), before) << "nothing played";
  EXPECT_EQ(card.renderPosition, 0u);
  EXPECT_EQ(card.capturePosition, 0u);
  EXPECT_EQ(card.interruptCredit, static_cast<LONG>(kBlock) - 1);
}

TEST_F(ServiceTickTest, NotificationsComeEveryTenMillisecondsOfAudio) {
  auto& card = cardContext;
  card.renderRunning = 1;
  card.captureRunning = 1;
  // 1024-byte ticks against a 1764-byte unit: 7 ticks are 4 units.
  for (int i = 0; i < 7; ++i) {
    fake.capturePosition = (card.captureReadPos + kBlock) % kHardwareRingBytes;
    tickAndPlayed();
  }
  EXPECT_EQ(card.capturePosition, 7 * kBlock);
  EXPECT_EQ(card.captureNotifyBytes, 7 * kBlock - 4 * 1764);
  EXPECT_EQ(card.renderPosition, 6 * kBlock) << "the first render block only primes";
  EXPECT_EQ(card.renderNotifyBytes, 6 * kBlock - 3 * 1764);
}

TEST_F(ServiceTickTest, AnInputUnderrunRecordsSilenceAndResynchronises) {
  auto& card = cardContext;
  card.captureRunning = 1;
  fake.capturePosition = 0;  // nothing ready
  tickAndPlayed();
  EXPECT_EQ(Uniform(captureBuffer.data(), kBlock), 0);
  EXPECT_EQ(card.captureReadPos, static_cast<LONG>(kHardwareRingBytes - kBlock));
}

}  // namespace
