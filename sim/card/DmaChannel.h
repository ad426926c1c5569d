// One of the card's two DMA engines as its registers program it: ring base,
// block size, bit depth and rate code, whether it runs, and the byte offset in
// its ring of the next block it moves. Not thread-safe: the card's state lock
// guards every channel.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "card/BlockFormat.h"
#include "card/CardRegisters.h"

namespace card {

class DmaChannel {
 public:
  explicit DmaChannel(std::span<const RateCode> rateCodes) : rates(rateCodes) {}

  void setRingBase(std::uint32_t physical);
  void setBlockBytes(std::uint32_t bytes);
  void setBitDepth(std::uint32_t bits);
  void setRateCode(std::uint32_t code);

  // Starts from the ring's first byte. Refuses (and stays stopped) when the
  // programming does not describe a block of whole frames that tiles the ring
  // at a known rate and depth.
  bool start();
  void stop();

  bool running() const { return isRunning; }
  std::uint32_t position() const { return nextOffset; }
  std::uint64_t ringBase() const { return base; }
  // The format as programmed; meaningful while the channel runs.
  BlockFormat format() const;
  // Changes with every programming, start and stop: a block the engine
  // prepared under an older epoch is dropped rather than applied to a
  // channel that was reprogrammed meanwhile.
  std::uint64_t epoch() const { return changes; }

  // Moves to the next block, wrapping at the ring's end.
  void advance();

 private:
  std::optional<unsigned> sampleRate() const;

  std::span<const RateCode> rates;
  std::uint32_t base = 0;
  std::uint32_t blockBytes = 0;
  std::uint32_t bitDepth = 0;
  std::uint32_t rateCode = 0;
  bool isRunning = false;
  std::uint32_t nextOffset = 0;
  std::uint64_t changes = 0;
};

}  // namespace card
