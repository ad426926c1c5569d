// The RIFF/WAVE layout both the reader and the writer follow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace wav::chunks {

inline constexpr std::string_view kRiff = "RIFF";
inline constexpr std::string_view kWave = "WAVE";
inline constexpr std::string_view kFormat = "fmt ";
inline constexpr std::string_view kData = "data";
inline constexpr std::size_t kIdBytes = 4;
inline constexpr std::size_t kChunkHeaderBytes = 8;  // id, then a 32-bit little-endian size

inline constexpr std::uint16_t kFormatPcm = 1;
inline constexpr std::uint16_t kFormatFloat = 3;
inline constexpr std::uint16_t kFormatExtensible = 0xFFFE;

// Format chunk fields, by byte offset inside the chunk.
inline constexpr std::size_t kFormatTag = 0;
inline constexpr std::size_t kFormatChannels = 2;
inline constexpr std::size_t kFormatSampleRate = 4;
inline constexpr std::size_t kFormatByteRate = 8;
inline constexpr std::size_t kFormatBlockAlign = 12;
inline constexpr std::size_t kFormatBitsPerSample = 14;
inline constexpr std::size_t kFormatPlainBytes = 16;
// The extensible chunk carries the real tag in the first two bytes of its
// sub-format GUID.
inline constexpr std::size_t kFormatSubFormat = 24;
inline constexpr std::size_t kFormatExtensibleBytes = 40;

// The canonical 44-byte header the writer produces: RIFF header, a plain
// format chunk, then the data chunk header.
inline constexpr std::size_t kRiffSizeOffset = 4;
inline constexpr std::size_t kDataSizeOffset = 40;
inline constexpr std::size_t kCanonicalHeaderBytes = 44;
inline constexpr std::uint64_t kMaxRiffSize = 0xFFFFFFFF;

}  // namespace wav::chunks
