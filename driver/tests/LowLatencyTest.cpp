// A low-latency client in the same process, as a real one drives the card:
// claim, watchdog, events, buffers, start, then one half per block.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "CardContext.h"
#include "LowLatency.h"
#include "MachineTest.h"
#include "card/wav/WavReader.h"
#include "card/wav/WavWriter.h"
#include "kernel/host/IoManager.h"
#include "kernel/host/UserObjects.h"
#include "shared/CardControl.h"

namespace {

using namespace cardctl;
using kernel::IoManager;

class LowLatency : public MachineTest {
 protected:
  machine::MachineOptions options() override {
    directory = std::filesystem::temp_directory_path() /
                ("korvane-lowlatency-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory);
    const auto input = (directory / "input.wav").string();
    {
      // Left a ramp, right its negative: what arrives shows which channel it is.
      wav::WavWriter writer(input, wav::WavFormat{wav::Encoding::Pcm, 44100, 2,
                                                   static_cast<std::uint16_t>(inputBits())});
      std::vector<std::int32_t> samples;
      for (std::int32_t frame = 0; frame < 44100; ++frame) {
        samples.push_back(1000 + frame);
        samples.push_back(-1000 - frame);
      }
      writer.writeFrames(samples);
    }
    machine::MachineOptions machineOptions;
    machineOptions.card.input = card::WavInput{input};
    machineOptions.card.outputPath = (directory / "output.wav").string();
    return machineOptions;
  }
  void SetUp() override {
    MachineTest::SetUp();
    ASSERT_EQ(machine->boot(), STATUS_SUCCESS);
    ASSERT_EQ(IoManager::open(machine->functionalDevice(), u"Topology", &handle), STATUS_SUCCESS);
  }
  // The input file's depth: the card's own, so samples arrive unchanged.
  virtual ULONG inputBits() { return 16; }
  void TearDown() override {
    if (watchdogHandle) IoManager::close(watchdogHandle);
    if (handle) IoManager::close(handle);
    for (HANDLE event : events) {
      if (event) kernel::UserObjects::closeHandle(event);
    }
    MachineTest::TearDown();
    std::filesystem::remove_all(directory);
  }

  NTSTATUS request(ULONG code, void* input, ULONG inputLength, UCHAR action = 1) {
    UCHAR output[16] = {};
    std::memcpy(output, &token, 4);
    output[4] = action;
    ULONG_PTR returned = 0;
    return IoManager::deviceControl(handle, code, input, inputLength, output, sizeof output,
                                    &returned);
  }

  void setFormat(ULONG rate, ULONG bits, ULONG frames) {
    ULONG in[4] = {rate, bits, frames, 0};
    ULONG out[4] = {};
    ULONG_PTR returned = 0;
    ASSERT_EQ(IoManager::deviceControl(handle, IOCTL_CARD_SET_FORMAT, in, 16, out, 16, &returned),
              STATUS_SUCCESS);
    ASSERT_TRUE(out[0] == kFormatApplied || out[0] == kFormatUnchanged) << out[0];
  }

  // Claims, leaves a watchdog pending, sets events and maps buffers.
  void connect(bool mapCapture = true) {
    ULONG_PTR returned = 0;
    ASSERT_EQ(IoManager::deviceControl(handle, IOCTL_CARD_LL_CLAIM, nullptr, 0, &token, 4,
                                       &returned),
              STATUS_SUCCESS);
    ASSERT_EQ(IoManager::open(machine->functionalDevice(), u"Topology", &watchdogHandle),
              STATUS_SUCCESS);
    watchdog = IoManager::deviceControlAsync(watchdogHandle, IOCTL_CARD_LL_WATCHDOG, nullptr, 0,
                                             nullptr, 0);
    ULONGLONG handles[2];
    for (int half = 0; half < 2; ++half) {
      events[half] = kernel::UserObjects::createEvent(SynchronizationEvent, false,
                                                      EVENT_MODIFY_STATE | SYNCHRONIZE);
      handles[half] = reinterpret_cast<ULONG_PTR>(events[half]);
    }
    ASSERT_EQ(request(IOCTL_CARD_LL_SET_EVENTS, handles, sizeof handles), STATUS_SUCCESS);

    const ULONG bytes = cardContext.bufferFrames * cardContext.bitDepth / 8;
    ULONGLONG map[9] = {};
    for (int kind = 0; kind < 2; ++kind) {
      for (int channel = 0; channel < 2; ++channel) {
        for (int half = 0; half < 2; ++half) {
          auto& buffer = buffers[kind][channel][half];
          buffer.assign(bytes, 0x55);
          if (kind == 0 && !mapCapture) continue;
          map[kind * 4 + channel * 2 + half] = reinterpret_cast<ULONG_PTR>(buffer.data());
        }
      }
    }
    map[8] = bytes;
    ASSERT_EQ(request(IOCTL_CARD_LL_MAP_BUFFERS, map, sizeof map), STATUS_SUCCESS);
    ASSERT_EQ(request(IOCTL_CARD_LL_MAP_BUFFERS, map, sizeof map), STATUS_INVALID_PARAMETER)
        << "mapped twice";
  }

  static std::int32_t sample(const std::vector<UCHAR>& buffer, size_t index, ULONG bits) {
    const ULONG bytes = bits / 8;
    std::int32_t value = 0;
    std::memcpy(&value, buffer.data() + index * bytes, bytes);
    return bits == 24 ? (value ^ 0x800000) - 0x800000 : static_cast<std::int16_t>(value);
  }

  std::filesystem::path directory;
  PFILE_OBJECT handle = nullptr;
  PFILE_OBJECT watchdogHandle = nullptr;
  std::shared_ptr<kernel::PendingRequest> watchdog;
  HANDLE events[2] = {};
  ULONG token = 0;
  std::vector<UCHAR> buffers[2][2][2];  // [capture, play][left, right][half]
};

TEST_F(LowLatency, EventsAlternateHalfZeroFirst) {
  connect();
  ASSERT_EQ(request(IOCTL_CARD_LL_START, nullptr, 0), STATUS_SUCCESS);
  std::vector<int> signalled;
  for (int block = 0; block < 4; ++block) {
    runBlocks(1);
    for (int half = 0; half < 2; ++half) {
      if (KeResetEvent(kernel::UserObjects::eventOf(events[half]))) signalled.push_back(half);
    }
  }
  EXPECT_EQ(signalled, (std::vector<int>{0, 1, 0, 1}));
}

class LowLatencyFormats : public LowLatency, public ::testing::WithParamInterface<ULONG> {
 protected:
  ULONG inputBits() override { return GetParam(); }
};

TEST_P(LowLatencyFormats, CaptureHalvesReceiveTheInputSplitByChannel) {
  const ULONG bits = GetParam();
  setFormat(44100, bits, 256);
  connect();
  ASSERT_EQ(request(IOCTL_CARD_LL_START, nullptr, 0), STATUS_SUCCESS);
  runBlocks(3);
  const auto& left = buffers[0][0][0];
  const auto& right = buffers[0][1][0];
  const std::int32_t first = sample(left, 0, bits);
  EXPECT_GE(first, 1000) << "input arrived";
  for (size_t k = 0; k < 256; ++k) {
    EXPECT_EQ(sample(left, k, bits), first + static_cast<std::int32_t>(k)) << "frame " << k;
    EXPECT_EQ(sample(right, k, bits), -first - static_cast<std::int32_t>(k)) << "frame " << k;
  }
}

INSTANTIATE_TEST_SUITE_P(Bits, LowLatencyFormats, ::testing::Values(16u, 24u));

TEST_F(LowLatency, PlaybackHalvesReachTheCardInterleaved) {
  connect(/*mapCapture=*/false);
  auto fill = [](std::vector<UCHAR>& buffer, std::int16_t value) {
    for (size_t i = 0; i + 2 <= buffer.size(); i += 2) std::memcpy(&buffer[i], &value, 2);
  };
  fill(buffers[1][0][0], 1111);
  fill(buffers[1][1][0], -2222);
  ULONG half = 0;
  ASSERT_EQ(request(IOCTL_CARD_LL_BUFFER_DONE, &half, 4), STATUS_SUCCESS);
  std::int16_t interleaved[4];
  std::memcpy(interleaved, cardContext.llPlayBlock[0].data, sizeof interleaved);
  EXPECT_EQ(interleaved[0], 1111);
  EXPECT_EQ(interleaved[1], -2222);
  EXPECT_EQ(interleaved[2], 1111);

  ASSERT_EQ(request(IOCTL_CARD_LL_START, nullptr, 0), STATUS_SUCCESS);
  runBlocks(6);
  EXPECT_EQ(buffers[0][0][0], std::vector<UCHAR>(512, 0x55)) << "no capture buffers mapped";
  IoManager::close(watchdogHandle);  // the client goes away, then the machine
  watchdogHandle = nullptr;
  IoManager::close(handle);
  handle = nullptr;
  EXPECT_TRUE(machine->unload().clean);
  wav::WavReader reader((directory / "output.wav").string());
  std::vector<std::int32_t> samples(2 * 256 * 6);
  const auto frames = reader.readFrames(samples, 16);
  ASSERT_GE(frames, 4u * 256u);
  // The card plays two silent blocks, then the client's half.
  EXPECT_EQ(samples[2 * 2 * 256], 1111);
  EXPECT_EQ(samples[2 * 2 * 256 + 1], -2222);
  EXPECT_EQ(samples[2 * 4 * 256 - 1], -2222);
}

TEST_F(LowLatency, WatchdogCancelWhileRunningTearsEverythingDown) {
  const int objectsBefore = kernel::UserObjects::liveObjects();
  connect();
  ASSERT_EQ(request(IOCTL_CARD_LL_START, nullptr, 0), STATUS_SUCCESS);
  runBlocks(2);
  IoManager::close(watchdogHandle);
  watchdogHandle = nullptr;
  EXPECT_EQ(watchdog->wait(), STATUS_CANCELLED);
  EXPECT_EQ(cardContext.llRunning, 0);
  EXPECT_EQ(cardContext.clientCapture[0][0], nullptr);
  EXPECT_EQ(cardContext.clientPlay[1][1], nullptr);
  EXPECT_EQ(lowLatency.events[0], nullptr);
  for (HANDLE& event : events) {
    kernel::UserObjects::closeHandle(event);
    event = nullptr;
  }
  EXPECT_EQ(kernel::UserObjects::liveObjects(), objectsBefore) << "the driver kept no event";
  const auto before = buffers[0][0][0];
  runBlocks(2);
  EXPECT_EQ(buffers[0][0][0], before) << "nothing written after the teardown";
  ULONG newToken = 0;
  ULONG_PTR returned = 0;
  EXPECT_EQ(IoManager::deviceControl(handle, IOCTL_CARD_LL_CLAIM, nullptr, 0, &newToken, 4,
                                     &returned),
            STATUS_SUCCESS);
}

}  // namespace
