// Reads the samples of a WAV file: PCM of 16, 24 or 32 bits or 32/64-bit
// float, any channel count, plain or extensible format chunk.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "card/wav/WavFormat.h"

namespace wav {

class WavReader {
 public:
  // Throws WavError when the file cannot be opened or holds no readable
  // format and data chunk.
  explicit WavReader(const std::string& path);

  const WavFormat& format() const { return fileFormat; }
  std::uint64_t frameCount() const { return totalFrames; }

  // Reads up to samples.size() / channels frames, interleaved, each sample as
  // a signed integer of `bits` bits (float scaled to that full scale, rounded
  // and clipped). Returns the frames read: fewer at the end of the data, 0 after.
  // Throws WavError when the file cannot be read.
  std::size_t readFrames(std::span<std::int32_t> samples, int bits);

 private:
  struct FileCloser {
    void operator()(std::FILE* open) const { std::fclose(open); }
  };

  void parseHeader();
  void parseFormatChunk(std::uint32_t chunkBytes);
  [[noreturn]] void fail(const std::string& problem) const;

  std::string path;
  std::unique_ptr<std::FILE, FileCloser> file;
  WavFormat fileFormat;
  std::uint64_t totalFrames = 0;
  std::uint64_t framesLeft = 0;
  std::vector<std::uint8_t> raw;  // reused between reads
};

}  // namespace wav
