// Card samples (16-bit or packed 24-bit little-endian) to floats and back.
#pragma once

#include <cstddef>
#include <cstdint>

namespace audio {

// Full scale of a format: 32768 or 8388608; samples map to [-1, 1).
void cardToFloat(const std::uint8_t* card, unsigned bitsPerSample, std::size_t samples,
                 float* out);
// Rounded to nearest and limited to the format's range.
void floatToCard(const float* in, unsigned bitsPerSample, std::size_t samples,
                 std::uint8_t* card);

}  // namespace audio
