// The audio system on a booted machine in virtual time: what a program plays
// comes back in what it records, mixed with the card's input, exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <mutex>
#include <vector>

#include "CardContext.h"
#include "Machine.h"
#include "MachineTest.h"
#include "audio/AudioSystem.h"
#include "card/wav/WavWriter.h"

namespace {

constexpr std::size_t kFrames = 256;  // the card's default block

std::int32_t InputSample(std::size_t frame, int channel) {
  const auto value = static_cast<std::int32_t>(frame % 1000) * 7 - 3500;
  return channel ? -value : value;
}

std::int32_t RenderSample(std::size_t frame, int channel) {
  const auto value = static_cast<std::int32_t>((frame * 13) % 2000) - 1000;
  return channel ? value / 2 : value;
}

class AudioSystem : public MachineTest {
 protected:
  machine::MachineOptions options() override {
    directory = std::filesystem::temp_directory_path() /
                ("korvane-audio-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory);
    const auto input = (directory / "input.wav").string();
    {
      wav::WavWriter writer(input, wav::WavFormat{wav::Encoding::Pcm, 44100, 2, 16});
      std::vector<std::int32_t> samples;
      for (std::size_t frame = 0; frame < 48000; ++frame) {
        samples.push_back(InputSample(frame, 0));
        samples.push_back(InputSample(frame, 1));
      }
      writer.writeFrames(samples);
    }
    machine::MachineOptions machineOptions;
    machineOptions.card.input = card::WavInput{input};
    return machineOptions;
  }
  void TearDown() override {
    MachineTest::TearDown();
    std::filesystem::remove_all(directory);
  }
  std::filesystem::path directory;
};

TEST_F(AudioSystem, ListsTheCardsEndpoints) {
  EXPECT_TRUE(audio::listEndpoints().empty()) << "no driver, no endpoints";
  ASSERT_EQ(machine->boot(), STATUS_SUCCESS);
  const auto endpoints = audio::listEndpoints();
  ASSERT_EQ(endpoints.size(), 2u);
  for (const auto& endpoint : endpoints) {
    EXPECT_NE(endpoint.name.find("VYT PCI"), std::string::npos) << endpoint.name;
  }
  EXPECT_NE(endpoints[0].capture, endpoints[1].capture);
}

TEST_F(AudioSystem, PlayedAudioComesBackMixedWithTheInputOneTickLate) {
  ASSERT_EQ(machine->boot(), STATUS_SUCCESS);
  cardContext.monitorEnabled = 1;   // hear my voice
  cardContext.loopbackEnabled = 1;  // stereo mix

  audio::Endpoint renderEndpoint, captureEndpoint;
  for (const auto& endpoint : audio::listEndpoints()) {
    (endpoint.capture ? captureEndpoint : renderEndpoint) = endpoint;
  }
  std::string error;
  auto render = audio::openStream(renderEndpoint, &error);
  ASSERT_NE(render, nullptr) << error;
  auto capture = audio::openStream(captureEndpoint, &error);
  ASSERT_NE(capture, nullptr) << error;
  EXPECT_EQ(render->format().sampleRate, 44100u);
  EXPECT_EQ(render->format().bitsPerSample, 16u);
  EXPECT_EQ(render->format().channels, 2u);

  std::size_t renderFrame = 0;
  render->setRenderCallback([&](float* out, std::size_t frames) {
    for (std::size_t i = 0; i < frames; ++i, ++renderFrame) {
      out[2 * i] = static_cast<float>(RenderSample(renderFrame, 0)) / 32768.0f;
      out[2 * i + 1] = static_cast<float>(RenderSample(renderFrame, 1)) / 32768.0f;
    }
  });
  std::mutex recordedLock;
  std::vector<std::int32_t> recorded;
  capture->setCaptureCallback([&](const float* in, std::size_t frames) {
    std::lock_guard held(recordedLock);
    for (std::size_t i = 0; i < 2 * frames; ++i) {
      recorded.push_back(static_cast<std::int32_t>(std::lround(in[i] * 32768.0f)));
    }
  });
  ASSERT_TRUE(render->start(&error)) << error;
  ASSERT_TRUE(capture->start(&error)) << error;
  runBlocks(40);
  capture->stop();
  render->stop();

  std::lock_guard held(recordedLock);
  ASSERT_GE(recorded.size(), 2 * 30 * kFrames) << "the capture stream delivered";
  // Capture block c holds the render block taken the tick before (three
  // blocks behind: two silent blocks at the start, then one tick late) and
  // the input block of its own tick.
  std::size_t mismatches = 0;
  for (std::size_t frame = 0; frame < recorded.size() / 2; ++frame) {
    for (int channel = 0; channel < 2; ++channel) {
      std::int32_t expected = InputSample(frame, channel);
      if (frame >= 3 * kFrames) expected += RenderSample(frame - 3 * kFrames, channel);
      if (recorded[2 * frame + channel] != expected && mismatches++ < 5) {
        ADD_FAILURE() << "frame " << frame << " channel " << channel << ": "
                      << recorded[2 * frame + channel] << " != " << expected;
      }
    }
  }
  EXPECT_EQ(mismatches, 0u);
}

}  // namespace
