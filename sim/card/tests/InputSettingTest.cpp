#include <gtest/gtest.h>

#include <stdexcept>

#include "card/InputSetting.h"

namespace {

using card::formatInputSetting;
using card::InputSetting;
using card::parseInputSetting;
using card::SilenceInput;
using card::SineInput;
using card::WavInput;

TEST(InputSetting, ParsesEachForm) {
  const std::vector<std::pair<const char*, InputSetting>> cases = {
      {"silence", SilenceInput{}},
      {"sine:1000:-6", SineInput{1000, -6}},
      {"sine:440.5:0", SineInput{440.5, 0}},
      {"sine:20:-120.25", SineInput{20, -120.25}},
      {"/data/take 1.wav", WavInput{"/data/take 1.wav"}},
      {"relative.wav", WavInput{"relative.wav"}},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(parseInputSetting(text), expected) << text;
    EXPECT_EQ(parseInputSetting(formatInputSetting(expected)), expected) << text;
  }
}

TEST(InputSetting, RejectsMalformedSinesNamingTheProblem) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"", "empty"},
      {"sine:", "frequency and a level"},
      {"sine:1000", "frequency and a level"},
      {"sine:abc:-6", "\"abc\" is not a number"},
      {"sine:1000:-6dB", "\"-6dB\" is not a number"},
      {"sine::-6", "\"\" is not a number"},
      {"sine:1000:-6:3", "\"-6:3\" is not a number"},
      {"sine:inf:-6", "\"inf\" is not a number"},
      {"sine:0:-6", "above 0 Hz"},
      {"sine:-440:-6", "above 0 Hz"},
      {"sine:1000:3", "at most 0 dBFS"},
  };
  for (const auto& [text, problem] : cases) {
    try {
      parseInputSetting(text);
      ADD_FAILURE() << "accepted \"" << text << "\"";
    } catch (const std::invalid_argument& error) {
      const std::string message = error.what();
      EXPECT_NE(message.find(problem), std::string::npos) << text << ": " << message;
      EXPECT_NE(message.find(std::string("\"") + text + "\""), std::string::npos) << message;
    }
  }
}

}  // namespace
