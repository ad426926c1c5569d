// Writes a PCM WAV file whose header is brought up to date after every write,
// so the file on disk is complete and readable at any moment, also when the
// writing process is killed.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "card/wav/WavFormat.h"

namespace wav {

class WavWriter {
 public:
  // Creates (or truncates) the file with an empty data chunk. The format must
  // be PCM of 16, 24 or 32 bits; throws WavError otherwise or when the file
  // cannot be created.
  WavWriter(const std::string& path, const WavFormat& format);
  ~WavWriter();
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // Changes the format while nothing has been written yet.
  void setFormat(const WavFormat& format);
  const WavFormat& format() const { return fileFormat; }

  // Appends whole frames of interleaved samples already at the file's bit
  // depth. Throws WavError when the disk refuses or the file would pass the
  // 4 GiB a WAV header can describe; what was written before stays readable.
  void writeFrames(std::span<const std::int32_t> samples);
  std::uint64_t framesWritten() const;

 private:
  void writeHeader();
  void writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  [[noreturn]] void fail(const std::string& problem) const;

  std::string path;
  int descriptor = -1;
  WavFormat fileFormat;
  std::uint64_t dataBytes = 0;
  std::vector<std::uint8_t> packed;  // reused between writes
};

}  // namespace wav
