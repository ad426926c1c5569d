// The private control codes through a handle on the topology filter, as
// programs send them: effects, statuses, the owner check and the buffers.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "CardContext.h"
#include "LowLatency.h"
#include "MachineTest.h"
#include "kernel/host/IoManager.h"
#include "kernel/host/KsFilter.h"
#include "shared/CardControl.h"

namespace {

using namespace cardctl;

class ControlCodes : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    ASSERT_EQ(machine->boot(), STATUS_SUCCESS);
    ASSERT_EQ(kernel::IoManager::open(machine->functionalDevice(), u"Topology", &handle),
              STATUS_SUCCESS);
  }
  void TearDown() override {
    if (handle) kernel::IoManager::close(handle);
    MachineTest::TearDown();
  }

  NTSTATUS call(ULONG code, std::vector<UCHAR> input, std::vector<UCHAR>& output) {
    ULONG_PTR returned = 99;
    const NTSTATUS status = kernel::IoManager::deviceControl(
        handle, code, input.empty() ? nullptr : input.data(), static_cast<ULONG>(input.size()),
        output.empty() ? nullptr : output.data(), static_cast<ULONG>(output.size()), &returned);
    EXPECT_EQ(returned, 0u) << "private requests report no bytes";
    return status;
  }
  NTSTATUS call(ULONG code, std::vector<UCHAR> input = {}, ULONG outputBytes = 0) {
    lastOutput.assign(outputBytes, 0);
    return call(code, std::move(input), lastOutput);
  }
  static std::vector<UCHAR> words(std::initializer_list<ULONG> values, size_t bytes = 0) {
    std::vector<UCHAR> out(std::max(bytes, values.size() * 4));
    size_t i = 0;
    for (ULONG value : values) std::memcpy(out.data() + 4 * i++, &value, 4);
    return out;
  }
  ULONG word(size_t index) const {
    ULONG value;
    std::memcpy(&value, lastOutput.data() + 4 * index, 4);
    return value;
  }
  ULONG claim() {
    EXPECT_EQ(call(IOCTL_CARD_LL_CLAIM, {}, 4), STATUS_SUCCESS);
    return word(0);
  }
  NTSTATUS owned(ULONG code, ULONG token, std::vector<UCHAR> input = {}, UCHAR action = 1) {
    auto output = words({token}, 8);
    output[4] = action;
    lastOutput = output;
    return call(code, std::move(input), lastOutput);
  }

  PFILE_OBJECT handle = nullptr;
  std::vector<UCHAR> lastOutput;
};

TEST_F(ControlCodes, SwitchWordsSetOneSwitchEach) {
  struct Case {
    ULONG request;
    LONG monitor, loopback, mode;
  } cases[] = {
      {0x101, 1, 0, 0}, {0x201, 1, 0, 0}, {0x202, 1, 1, 0}, {0x203, 1, 1, 1},
      {0x104, 1, 1, 1},  // no such switch
      {0x1, 0, 1, 1},    {0x2, 0, 0, 1},   {0x3, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request);
    EXPECT_EQ(call(IOCTL_CARD_SET_SWITCH, words({c.request}, 16), 16), STATUS_SUCCESS);
    EXPECT_EQ(call(IOCTL_CARD_GET_SWITCHES, words({}, 16), 16), STATUS_SUCCESS);
    EXPECT_EQ(word(0), static_cast<ULONG>(c.mode));
    EXPECT_EQ(word(1), static_cast<ULONG>(c.loopback));
    EXPECT_EQ(word(2), static_cast<ULONG>(c.monitor));
  }
}

TEST_F(ControlCodes, FormatChangesOnlyWhenValidIdleAndNew) {
  auto setFormat = [&](ULONG rate, ULONG bits, ULONG frames) {
    EXPECT_EQ(call(IOCTL_CARD_SET_FORMAT, words({rate, bits, frames}, 16), 16), STATUS_SUCCESS);
    return word(0);
  };
  EXPECT_EQ(setFormat(96000, 24, 512), kFormatApplied);
  EXPECT_EQ(cardContext.blockBytes, 3072u);
  EXPECT_EQ(cardContext.inBlock.length, 3072u);
  EXPECT_EQ(setFormat(96000, 24, 512), kFormatUnchanged);
  EXPECT_EQ(setFormat(96000, 24, 1024), kFormatInvalid);
  EXPECT_EQ(setFormat(22050, 16, 256), kFormatInvalid);
  EXPECT_EQ(setFormat(44100, 20, 256), kFormatInvalid);
  EXPECT_EQ(call(IOCTL_CARD_GET_FORMAT, words({}, 16), 16), STATUS_SUCCESS);
  EXPECT_EQ(word(0), 96000u);
  EXPECT_EQ(word(1), 24u);
  EXPECT_EQ(word(2), 512u);
  EXPECT_EQ(word(3), 0u);

  // Not started yet: the format is recorded, and the engine's start programs it.
  EXPECT_FALSE(machine->card()->playbackRunning());
  EXPECT_EQ(call(IOCTL_CARD_START_ENGINE, words({}, 32), 32), STATUS_SUCCESS);
  runBlocks(2);
  EXPECT_EQ(machine->card()->registerValue(0x1A0), 3072u);

  auto wave = kernel::KsFilter::open(machine->functionalDevice(), u"Wave");
  KSDATAFORMAT_WAVEFORMATEX format{};
  format.DataFormat = {sizeof format, 0, 0, 0, KSDATAFORMAT_TYPE_AUDIO, KSDATAFORMAT_SUBTYPE_PCM,
                       KSDATAFORMAT_SPECIFIER_WAVEFORMATEX};
  format.WaveFormatEx = {WAVE_FORMAT_PCM, 2, 96000, 96000 * 6, 6, 24, 0};
  std::unique_ptr<kernel::KsPin> capture;
  ASSERT_EQ(wave->createPin(0, &format.DataFormat, &capture), STATUS_SUCCESS);
  capture->setState(KSSTATE_RUN);
  EXPECT_EQ(setFormat(44100, 16, 256), kFormatBusy) << "while a recording runs";
  EXPECT_EQ(call(IOCTL_CARD_GET_FORMAT, words({}, 16), 16), STATUS_SUCCESS);
  EXPECT_EQ(word(3), kActivityCapture);
}

TEST_F(ControlCodes, OneClaimAtATimeAndTheTokenGuardsTheClient) {
  const ULONG token = claim();
  EXPECT_EQ(call(IOCTL_CARD_LL_CLAIM, {}, 4), STATUS_UNSUCCESSFUL);
  EXPECT_EQ(cardContext.engineStarted, 1) << "a claim starts the engine";
  EXPECT_EQ(call(IOCTL_CARD_GET_FORMAT, words({}, 16), 16), STATUS_SUCCESS);
  EXPECT_EQ(word(3), kActivityLowLatency) << "a claim alone shows activity 4";
  EXPECT_EQ(call(IOCTL_CARD_SET_FORMAT, words({48000, 16, 256}, 16), 16), STATUS_SUCCESS);
  EXPECT_EQ(word(0), kFormatBusy) << "claimed";

  EXPECT_EQ(owned(IOCTL_CARD_LL_START, token + 1), STATUS_UNSUCCESSFUL) << "wrong token";
  EXPECT_EQ(cardContext.llRunning, 0);
  EXPECT_EQ(owned(IOCTL_CARD_LL_START, token), STATUS_SUCCESS);
  EXPECT_EQ(cardContext.llRunning, 1);
  EXPECT_EQ(owned(IOCTL_CARD_LL_STOP, token), STATUS_SUCCESS);
  EXPECT_EQ(owned(IOCTL_CARD_LL_RELEASE, token), STATUS_SUCCESS);
  EXPECT_EQ(owned(IOCTL_CARD_LL_START, token), STATUS_UNSUCCESSFUL) << "released";

  const ULONG second = claim();
  EXPECT_NE(second, token) << "a new claim, a new token";
  EXPECT_EQ(owned(IOCTL_CARD_LL_START, token), STATUS_UNSUCCESSFUL);
}

TEST_F(ControlCodes, ConcurrentClaimsHaveExactlyOneWinner) {
  for (int round = 0; round < 20; ++round) {
    std::atomic<int> winners{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
      threads.emplace_back([&] {
        ULONG token = 0;
        ULONG_PTR returned = 0;
        if (NT_SUCCESS(kernel::IoManager::deviceControl(handle, IOCTL_CARD_LL_CLAIM, nullptr, 0,
                                                        &token, 4, &returned))) {
          ++winners;
        }
      });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(winners, 1);
    InterlockedExchange(&lowLatency.claimed, 0);
  }
}

TEST_F(ControlCodes, VolumeAndDuckingKeepTheirOldValueWhenRefused) {
  struct Case {
    LONG volume;
    NTSTATUS status;
    LONG kept;
  } volumes[] = {{120, STATUS_SUCCESS, 120}, {29, STATUS_INVALID_PARAMETER, 120},
                 {251, STATUS_INVALID_PARAMETER, 120}, {30, STATUS_SUCCESS, 30},
                 {250, STATUS_SUCCESS, 250}, {-5, STATUS_INVALID_PARAMETER, 250}};
  for (const auto& c : volumes) {
    SCOPED_TRACE(c.volume);
    EXPECT_EQ(call(IOCTL_CARD_SET_REC_VOLUME, words({static_cast<ULONG>(c.volume)}, 8), 8),
              c.status);
    EXPECT_EQ(call(IOCTL_CARD_GET_REC_VOLUME, words({}, 8), 8), STATUS_SUCCESS);
    EXPECT_EQ(static_cast<LONG>(word(0)), c.kept);
  }

  EXPECT_EQ(call(IOCTL_CARD_SET_DUCKING, words({1, 7}), 8), STATUS_SUCCESS);
  EXPECT_EQ(call(IOCTL_CARD_SET_DUCKING, words({2, 9}), 8), STATUS_SUCCESS);
  EXPECT_EQ(call(IOCTL_CARD_SET_DUCKING, words({2, 0}), 8), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(call(IOCTL_CARD_SET_DUCKING, words({2, 0xFFFFFFFF}), 8), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(call(IOCTL_CARD_SET_DUCKING, words({5, 1}), 8), STATUS_SUCCESS) << "unknown type";
  EXPECT_EQ(call(IOCTL_CARD_GET_DUCKING, words({}, 32), 128), STATUS_SUCCESS);
  EXPECT_EQ(word(0), 7u);
  EXPECT_EQ(word(1), 9u);
  EXPECT_EQ(word(2), 0u);
  EXPECT_EQ(word(3), 0u);
}

TEST_F(ControlCodes, ShortOrMissingBuffersAreRefusedTouchingNothing) {
  const ULONG token = claim();
  struct Case {
    const char* name;
    ULONG code;
    size_t input;
    size_t output;
    NTSTATUS status;
  } cases[] = {
      {"switch without its value byte", IOCTL_CARD_SET_SWITCH, 1, 0, STATUS_INVALID_PARAMETER},
      {"format with two words", IOCTL_CARD_SET_FORMAT, 8, 16, STATUS_INVALID_PARAMETER},
      {"format without room for the result", IOCTL_CARD_SET_FORMAT, 16, 2,
       STATUS_BUFFER_TOO_SMALL},
      {"get format into 12 bytes", IOCTL_CARD_GET_FORMAT, 0, 12, STATUS_BUFFER_TOO_SMALL},
      {"get switches into 8 bytes", IOCTL_CARD_GET_SWITCHES, 0, 8, STATUS_BUFFER_TOO_SMALL},
      {"volume without a word", IOCTL_CARD_SET_REC_VOLUME, 2, 0, STATUS_INVALID_PARAMETER},
      {"ducking with one word", IOCTL_CARD_SET_DUCKING, 4, 0, STATUS_INVALID_PARAMETER},
      {"get ducking into 4 bytes", IOCTL_CARD_GET_DUCKING, 0, 4, STATUS_BUFFER_TOO_SMALL},
      {"claim without room for the token", IOCTL_CARD_LL_CLAIM, 0, 2, STATUS_BUFFER_TOO_SMALL},
      {"owner code without a token", IOCTL_CARD_LL_START, 0, 0, STATUS_INVALID_PARAMETER},
      {"mailbox without a direction byte", IOCTL_CARD_MCU_MAILBOX, 10, 0,
       STATUS_INVALID_PARAMETER},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(call(c.code, std::vector<UCHAR>(c.input, 0x01), static_cast<ULONG>(c.output)),
              c.status);
  }
  EXPECT_EQ(cardContext.monitorEnabled, 0);
  EXPECT_EQ(cardContext.sampleRate, 44100u);
  EXPECT_EQ(cardContext.llRunning, 0);
  EXPECT_EQ(lowLatency.ownerToken, token) << "the second claim touched nothing";

  EXPECT_EQ(owned(IOCTL_CARD_LL_BUFFER_DONE, token, words({2})), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(cardContext.llHalf, 0);
  // The mailbox holds exactly one packet.
  std::vector<UCHAR> direction = {kMailboxSend, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  std::vector<UCHAR> longPacket(64, 0x60);
  EXPECT_EQ(call(IOCTL_CARD_MCU_MAILBOX, longPacket, direction), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(call(IOCTL_CARD_MCU_MAILBOX, std::vector<UCHAR>(9, 0x41), direction),
            STATUS_INVALID_PARAMETER);
}

TEST_F(ControlCodes, MailboxSendsAPacketAndReadsTheReply) {
  std::vector<UCHAR> read = {0x41, 0x20, 0, 0, 0, 0, 0, 0, 0, 0x9E};
  std::vector<UCHAR> direction(16, 0);
  direction[0] = kMailboxSend;
  ASSERT_EQ(call(IOCTL_CARD_MCU_MAILBOX, read, direction), STATUS_SUCCESS);
  std::vector<UCHAR> reply(16, 0);
  ASSERT_EQ(call(IOCTL_CARD_MCU_MAILBOX, read, reply), STATUS_SUCCESS);
  EXPECT_EQ(reply[5], 99) << "the mixer record's level byte";
  EXPECT_EQ(reply[10], 0) << "nothing past the 10-byte reply";

  std::vector<UCHAR> write = {0x60, 0x02, 0, 0, 0, 0x8A, 0x01, 0, 0, 0x12};
  ASSERT_EQ(call(IOCTL_CARD_MCU_MAILBOX, write, direction), STATUS_SUCCESS);
  EXPECT_EQ(cardContext.mixerRecord[1], 0x0000018Au) << "a mixer write updates the cache";
}

TEST_F(ControlCodes, ClosingTheWatchdogsHandleFreesTheClaim) {
  const ULONG token = claim();
  ASSERT_EQ(owned(IOCTL_CARD_LL_START, token), STATUS_SUCCESS);
  PFILE_OBJECT watchdogHandle = nullptr;
  ASSERT_EQ(kernel::IoManager::open(machine->functionalDevice(), u"Topology", &watchdogHandle),
            STATUS_SUCCESS);
  auto watchdog = kernel::IoManager::deviceControlAsync(watchdogHandle, IOCTL_CARD_LL_WATCHDOG,
                                                        nullptr, 0, nullptr, 0);
  EXPECT_FALSE(watchdog->completed());
  kernel::IoManager::close(watchdogHandle);
  EXPECT_EQ(watchdog->wait(), STATUS_CANCELLED);
  EXPECT_EQ(cardContext.llRunning, 0);
  EXPECT_EQ(call(IOCTL_CARD_LL_CLAIM, {}, 4), STATUS_SUCCESS);
}

TEST_F(ControlCodes, OtherCodesGoToThePortClass) {
  auto topology = kernel::KsFilter::open(machine->functionalDevice(), u"Topology");
  KSPROPERTY property{KSPROPSETID_General, KSPROPERTY_GENERAL_COMPONENTID, KSPROPERTY_TYPE_GET};
  ULONG_PTR returned = 0;
  EXPECT_EQ(topology->property(&property, sizeof property, nullptr, 0, &returned),
            STATUS_BUFFER_OVERFLOW);
  EXPECT_EQ(returned, 72u);
  EXPECT_EQ(call(0x222FFF), STATUS_INVALID_DEVICE_REQUEST);
}

}  // namespace
