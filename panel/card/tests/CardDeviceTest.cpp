// The panel's card client against a machine with the virtual card: what each
// request sends, what the caller gets, and what happens without a card.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "CardDevice.h"
#include "CardMachine.h"
#include "MixerRecord.h"

namespace {

class CardDeviceTest : public ::testing::Test {
 protected:
  void start(bool withCard) { startCardMachine(withCard); }
  void TearDown() override {
    device.reset();  // the handle closes before the machine goes
    EXPECT_TRUE(stopCardMachine());
  }
  std::unique_ptr<CardDevice> device = std::make_unique<CardDevice>();
};

TEST_F(CardDeviceTest, WithoutACardNothingIsSent) {
  start(false);
  EXPECT_FALSE(device->open());
  EXPECT_FALSE(device->isOpen());
  std::uint8_t record[8] = {};
  EXPECT_EQ(device->readRecord(0x20, record), 1);
  EXPECT_EQ(device->writeRecord(0x20, record), 1);
  std::uint32_t switches[3] = {7, 7, 7};
  EXPECT_EQ(device->getSwitches(switches), -1);
  EXPECT_EQ(switches[0], 7u) << "a failed request leaves the caller's buffer";
  CardFormat format{1, 2, 3, 4};
  EXPECT_EQ(device->getFormat(&format), -1);
  EXPECT_EQ(format.sampleRate, 1u);
  std::uint32_t volume = 9;
  EXPECT_EQ(device->getRecVolume(&volume), -1);
  EXPECT_EQ(volume, 9u);
}

TEST_F(CardDeviceTest, DiscoveryTakesTheFirstDeviceOfTheServiceAndStopsAtOneWithout) {
  struct Case {
    const char* name;
    std::optional<std::string> ahead;
    bool opens;
  } cases[] = {
      {"a longer service name is passed over", std::string("vytpci_x"), true},
      {"the name in capitals is the card's (this one has no driver)", std::string("VYTPCI_"),
       false},
      {"a device without a service ends the search", std::nullopt, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    startCardMachine(true, {c.ahead});
    auto client = std::make_unique<CardDevice>();
    EXPECT_EQ(client->open(), c.opens);
    EXPECT_EQ(client->isOpen(), c.opens);
    client.reset();
    EXPECT_TRUE(stopCardMachine());
  }
}

TEST_F(CardDeviceTest, RequestsReachTheDriverAndAnswersTheCaller) {
  start(true);
  ASSERT_TRUE(device->open());
  EXPECT_EQ(device->startEngine(), 0);
  EXPECT_TRUE(device->setHearMyVoice(true));
  EXPECT_TRUE(device->setRecPlaySndStr(true));
  EXPECT_TRUE(device->setMode(false));
  std::uint32_t switches[3] = {};
  EXPECT_EQ(device->getSwitches(switches), 0);
  EXPECT_EQ(switches[0], 0u);  // mode
  EXPECT_EQ(switches[1], 1u);  // recPlaySndStr
  EXPECT_EQ(switches[2], 1u);  // hearMyVoice

  struct VolumeCase {
    int volume;
    int result;
    std::uint32_t stored;
  } volumes[] = {{29, -1, 100}, {251, -1, 100}, {30, 0, 30}, {250, 0, 250}};
  for (const auto& c : volumes) {
    SCOPED_TRACE(c.volume);
    EXPECT_EQ(device->setRecVolume(c.volume), c.result);
    std::uint32_t stored = 0;
    EXPECT_EQ(device->getRecVolume(&stored), 0);
    EXPECT_EQ(stored, c.stored);
  }

  EXPECT_EQ(device->setDucking(1, true, 0), 0);
  EXPECT_EQ(device->setDucking(2, false, 9), 0);
  std::uint8_t ducking[128];
  std::memset(ducking, 0xEE, sizeof ducking);
  EXPECT_EQ(device->getDucking(ducking), 0);
  std::uint32_t words[4];
  std::memcpy(words, ducking, sizeof words);
  EXPECT_EQ(words[0], 1u);
  EXPECT_EQ(words[1], 9u);
  EXPECT_EQ(ducking[127], 0) << "the whole zeroed buffer is handed back";

  EXPECT_EQ(device->setFormat(48000, 24, 512), 0);
  EXPECT_EQ(device->setFormat(48000, 24, 512), 2);
  EXPECT_EQ(device->setFormat(48000, 24, 1024), 3);
  CardFormat format;
  EXPECT_EQ(device->getFormat(&format), 0);
  EXPECT_EQ(format.sampleRate, 48000u);
  EXPECT_EQ(format.bitDepth, 24u);
  EXPECT_EQ(format.bufferFrames, 512u);
}

TEST_F(CardDeviceTest, ControllerRecordsAndTheCardId) {
  start(true);
  ASSERT_TRUE(device->open());
  const auto written = MixerRecord::build(2, 10, 1, 1, 0);
  EXPECT_EQ(device->writeRecord(0x20, written.bytes), 0);
  MixerRecord read;
  EXPECT_EQ(device->readRecord(0x20, read.bytes), 0);
  EXPECT_EQ(std::memcmp(read.bytes, written.bytes, 8), 0);
  EXPECT_EQ(read.limiterLevel(), 2);
  EXPECT_EQ(read.monitorVolume(), 10);
  EXPECT_EQ(read.monitorMute(), 1);
  EXPECT_EQ(read.micType(), 1);
  char id[14];
  std::memset(id, 'x', sizeof id);
  EXPECT_EQ(device->readCardId(id), 0);
  EXPECT_STREQ(id, "VYT0A1B2C3D4");
}

}  // namespace
