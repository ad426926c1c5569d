#include "card/InputSetting.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace card {

namespace {

constexpr std::string_view kSilence = "silence";
constexpr std::string_view kSinePrefix = "sine:";

[[noreturn]] void reject(std::string_view text, const std::string& problem) {
  throw std::invalid_argument("card input \"" + std::string(text) + "\": " + problem +
                              " (expected silence, sine:HZ:DBFS or a WAV file path)");
}

double parseNumber(std::string_view field, std::string_view whole) {
  double value = 0;
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
  if (field.empty() || error != std::errc() || end != field.data() + field.size() ||
      !std::isfinite(value)) {
    reject(whole, "\"" + std::string(field) + "\" is not a number");
  }
  return value;
}

// The fewest digits that read back as the same value.
std::string shortest(double value) {
  char digits[32];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  return std::string(digits, result.ptr);
}

}  // namespace

InputSetting parseInputSetting(std::string_view text) {
  if (text.empty()) reject(text, "empty");
  if (text == kSilence) return SilenceInput{};
  if (!text.starts_with(kSinePrefix)) return WavInput{std::string(text)};

  const std::string_view fields = text.substr(kSinePrefix.size());
  const auto colon = fields.find(':');
  if (colon == std::string_view::npos) reject(text, "a sine needs a frequency and a level");
  const double frequency = parseNumber(fields.substr(0, colon), text);
  const double level = parseNumber(fields.substr(colon + 1), text);
  if (frequency <= 0) reject(text, "the frequency must be above 0 Hz");
  if (level > 0) reject(text, "the level must be at most 0 dBFS");
  return SineInput{frequency, level};
}

std::string formatInputSetting(const InputSetting& input) {
  if (const auto* sine = std::get_if<SineInput>(&input)) {
    return std::string(kSinePrefix) + shortest(sine->frequency) + ':' + shortest(sine->levelDbfs);
  }
  if (const auto* file = std::get_if<WavInput>(&input)) return file->path;
  return std::string(kSilence);
}

}  // namespace card
