#include "card/wav/WavWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "card/wav/PcmSamples.h"
#include "card/wav/WavChunks.h"

namespace wav {

namespace {

void put16(std::uint8_t* bytes, std::uint32_t value) {
  bytes[0] = static_cast<std::uint8_t>(value);
  bytes[1] = static_cast<std::uint8_t>(value >> 8);
}

void put32(std::uint8_t* bytes, std::uint32_t value) {
  put16(bytes, value);
  put16(bytes + 2, value >> 16);
}

void putId(std::uint8_t* bytes, std::string_view id) {
  std::memcpy(bytes, id.data(), id.size());
}

bool writable(const WavFormat& format) {
  return format.encoding == Encoding::Pcm && format.channels > 0 && format.sampleRate > 0 &&
         (format.bitsPerSample == 16 || format.bitsPerSample == 24 || format.bitsPerSample == 32);
}

}  // namespace

WavWriter::WavWriter(const std::string& filePath, const WavFormat& format)
    : path(filePath), fileFormat(format) {
  if (!writable(format)) fail("only 16, 24 or 32-bit PCM is written");
  descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (descriptor < 0) fail(std::strerror(errno));
  writeHeader();
}

WavWriter::~WavWriter() {
  if (descriptor >= 0) ::close(descriptor);
}

void WavWriter::fail(const std::string& problem) const {
  throw WavError(path + ": " + problem);
}

void WavWriter::setFormat(const WavFormat& format) {
  if (dataBytes != 0) fail("format changed after samples were written");
  if (!writable(format)) fail("only 16, 24 or 32-bit PCM is written");
  fileFormat = format;
  writeHeader();
}

std::uint64_t WavWriter::framesWritten() const {
  return dataBytes / static_cast<std::uint64_t>(fileFormat.bytesPerFrame());
}

void WavWriter::writeFrames(std::span<const std::int32_t> samples) {
  const int sampleBytes = fileFormat.bytesPerSample();
  const std::size_t frames = samples.size() / fileFormat.channels;
  const std::size_t bytes = frames * static_cast<std::size_t>(fileFormat.bytesPerFrame());
  if (chunks::kCanonicalHeaderBytes - chunks::kChunkHeaderBytes + dataBytes + bytes >
      chunks::kMaxRiffSize) {
    fail("a WAV file cannot grow past 4 GiB");
  }
  packed.resize(bytes);
  for (std::size_t i = 0; i < frames * fileFormat.channels; ++i) {
    storeSample(packed.data() + i * static_cast<std::size_t>(sampleBytes), samples[i], sampleBytes);
  }
  // The data goes down before the sizes that announce it, so a reader never
  // sees a header promising bytes that are not there.
  writeAt(chunks::kCanonicalHeaderBytes + dataBytes, packed);
  dataBytes += bytes;
  std::array<std::uint8_t, 4> size{};
  put32(size.data(), static_cast<std::uint32_t>(chunks::kCanonicalHeaderBytes -
                                                chunks::kChunkHeaderBytes + dataBytes));
  writeAt(chunks::kRiffSizeOffset, size);
  put32(size.data(), static_cast<std::uint32_t>(dataBytes));
  writeAt(chunks::kDataSizeOffset, size);
}

void WavWriter::writeHeader() {
  std::array<std::uint8_t, chunks::kCanonicalHeaderBytes> header{};
  std::uint8_t* at = header.data();
  putId(at, chunks::kRiff);
  put32(at + 4,
        static_cast<std::uint32_t>(chunks::kCanonicalHeaderBytes - chunks::kChunkHeaderBytes));
  putId(at + 8, chunks::kWave);
  at += 12;
  putId(at, chunks::kFormat);
  put32(at + 4, chunks::kFormatPlainBytes);
  std::uint8_t* fields = at + chunks::kChunkHeaderBytes;
  const auto frameBytes = static_cast<std::uint32_t>(fileFormat.bytesPerFrame());
  put16(fields + chunks::kFormatTag, chunks::kFormatPcm);
  put16(fields + chunks::kFormatChannels, fileFormat.channels);
  put32(fields + chunks::kFormatSampleRate, fileFormat.sampleRate);
  put32(fields + chunks::kFormatByteRate, fileFormat.sampleRate * frameBytes);
  put16(fields + chunks::kFormatBlockAlign, frameBytes);
  put16(fields + chunks::kFormatBitsPerSample, fileFormat.bitsPerSample);
  at = fields + chunks::kFormatPlainBytes;
  putId(at, chunks::kData);
  put32(at + 4, 0);
  writeAt(0, header);
}

void WavWriter::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = ::pwrite(descriptor, bytes.data() + done, bytes.size() - done,
                                     static_cast<off_t>(offset + done));
    if (written < 0) {
      if (errno == EINTR) continue;
      fail(std::strerror(errno));
    }
    done += static_cast<std::size_t>(written);
  }
}

}  // namespace wav
