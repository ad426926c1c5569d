// The panel's view of the card's format and activity, as the driver reports it.
#pragma once

#include <cstdint>

struct CardFormat {
  std::uint32_t sampleRate = 0;
  std::uint32_t bitDepth = 0;
  std::uint32_t bufferFrames = 0;
  std::uint32_t activity = 0;  // bit 0 render, bit 1 capture, bit 2 low-latency client or claim
};
