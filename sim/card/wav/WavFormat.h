// The sample format of a WAV file and the error its readers and writers report.
#pragma once

#include <cstdint>
#include <stdexcept>

namespace wav {

enum class Encoding { Pcm, Float };

struct WavFormat {
  Encoding encoding = Encoding::Pcm;
  std::uint32_t sampleRate = 48000;
  std::uint16_t channels = 2;
  std::uint16_t bitsPerSample = 16;

  int bytesPerSample() const { return bitsPerSample / 8; }
  int bytesPerFrame() const { return bytesPerSample() * channels; }
  bool operator==(const WavFormat&) const = default;
};

// A file that cannot be opened, read or written, or is no WAV file we handle;
// the message names the file and the problem.
class WavError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace wav
