// What the card's analog input hears, and the settings string that names it:
// "silence", "sine:HZ:DBFS" (for example "sine:1000:-6") or a WAV file's path.
#pragma once

#include <string>
#include <string_view>
#include <variant>

namespace card {

struct SilenceInput {
  bool operator==(const SilenceInput&) const = default;
};

// The same sine on both channels; level in dB below full scale.
struct SineInput {
  double frequency = 1000.0;
  double levelDbfs = 0.0;
  bool operator==(const SineInput&) const = default;
};

// A WAV file played sample by sample at the card's rate, then silence.
struct WavInput {
  std::string path;
  bool operator==(const WavInput&) const = default;
};

using InputSetting = std::variant<SilenceInput, SineInput, WavInput>;

// Throws std::invalid_argument naming what is wrong with the text.
InputSetting parseInputSetting(std::string_view text);
// The settings string that parses back to the same input.
std::string formatInputSetting(const InputSetting& input);

}  // namespace card
