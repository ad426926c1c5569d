#include "card/wav/WavReader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "card/wav/PcmSamples.h"
#include "card/wav/WavChunks.h"

namespace wav {

namespace {

std::uint16_t load16(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

std::uint32_t load32(const std::uint8_t* bytes) {
  return std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8) |
         (std::uint32_t{bytes[2]} << 16) | (std::uint32_t{bytes[3]} << 24);
}

bool hasId(const std::uint8_t* bytes, std::string_view id) {
  return std::memcmp(bytes, id.data(), chunks::kIdBytes) == 0;
}

std::int32_t floatToSample(double value, int bits) {
  if (std::isnan(value)) return 0;
  const double scale = static_cast<double>(fullScale(bits));
  const double scaled = std::nearbyint(value * scale);
  return static_cast<std::int32_t>(std::clamp(scaled, -scale - 1.0, scale));
}

}  // namespace

WavReader::WavReader(const std::string& filePath) : path(filePath) {
  file.reset(std::fopen(path.c_str(), "rb"));
  if (!file) fail(std::strerror(errno));
  parseHeader();
}

void WavReader::fail(const std::string& problem) const {
  throw WavError(path + ": " + problem);
}

void WavReader::parseHeader() {
  std::array<std::uint8_t, chunks::kChunkHeaderBytes + chunks::kIdBytes> riff{};
  if (std::fread(riff.data(), 1, riff.size(), file.get()) != riff.size() ||
      !hasId(riff.data(), chunks::kRiff) || !hasId(riff.data() + 8, chunks::kWave)) {
    fail("not a RIFF/WAVE file");
  }
  bool formatSeen = false;
  for (;;) {
    std::array<std::uint8_t, chunks::kChunkHeaderBytes> header{};
    if (std::fread(header.data(), 1, header.size(), file.get()) != header.size()) {
      fail(formatSeen ? "no data chunk" : "no format chunk");
    }
    const std::uint32_t chunkBytes = load32(header.data() + chunks::kIdBytes);
    if (hasId(header.data(), chunks::kFormat)) {
      parseFormatChunk(chunkBytes);
      formatSeen = true;
    } else if (hasId(header.data(), chunks::kData)) {
      if (!formatSeen) fail("data chunk before the format chunk");
      // A writer that was stopped early, or one that streams, may claim more
      // data than the file holds; what is there is what counts.
      const long dataStart = std::ftell(file.get());
      std::fseek(file.get(), 0, SEEK_END);
      const long fileEnd = std::ftell(file.get());
      std::fseek(file.get(), dataStart, SEEK_SET);
      const auto present = static_cast<std::uint64_t>(std::max(0L, fileEnd - dataStart));
      const std::uint64_t usable = std::min<std::uint64_t>(chunkBytes, present);
      totalFrames = usable / static_cast<std::uint64_t>(fileFormat.bytesPerFrame());
      framesLeft = totalFrames;
      return;
    } else {
      // RIFF chunks are padded to an even size.
      const long skip = static_cast<long>(chunkBytes) + (chunkBytes & 1);
      if (std::fseek(file.get(), skip, SEEK_CUR) != 0) fail("truncated chunk");
    }
  }
}

void WavReader::parseFormatChunk(std::uint32_t chunkBytes) {
  if (chunkBytes < chunks::kFormatPlainBytes) fail("format chunk too short");
  std::array<std::uint8_t, chunks::kFormatExtensibleBytes> fields{};
  const std::size_t kept = std::min<std::size_t>(chunkBytes, fields.size());
  if (std::fread(fields.data(), 1, kept, file.get()) != kept) fail("truncated format chunk");
  const long rest = static_cast<long>(chunkBytes - kept) + (chunkBytes & 1);
  if (rest > 0 && std::fseek(file.get(), rest, SEEK_CUR) != 0) fail("truncated format chunk");

  std::uint16_t tag = load16(&fields[chunks::kFormatTag]);
  if (tag == chunks::kFormatExtensible) {
    if (kept < chunks::kFormatExtensibleBytes) fail("extensible format chunk too short");
    tag = load16(&fields[chunks::kFormatSubFormat]);
  }
  fileFormat.channels = load16(&fields[chunks::kFormatChannels]);
  fileFormat.sampleRate = load32(&fields[chunks::kFormatSampleRate]);
  fileFormat.bitsPerSample = load16(&fields[chunks::kFormatBitsPerSample]);
  const std::uint16_t blockAlign = load16(&fields[chunks::kFormatBlockAlign]);
  const auto bits = fileFormat.bitsPerSample;

  if (tag == chunks::kFormatPcm) {
    if (bits != 16 && bits != 24 && bits != 32) {
      fail("PCM with " + std::to_string(bits) + " bits per sample (16, 24 or 32 are read)");
    }
    fileFormat.encoding = Encoding::Pcm;
  } else if (tag == chunks::kFormatFloat) {
    if (bits != 32 && bits != 64) fail("float with " + std::to_string(bits) + " bits per sample");
    fileFormat.encoding = Encoding::Float;
  } else {
    fail("sample format " + std::to_string(tag) + " (PCM or float are read)");
  }
  if (fileFormat.channels == 0) fail("no channels");
  if (fileFormat.sampleRate == 0) fail("sample rate 0");
  if (blockAlign != fileFormat.bytesPerFrame()) fail("block align does not match the format");
}

std::size_t WavReader::readFrames(std::span<std::int32_t> samples, int bits) {
  const std::size_t channels = fileFormat.channels;
  const std::size_t wanted = std::min<std::uint64_t>(samples.size() / channels, framesLeft);
  if (wanted == 0) return 0;
  const std::size_t sampleBytes = static_cast<std::size_t>(fileFormat.bytesPerSample());
  raw.resize(wanted * channels * sampleBytes);
  const std::size_t got = std::fread(raw.data(), 1, raw.size(), file.get());
  if (got != raw.size()) {
    if (std::ferror(file.get())) fail(std::strerror(errno));
  }
  const std::size_t frames = got / (channels * sampleBytes);
  framesLeft = frames < wanted ? 0 : framesLeft - frames;

  const std::uint8_t* in = raw.data();
  for (std::size_t i = 0; i < frames * channels; ++i, in += sampleBytes) {
    if (fileFormat.encoding == Encoding::Pcm) {
      samples[i] = convertDepth(loadSample(in, static_cast<int>(sampleBytes)),
                                fileFormat.bitsPerSample, bits);
    } else if (sampleBytes == sizeof(float)) {
      float value;
      std::memcpy(&value, in, sizeof value);
      samples[i] = floatToSample(value, bits);
    } else {
      double value;
      std::memcpy(&value, in, sizeof value);
      samples[i] = floatToSample(value, bits);
    }
  }
  return frames;
}

}  // namespace wav
