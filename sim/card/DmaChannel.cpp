#include "card/DmaChannel.h"

#include <cassert>

namespace card {

void DmaChannel::setRingBase(std::uint32_t physical) {
  base = physical;
  ++changes;
}

void DmaChannel::setBlockBytes(std::uint32_t bytes) {
  blockBytes = bytes;
  ++changes;
}

void DmaChannel::setBitDepth(std::uint32_t bits) {
  bitDepth = bits;
  ++changes;
}

void DmaChannel::setRateCode(std::uint32_t code) {
  rateCode = code;
  ++changes;
}

std::optional<unsigned> DmaChannel::sampleRate() const {
  for (const RateCode& entry : rates) {
    if (entry.code == rateCode) return entry.sampleRate;
  }
  return std::nullopt;
}

BlockFormat DmaChannel::format() const {
  return BlockFormat{sampleRate().value_or(0), static_cast<int>(bitDepth), blockBytes};
}

bool DmaChannel::start() {
  ++changes;
  const bool depthKnown = bitDepth == 16 || bitDepth == 24;
  const BlockFormat shape = format();
  const bool tiles = depthKnown && blockBytes != 0 && blockBytes % shape.bytesPerFrame() == 0 &&
                     kRingBytes % blockBytes == 0;
  if (!sampleRate() || !tiles) {
    isRunning = false;
    return false;
  }
  isRunning = true;
  nextOffset = 0;
  return true;
}

void DmaChannel::stop() {
  ++changes;
  isRunning = false;
}

void DmaChannel::advance() {
  assert(isRunning);
  nextOffset = (nextOffset + blockBytes) % kRingBytes;
}

}  // namespace card
