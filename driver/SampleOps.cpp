// Sample operations on blocks in the card's format: 16-bit or packed 24-bit
// little-endian signed, interleaved stereo. Integer arithmetic only: this runs
// at dispatch level, where the floating-point state is not saved.
#include "BlockService.h"

namespace {

constexpr LONG kMax16 = 32767;
constexpr LONG kMixLimit16 = 32700;
constexpr LONG kMax24 = 8388607;
constexpr ULONG kHistoryEntries = 128;
constexpr ULONG kMeterFrames = 128;

// The 128-entry input-level history and its write index.
LONG levelHistory[kHistoryEntries];
ULONG historyIndex;

LONG Load24(const UCHAR* p) {
  const LONG value = static_cast<LONG>(p[0]) | static_cast<LONG>(p[1]) << 8 |
                     static_cast<LONG>(p[2]) << 16;
  return (value ^ 0x800000) - 0x800000;  // sign-extend from 24 bits
}

VOID Store24(PUCHAR p, LONG value) {
  p[0] = static_cast<UCHAR>(value);
  p[1] = static_cast<UCHAR>(value >> 8);
  p[2] = static_cast<UCHAR>(value >> 16);
}

SHORT Load16(const UCHAR* p) {
  return static_cast<SHORT>(static_cast<USHORT>(p[0] | p[1] << 8));
}

VOID Store16(PUCHAR p, LONG value) {
  p[0] = static_cast<UCHAR>(value);
  p[1] = static_cast<UCHAR>(value >> 8);
}

LONG Clamp(LONGLONG value, LONG limit) {
  if (value > limit) return limit;
  if (value < -limit) return -limit;
  return static_cast<LONG>(value);
}

// Applies f to every sample of the block in place.
template <typename Transform>
VOID ForEachSample(AudioBlock& block, Transform transform) {
  if (cardContext.bitDepth == 24) {
    for (ULONG i = 0; i + 3 <= block.length; i += 3) {
      Store24(block.data + i, transform(Load24(block.data + i), kMax24));
    }
  } else {
    for (ULONG i = 0; i + 2 <= block.length; i += 2) {
      Store16(block.data + i, transform(Load16(block.data + i), kMax16));
    }
  }
}

LONG HistoryAverage() {
  LONGLONG sum = 0;
  for (LONG level : levelHistory) sum += level;
  return static_cast<LONG>(sum / static_cast<LONGLONG>(kHistoryEntries));
}

}  // namespace

VOID ClearInputLevelHistory() {
  RtlZeroMemory(levelHistory, sizeof levelHistory);
  historyIndex = 0;
}

VOID ApplyRecordGain(AudioBlock& block) {
  const LONGLONG volume = cardContext.recordVolume;
  // 64-bit products: a 24-bit sample times any volume cannot overflow.
  ForEachSample(block, [volume](LONG s, LONG limit) {
    return Clamp(static_cast<LONGLONG>(s) * volume / 100, limit);
  });
}

VOID MeasureInputLevel(const AudioBlock& block) {
  auto& card = cardContext;
  if (!card.duckingEnabled) return;
  const bool wide = card.bitDepth == 24;
  const ULONG frameBytes = wide ? 6 : 4;
  const LONG fullScale = wide ? kMax24 : kMax16;
  LONGLONG sum = 0;
  for (ULONG frame = 0; frame < kMeterFrames && (frame + 1) * frameBytes <= block.length;
       ++frame) {
    const UCHAR* sample = block.data + frame * frameBytes;
    const LONG value = wide ? Load24(sample) : Load16(sample);
    sum += value < 0 ? -static_cast<LONGLONG>(value) : value;
  }
  LONGLONG level = (sum / kMeterFrames) * 100 / fullScale;
  if (card.duckingSensitivity != 0) level = level * 100 / card.duckingSensitivity;
  // The history holds 32-bit entries; keep an extreme sensitivity from wrapping them.
  if (level > 0x7FFFFF) level = 0x7FFFFF;
  if (level < -0x7FFFFF) level = -0x7FFFFF;
  levelHistory[historyIndex] = static_cast<LONG>(level);
  historyIndex = (historyIndex + 1) % kHistoryEntries;
}

VOID DuckBlock(AudioBlock& block) {
  LONG gain = 100 - HistoryAverage();
  // Never above unity: a negative average (a negative sensitivity) must not
  // amplify beyond the sample range.
  if (gain < 0) gain = 0;
  if (gain > 100) gain = 100;
  ForEachSample(block, [gain](LONG s, LONG) { return s * gain / 100; });
}

VOID Mix(AudioBlock& destination, const AudioBlock& a, const AudioBlock& b) {
  const ULONG length = cardContext.blockBytes;
  if (cardContext.bitDepth == 24) {
    for (ULONG i = 0; i + 3 <= length; i += 3) {
      Store24(destination.data + i,
              Clamp(static_cast<LONGLONG>(Load24(a.data + i)) + Load24(b.data + i), kMax24));
    }
  } else {
    for (ULONG i = 0; i + 2 <= length; i += 2) {
      Store16(destination.data + i, Clamp(Load16(a.data + i) + Load16(b.data + i), kMixLimit16));
    }
  }
}
