#include "card/SineGenerator.h"

#include <cmath>
#include <numbers>

#include "card/CardRegisters.h"
#include "card/wav/PcmSamples.h"

namespace card {

SineGenerator::SineGenerator(double frequencyHz, double levelDbfs)
    : frequency(frequencyHz), gain(std::pow(10.0, levelDbfs / 20.0)) {}

double SineGenerator::cyclesAt(std::uint64_t frame) const {
  const double cycles = cyclesAtRateChange + std::fmod(frequency * static_cast<double>(frame),
                                                       static_cast<double>(rate)) /
                                                 static_cast<double>(rate);
  return cycles - std::floor(cycles);
}

void SineGenerator::fill(std::span<std::int32_t> stereo, unsigned sampleRate, int bits) {
  if (sampleRate != rate) {
    if (rate != 0) cyclesAtRateChange = cyclesAt(framesSinceRateChange);
    rate = sampleRate;
    framesSinceRateChange = 0;
  }
  const double amplitude = gain * static_cast<double>(wav::fullScale(bits));
  for (std::size_t i = 0; i + 1 < stereo.size(); i += kChannels) {
    const double angle = 2.0 * std::numbers::pi * cyclesAt(framesSinceRateChange++);
    const auto value = static_cast<std::int32_t>(std::lround(amplitude * std::sin(angle)));
    stereo[i] = value;
    stereo[i + 1] = value;
  }
}

}  // namespace card
