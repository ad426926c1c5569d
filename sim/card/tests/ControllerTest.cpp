#include <cstring>

#include "CardBench.h"
#include "card/CardRegisters.h"

namespace card::testing {
namespace {

using Controller = CardBench;

constexpr ControllerPacket kReadMixer = {0x41, 0x20, 0, 0, 0, 0, 0, 0, 0, 0x9E};

TEST_F(Controller, AnswersAReadOfTheMixerRecordAtTheReply) {
  makeCard();
  sendPacket(kReadMixer);
  // Power-on mixer record: level 99, nothing muted.
  EXPECT_EQ(reply(), (ControllerPacket{0x60, 0, 0, 0, 0, 0x63, 0, 0, 0, 0x3C}));
  // The driver fetches the record as two words at unaligned offsets.
  EXPECT_EQ(readRegister(kMailboxReply + 1), 0u);
  EXPECT_EQ(readRegister(kMailboxReply + 5), 0x63u);
  EXPECT_EQ(card->counters().packetsAnswered, 1u);
}

TEST_F(Controller, StoresAWrittenRecordAndAnswersWithIt) {
  makeCard();
  const ControllerRecord mixer = {0x15, 0, 0, 0, 0x80 | 40, 0x80, 0xAB, 0xCD};
  sendPacket(ControllerPacket{0x60, 0x15, 0, 0, 0, 0xA8, 0x80, 0xAB, 0xCD, 0xEA});
  EXPECT_EQ(card->record(kMixerRecord), mixer);
  std::memset(registerBytes() + kMailboxReply, 0, kPacketBytes);
  sendPacket(kReadMixer);
  EXPECT_EQ(reply(), (ControllerPacket{0x60, 0x15, 0, 0, 0, 0xA8, 0x80, 0xAB, 0xCD, 0xEA}));
  EXPECT_EQ(card->counters().packetsStored, 1u);
}

TEST_F(Controller, CarriesTheCardIdentifierInRecordsFiveAndSix) {
  for (const std::string& id : {std::string(kDefaultCardId), std::string("QRS987654321")}) {
    makeCard(cardNamed(id));
    sendPacket(makeReadRequest(kIdentifierFirstRecord));
    const ControllerPacket first = reply();
    sendPacket(makeReadRequest(kIdentifierSecondRecord));
    const ControllerPacket second = reply();
    EXPECT_EQ(first[0], 0x45);
    EXPECT_EQ(second[0], 0x46);
    EXPECT_EQ(std::string(first.begin() + 1, first.begin() + 7) +
                  std::string(second.begin() + 1, second.begin() + 7),
              id);
    EXPECT_EQ(std::vector<std::uint8_t>(first.begin() + 7, first.begin() + 9),
              (std::vector<std::uint8_t>{0, 0}));
    EXPECT_EQ(std::vector<std::uint8_t>(second.begin() + 7, second.begin() + 9),
              (std::vector<std::uint8_t>{0, 0}));
    TearDown();
  }
}

TEST_F(Controller, RefusesAnIdentifierOfAnotherLength) {
  EXPECT_THROW(VirtualCard(cardNamed("VYT0A1B2C3D")), std::invalid_argument);
  EXPECT_THROW(VirtualCard(cardNamed("VYT0A1B2C3D45")), std::invalid_argument);
}

// Each of these leaves every record and the reply as they were.
TEST_F(Controller, IgnoresBadPackets) {
  const ControllerRecord loud = {0, 0, 0, 0, 0x63, 0, 0, 0};
  auto withChecksum = [](ControllerPacket packet) {
    packet[kPacketChecksum] = packetChecksum(packet);
    return packet;
  };
  ControllerPacket badChecksum = makeRecordPacket(kMixerRecord, {0, 0, 0, 0, 0x80, 0, 0, 0});
  badChecksum[kPacketChecksum] ^= 1;
  const std::vector<std::pair<const char*, ControllerPacket>> cases = {
      {"wrong checksum on a write", badChecksum},
      {"wrong checksum on a read", ControllerPacket{0x41, 0x20, 0, 0, 0, 0, 0, 0, 0, 0x9F}},
      {"read past the last record", withChecksum({0x41, 0x40})},
      {"read with data after the index", withChecksum({0x41, 0x20, 0, 0, 1})},
      {"command below the records", withChecksum({0x3F, 1, 2, 3, 4, 5, 6, 7, 8})},
      {"command above the records", withChecksum({0x80, 1, 2, 3, 4, 5, 6, 7, 8})},
      {"all zero", ControllerPacket{}},
  };
  makeCard();
  std::uint64_t ignored = 0;
  for (const auto& [what, packet] : cases) {
    std::memset(registerBytes() + kMailboxReply, 0xA5, kPacketBytes);
    sendPacket(packet);
    EXPECT_EQ(card->counters().packetsIgnored, ++ignored) << what;
    ControllerPacket untouched;
    untouched.fill(0xA5);
    EXPECT_EQ(reply(), untouched) << what;
    EXPECT_EQ(card->record(kMixerRecord), loud) << what;
    for (unsigned index = 0; index < kRecordCount; ++index) {
      if (index == kMixerRecord || index == kIdentifierFirstRecord ||
          index == kIdentifierSecondRecord) {
        continue;
      }
      EXPECT_EQ(card->record(index), ControllerRecord{}) << what << ", record " << index;
    }
  }
}

TEST_F(Controller, ThatDoesNotAnswerIgnoresTheDoorbell) {
  makeCard();
  card->setControllerAnswering(false);
  std::memset(registerBytes() + kMailboxReply, 0xA5, kPacketBytes);
  sendPacket(kReadMixer);
  sendPacket(makeRecordPacket(kMixerRecord, {0, 0, 0, 0, 0x80, 0, 0, 0}));
  EXPECT_EQ(reply()[0], 0xA5);
  EXPECT_EQ(card->record(kMixerRecord)[kMixerMasterByte], kMixerUnityLevel);
  EXPECT_EQ(card->counters().doorbellsIgnored, 2u);

  card->setControllerAnswering(true);
  sendPacket(kReadMixer);
  EXPECT_EQ(reply()[0], 0x60);
}

}  // namespace
}  // namespace card::testing
