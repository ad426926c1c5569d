// Sample operations on blocks in the card's format: 16-bit or packed 24-bit
// little-endian signed, interleaved stereo. Integer arithmetic only: this runs
// at dispatch level, where the floating-point state is not saved. Each
// operation is one pass over whole words (SampleCodec.h); the tick's fused
// forms save the passes it would otherwise make over the same block.
#include "BlockService.h"
#include "SampleCodec.h"

namespace {

using codec::Clamp;
using codec::Pcm16;
using codec::Pcm24;

constexpr ULONG kHistoryEntries = 128;
constexpr ULONG kMeterFrames = 128;

// The 128-entry input-level history and its write index.
LONG levelHistory[kHistoryEntries];
ULONG historyIndex;

bool Wide() { return cardContext.bitDepth == 24; }

// Unrolled by hand: once inlined, the four samples of a group live in registers.
template <typename F>
inline VOID Each4(F f) {
  f(0);
  f(1);
  f(2);
  f(3);
}

// dst = f(src) group by group; dst may be src.
template <typename Codec, typename Transform>
VOID MapBlock(PUCHAR dst, const UCHAR* src, ULONG length, Transform transform) {
  LONG s[4];
  for (ULONG i = 0; i < length; i += Codec::kGroupBytes) {
    Codec::Load(src + i, s);
    Each4([&](int k) { s[k] = transform(s[k]); });
    Codec::Store(dst + i, s);
  }
}

template <typename Codec>
VOID MixBlock(PUCHAR dst, const UCHAR* a, const UCHAR* b, ULONG length) {
  LONG x[4], y[4];
  for (ULONG i = 0; i < length; i += Codec::kGroupBytes) {
    Codec::Load(a + i, x);
    Codec::Load(b + i, y);
    Each4([&](int k) { x[k] = Clamp(x[k] + y[k], Codec::kMixLimit); });
    Codec::Store(dst + i, x);
  }
}

template <typename Codec>
VOID MixTwiceBlock(PUCHAR first, PUCHAR second, const UCHAR* a, const UCHAR* b, const UCHAR* c,
                   ULONG length) {
  LONG x[4], y[4], z[4];
  for (ULONG i = 0; i < length; i += Codec::kGroupBytes) {
    Codec::Load(a + i, x);
    Codec::Load(b + i, y);
    Codec::Load(c + i, z);
    Each4([&](int k) {
      x[k] = Clamp(x[k] + y[k], Codec::kMixLimit);
      z[k] = Clamp(x[k] + z[k], Codec::kMixLimit);
    });
    Codec::Store(first + i, x);
    Codec::Store(second + i, z);
  }
}

// s * volume / 100 limited to the format's range. Up to a volume of 256 the
// product fits 32 bits even for 24-bit samples; beyond, it is taken in 64.
template <typename Codec>
VOID GainBlock(PUCHAR dst, const UCHAR* src, ULONG length, LONG volume) {
  if (volume >= -256 && volume <= 256) {
    MapBlock<Codec>(dst, src, length,
                    [volume](LONG s) { return Clamp(s * volume / 100, Codec::kMax); });
  } else {
    MapBlock<Codec>(dst, src, length, [volume](LONG s) {
      LONGLONG scaled = static_cast<LONGLONG>(s) * volume / 100;
      if (scaled > Codec::kMax) scaled = Codec::kMax;
      if (scaled < -Codec::kMax) scaled = -Codec::kMax;
      return static_cast<LONG>(scaled);
    });
  }
}

// A gain of 0 ... 100: the product never leaves 32 bits, the result never
// leaves the sample range.
template <typename Codec>
VOID ScaleBlock(PUCHAR dst, const UCHAR* src, ULONG length, LONG gain) {
  MapBlock<Codec>(dst, src, length, [gain](LONG s) { return s * gain / 100; });
}

LONG DuckGain() {
  LONGLONG sum = 0;
  for (LONG level : levelHistory) sum += level;
  LONG gain = 100 - static_cast<LONG>(sum / static_cast<LONGLONG>(kHistoryEntries));
  // Never above unity: a negative average (a negative sensitivity) must not
  // amplify beyond the sample range.
  if (gain < 0) gain = 0;
  if (gain > 100) gain = 100;
  return gain;
}

}  // namespace

VOID ClearInputLevelHistory() {
  RtlZeroMemory(levelHistory, sizeof levelHistory);
  historyIndex = 0;
}

VOID CopyGained(AudioBlock& destination, const UCHAR* source) {
  const LONG volume = cardContext.recordVolume;
  const ULONG length = cardContext.blockBytes;
  if (volume == 100) {
    RtlCopyMemory(destination.data, source, length);
  } else if (Wide()) {
    GainBlock<Pcm24>(destination.data, source, length, volume);
  } else {
    GainBlock<Pcm16>(destination.data, source, length, volume);
  }
}

VOID ApplyRecordGain(AudioBlock& block) { CopyGained(block, block.data); }

VOID MeasureInputLevel(const AudioBlock& block) {
  auto& card = cardContext;
  if (!card.duckingEnabled) return;
  const bool wide = Wide();
  const ULONG frameBytes = wide ? 6 : 4;
  const LONG fullScale = wide ? Pcm24::kMax : Pcm16::kMax;
  const ULONG frames = block.length / frameBytes < kMeterFrames ? block.length / frameBytes
                                                                 : kMeterFrames;
  LONGLONG sum = 0;
  for (ULONG frame = 0; frame < frames; ++frame) {
    const UCHAR* p = block.data + frame * frameBytes;
    const LONG value = wide ? (static_cast<LONG>(p[0] | p[1] << 8 | p[2] << 16) ^ 0x800000) -
                                  0x800000
                            : static_cast<SHORT>(p[0] | p[1] << 8);
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

VOID CopyDucked(AudioBlock& destination, const UCHAR* source, ULONG length) {
  const LONG gain = DuckGain();
  if (gain == 100) {
    if (destination.data != source) RtlCopyMemory(destination.data, source, length);
  } else if (Wide()) {
    ScaleBlock<Pcm24>(destination.data, source, length, gain);
  } else {
    ScaleBlock<Pcm16>(destination.data, source, length, gain);
  }
}

VOID DuckBlock(AudioBlock& block) { CopyDucked(block, block.data, cardContext.blockBytes); }

VOID Mix(AudioBlock& destination, const AudioBlock& a, const AudioBlock& b) {
  if (Wide()) {
    MixBlock<Pcm24>(destination.data, a.data, b.data, cardContext.blockBytes);
  } else {
    MixBlock<Pcm16>(destination.data, a.data, b.data, cardContext.blockBytes);
  }
}

VOID MixTwice(AudioBlock& first, AudioBlock& second, const AudioBlock& a, const AudioBlock& b,
              const AudioBlock& c) {
  if (Wide()) {
    MixTwiceBlock<Pcm24>(first.data, second.data, a.data, b.data, c.data, cardContext.blockBytes);
  } else {
    MixTwiceBlock<Pcm16>(first.data, second.data, a.data, b.data, c.data, cardContext.blockBytes);
  }
}

namespace {

// One pass over the groups of a block for the normal routing's busiest rows:
// REC = MIX(previous) + IN, SYS = ducked render, MIX = LLP + SYS, OUT = MIX + IN.
template <typename Codec, bool Loopback, bool Monitor, bool Duck>
VOID NormalClientRenderPass(const UCHAR* render, const UCHAR* llp, LONG duckGain) {
  auto& card = cardContext;
  PUCHAR mix = card.mixBlock.data;
  PUCHAR sys = card.sysBlock.data;
  PUCHAR rec = card.recBlock.data;
  PUCHAR out = card.outBlock.data;
  const UCHAR* in = card.inBlock.data;
  // Two samples at a time keep every value of the chain in a register.
  LONG m[2], i[2], l[2], r[2];
  for (ULONG k = 0; k < card.blockBytes; k += Codec::kGroupBytes) {
    Codec::Load(in + k, i);
    if constexpr (Loopback) {
      Codec::Load(mix + k, m);  // the previous tick's mix, before it is replaced
      m[0] = Clamp(m[0] + i[0], Codec::kMixLimit);
      m[1] = Clamp(m[1] + i[1], Codec::kMixLimit);
      Codec::Store(rec + k, m);
    }
    Codec::Load(render + k, r);
    if constexpr (Duck) {
      r[0] = r[0] * duckGain / 100;
      r[1] = r[1] * duckGain / 100;
    }
    Codec::Store(sys + k, r);
    Codec::Load(llp + k, l);
    l[0] = Clamp(l[0] + r[0], Codec::kMixLimit);
    l[1] = Clamp(l[1] + r[1], Codec::kMixLimit);
    Codec::Store(mix + k, l);
    if constexpr (Monitor) {
      l[0] = Clamp(l[0] + i[0], Codec::kMixLimit);
      l[1] = Clamp(l[1] + i[1], Codec::kMixLimit);
      Codec::Store(out + k, l);
    }
  }
}

template <typename Codec, bool Duck>
VOID DispatchNormal(const UCHAR* render, const UCHAR* llp, bool loopback, bool monitor,
                    LONG gain) {
  if (loopback && monitor) {
    NormalClientRenderPass<Codec, true, true, Duck>(render, llp, gain);
  } else if (loopback) {
    NormalClientRenderPass<Codec, true, false, Duck>(render, llp, gain);
  } else if (monitor) {
    NormalClientRenderPass<Codec, false, true, Duck>(render, llp, gain);
  } else {
    NormalClientRenderPass<Codec, false, false, Duck>(render, llp, gain);
  }
}

// SYS = ducked render, REC = LLP + SYS.
template <typename Codec, bool Duck>
VOID ClientRenderMixPass(const UCHAR* render, const UCHAR* llp, LONG duckGain) {
  auto& card = cardContext;
  PUCHAR sys = card.sysBlock.data;
  PUCHAR rec = card.recBlock.data;
  LONG l[4], r[4];
  for (ULONG k = 0; k < card.blockBytes; k += Codec::kGroupBytes) {
    Codec::Load(render + k, r);
    if constexpr (Duck) Each4([&](int n) { r[n] = r[n] * duckGain / 100; });
    Codec::Store(sys + k, r);
    Codec::Load(llp + k, l);
    Each4([&](int n) { l[n] = Clamp(l[n] + r[n], Codec::kMixLimit); });
    Codec::Store(rec + k, l);
  }
}

}  // namespace

VOID NormalClientRenderBlocks(const UCHAR* render, const AudioBlock& llp, bool loopback,
                              bool monitor) {
  const bool duck = cardContext.duckingEnabled != 0;
  const LONG gain = duck ? DuckGain() : 100;
  if (Wide()) {
    duck ? DispatchNormal<codec::Pcm24Pair, true>(render, llp.data, loopback, monitor, gain)
         : DispatchNormal<codec::Pcm24Pair, false>(render, llp.data, loopback, monitor, gain);
  } else {
    duck ? DispatchNormal<codec::Pcm16Pair, true>(render, llp.data, loopback, monitor, gain)
         : DispatchNormal<codec::Pcm16Pair, false>(render, llp.data, loopback, monitor, gain);
  }
}

VOID ClientRenderMixBlocks(const UCHAR* render, const AudioBlock& llp) {
  const bool duck = cardContext.duckingEnabled != 0;
  const LONG gain = duck ? DuckGain() : 100;
  if (Wide()) {
    duck ? ClientRenderMixPass<Pcm24, true>(render, llp.data, gain)
         : ClientRenderMixPass<Pcm24, false>(render, llp.data, gain);
  } else {
    duck ? ClientRenderMixPass<Pcm16, true>(render, llp.data, gain)
         : ClientRenderMixPass<Pcm16, false>(render, llp.data, gain);
  }
}
