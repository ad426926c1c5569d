// Little-endian signed PCM samples as WAV files and the card's rings store
// them (16-bit, packed 24-bit, 32-bit), and moves between bit depths.
#pragma once

#include <cstdint>

namespace wav {

// Largest positive sample at a bit depth: 32767 at 16 bits, 8388607 at 24.
constexpr std::int64_t fullScale(int bits) {
  return (std::int64_t{1} << (bits - 1)) - 1;
}

inline std::int32_t loadSample(const std::uint8_t* bytes, int bytesPerSample) {
  std::uint32_t raw = 0;
  for (int i = 0; i < bytesPerSample; ++i) raw |= std::uint32_t{bytes[i]} << (8 * i);
  const int unusedBits = 32 - 8 * bytesPerSample;
  // Shifting the top byte into place and back sign-extends narrower samples.
  return static_cast<std::int32_t>(raw << unusedBits) >> unusedBits;
}

inline void storeSample(std::uint8_t* bytes, std::int32_t value, int bytesPerSample) {
  const auto raw = static_cast<std::uint32_t>(value);
  for (int i = 0; i < bytesPerSample; ++i) bytes[i] = static_cast<std::uint8_t>(raw >> (8 * i));
}

// Widening pads with zero bits, narrowing drops the low bits, as converters
// of those widths wired to each other would.
inline std::int32_t convertDepth(std::int32_t value, int fromBits, int toBits) {
  if (toBits < fromBits) return value >> (fromBits - toBits);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) << (toBits - fromBits));
}

}  // namespace wav
