// The shape of one DMA block: its rate, sample width and length, and how the
// card packs its samples into ring bytes.
#pragma once

#include <cstdint>
#include <span>

#include "card/CardRegisters.h"

namespace card {

struct BlockFormat {
  unsigned sampleRate = 0;
  int bitDepth = 0;
  std::uint32_t blockBytes = 0;

  int bytesPerSample() const { return bitDepth / 8; }
  std::uint32_t bytesPerFrame() const {
    return static_cast<std::uint32_t>(bytesPerSample() * kChannels);
  }
  std::uint32_t frames() const { return blockBytes / bytesPerFrame(); }
  std::uint32_t samples() const { return frames() * kChannels; }
  bool operator==(const BlockFormat&) const = default;
};

// Ring bytes of one block to interleaved samples at the block's depth, and back.
void unpackBlock(std::span<const std::uint8_t> bytes, int bitDepth,
                 std::span<std::int32_t> samples);
void packBlock(std::span<const std::int32_t> samples, int bitDepth, std::span<std::uint8_t> bytes);

}  // namespace card
