// The card's analog output: nowhere, or a stereo WAV file whose rate and bit
// depth are those of the first block played; later blocks of another depth
// are shifted to the file's. Not thread-safe: the card's engine lock guards it.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "card/wav/WavWriter.h"

namespace card {

class AnalogOutput {
 public:
  // An empty path sends the output nowhere. A file is created at once (an
  // empty 48 kHz 16-bit recording until the first block) so that a bad path
  // shows here; throws wav::WavError when it cannot be created.
  explicit AnalogOutput(std::string path);

  void play(std::span<const std::int32_t> stereo, unsigned rate, int bits);

  const std::string& path() const { return filePath; }
  std::uint64_t framesPlayed() const { return frames; }

 private:
  std::string filePath;
  std::unique_ptr<wav::WavWriter> writer;
  bool formatFixed = false;
  std::uint64_t frames = 0;
  std::vector<std::int32_t> converted;  // reused between blocks
};

}  // namespace card
