// A sine at a fixed frequency and level, sampled at whatever rate the card
// runs: the phase carries on across blocks and across changes of rate.
#pragma once

#include <cstdint>
#include <span>

namespace card {

class SineGenerator {
 public:
  SineGenerator(double frequency, double levelDbfs);

  // Fills interleaved stereo samples, both channels alike, rounded to the
  // nearest step of `bits` bits (full scale 2^(bits-1) - 1).
  void fill(std::span<std::int32_t> stereo, unsigned rate, int bits);

 private:
  double cyclesAt(std::uint64_t frame) const;

  double frequency;
  double gain;
  unsigned rate = 0;
  // Phase is counted from the last change of rate so that it stays exact
  // over long runs instead of accumulating rounding from frame to frame.
  double cyclesAtRateChange = 0;
  std::uint64_t framesSinceRateChange = 0;
};

}  // namespace card
