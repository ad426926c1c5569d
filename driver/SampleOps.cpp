// Sample operations on blocks in the card's format: 16-bit or packed 24-bit
// little-endian signed, interleaved stereo. Integer arithmetic only: this runs
// at dispatch level, where the floating-point state is not saved. Each
// operation is one pass over the groups of a block (SampleCodec.h); the tick's
// fused forms save the passes it would otherwise make over the same block.
#include "BlockService.h"
#include "SampleCodec.h"

namespace {

using codec::Pcm16;
using codec::Pcm24;
using codec::Percent;
using codec::PercentFactor;

constexpr ULONG kHistoryEntries = 128;
constexpr ULONG kMeterFrames = 128;

// The 128-entry input-level history, its write index and its running sum.
LONG levelHistory[kHistoryEntries];
ULONG historyIndex;
LONGLONG historySum;

// f(codec) with the card's sample format: Pcm24 or Pcm16.
template <typename F>
KV_ALWAYS_INLINE inline VOID WithCodec(F f) {
  if (cardContext.bitDepth == 24) {
    f(Pcm24{});
  } else {
    f(Pcm16{});
  }
}

// The samples of a group, unrolled: f(0), f(1), ... with each k a constant.
template <int K = 0, typename F>
KV_ALWAYS_INLINE inline VOID EachSample(F f) {
  if constexpr (K < codec::kGroupSamples) {
    f(K);
    EachSample<K + 1>(f);
  }
}

// dst = f(src) sample by sample; dst may be src: each sample is taken before
// the one behind it is put (a packed sample's put reaches into the next).
template <typename Codec, typename Transform>
VOID MapBlock(PUCHAR dst, const UCHAR* src, ULONG length, Transform transform) {
  for (ULONG_PTR i = 0; i < length; i += Codec::kGroupBytes) {
    LONGLONG next = Codec::Get64(src + i, 0);
    EachSample([&](int k) KV_ALWAYS_INLINE {
      const LONGLONG s = next;
      if (k < codec::kGroupSamples - 1) next = Codec::Get64(src + i, k + 1);
      Codec::Put(dst + i, k, transform(s));
    });
  }
}

// dst = a + b; dst may be a or b (taken ahead as in MapBlock).
template <typename Codec>
VOID MixBlock(PUCHAR dst, const UCHAR* a, const UCHAR* b, ULONG length) {
  const codec::Range limit(Codec::kMixLimit);
  for (ULONG_PTR i = 0; i < length; i += Codec::kGroupBytes) {
    LONG next = Codec::Get(a + i, 0) + Codec::Get(b + i, 0);
    EachSample([&](int k) KV_ALWAYS_INLINE {
      const LONG sum = next;
      if (k < codec::kGroupSamples - 1) next = Codec::Get(a + i, k + 1) + Codec::Get(b + i, k + 1);
      Codec::Put(dst + i, k, limit(sum));
    });
  }
}

// s * volume / 100 limited to the format's range, for any volume: up to the
// codec's largest percentage by the reciprocal, beyond it in 64 bits.
template <typename Codec>
VOID GainBlock(PUCHAR dst, const UCHAR* src, ULONG length, LONG volume) {
  if (volume > 0 && volume <= Codec::kMaxPercent) {
    const LONGLONG factor = PercentFactor(volume);
    const codec::Range limit(Codec::kMax);
    MapBlock<Codec>(dst, src, length,
                    [factor, limit](LONGLONG s) { return limit(Percent(s, factor)); });
  } else {
    MapBlock<Codec>(dst, src, length, [volume](LONGLONG s) {
      LONGLONG scaled = static_cast<LONGLONG>(s) * volume / 100;
      if (scaled > Codec::kMax) scaled = Codec::kMax;
      if (scaled < -Codec::kMax) scaled = -Codec::kMax;
      return static_cast<LONG>(scaled);
    });
  }
}

// A ducking gain of 1 ... 99 (as PercentFactor): the result never leaves the
// sample range.
template <typename Codec>
VOID ScaleBlock(PUCHAR dst, const UCHAR* src, ULONG length, LONGLONG factor) {
  MapBlock<Codec>(dst, src, length, [factor](LONGLONG s) { return Percent(s, factor); });
}

LONG DuckGain() {
  LONG gain = 100 - static_cast<LONG>(historySum / static_cast<LONGLONG>(kHistoryEntries));
  // Never above unity: a negative average (a negative sensitivity) must not
  // amplify beyond the sample range.
  if (gain < 0) gain = 0;
  if (gain > 100) gain = 100;
  return gain;
}

// How the render block is ducked on its way to SYS.
enum class Duck { Off, Silence, Scale };

template <Duck D>
inline LONG Ducked(LONGLONG s, LONGLONG factor) {
  if constexpr (D == Duck::Off) return static_cast<LONG>(s);
  if constexpr (D == Duck::Silence) return 0;
  return Percent(s, factor);
}

struct DuckSetting {
  Duck duck;
  LONGLONG factor;
};

DuckSetting CurrentDuck() {
  if (!cardContext.duckingEnabled) return {Duck::Off, 0};
  const LONG gain = DuckGain();
  if (gain == 100) return {Duck::Off, 0};
  if (gain == 0) return {Duck::Silence, 0};
  return {Duck::Scale, PercentFactor(gain)};
}

template <Duck D>
struct DuckAs {
  static constexpr Duck kDuck = D;
};

// f(DuckAs<the current duck>{}, its factor): the pass for each duck compiled apart.
template <typename F>
KV_ALWAYS_INLINE inline VOID WithDuck(F f) {
  const DuckSetting duck = CurrentDuck();
  switch (duck.duck) {
    case Duck::Off:
      return f(DuckAs<Duck::Off>{}, duck.factor);
    case Duck::Silence:
      return f(DuckAs<Duck::Silence>{}, duck.factor);
    case Duck::Scale:
      return f(DuckAs<Duck::Scale>{}, duck.factor);
  }
}

template <typename Codec>
LONGLONG MeterSum(const UCHAR* data, ULONG frames) {
  LONGLONG sum = 0;
  // Left channel only: the even samples of a group.
  const ULONG groups = frames / (codec::kGroupSamples / 2);
  for (ULONG i = 0; i < groups * Codec::kGroupBytes; i += Codec::kGroupBytes) {
    EachSample([&](int k) KV_ALWAYS_INLINE {
      if (k % 2) return;
      const LONG value = Codec::Get(data + i, k);
      sum += value < 0 ? -value : value;
    });
  }
  return sum;
}

// The average magnitude of the first frames' left samples, in percent of
// full scale (0 ... 100).
template <typename Codec>
LONG BlockLevel(const AudioBlock& block) {
  const ULONG frameBytes = Codec::kGroupBytes / (codec::kGroupSamples / 2);
  const ULONG frames = block.length / frameBytes < kMeterFrames ? block.length / frameBytes
                                                                 : kMeterFrames;
  return static_cast<LONG>(MeterSum<Codec>(block.data, frames) / kMeterFrames * 100 / Codec::kMax);
}

}  // namespace

VOID ClearInputLevelHistory() {
  RtlZeroMemory(levelHistory, sizeof levelHistory);
  historyIndex = 0;
  historySum = 0;
}

VOID CopyGained(AudioBlock& destination, const UCHAR* source) {
  const LONG volume = cardContext.recordVolume;
  const ULONG length = cardContext.blockBytes;
  if (volume == 100) {
    RtlCopyMemory(destination.data, source, length);
    return;
  }
  WithCodec([&](auto codec) {
    GainBlock<decltype(codec)>(destination.data, source, length, volume);
  });
}

VOID ApplyRecordGain(AudioBlock& block) { CopyGained(block, block.data); }

VOID MeasureInputLevel(const AudioBlock& block) {
  if (!cardContext.duckingEnabled) return;
  LONG level = 0;
  WithCodec([&](auto codec) { level = BlockLevel<decltype(codec)>(block); });
  // 0 ... 100 before the sensitivity: whatever the sensitivity, an entry stays
  // within +-10,000 and the history's sum far inside its 64 bits.
  const LONG sensitivity = cardContext.duckingSensitivity;
  if (sensitivity != 0) level = level * 100 / sensitivity;
  historySum += level - levelHistory[historyIndex];
  levelHistory[historyIndex] = level;
  historyIndex = (historyIndex + 1) % kHistoryEntries;
}

VOID CopyDucked(AudioBlock& destination, const UCHAR* source, ULONG length) {
  const DuckSetting duck = CurrentDuck();
  switch (duck.duck) {
    case Duck::Off:
      if (destination.data != source) RtlCopyMemory(destination.data, source, length);
      return;
    case Duck::Silence:
      RtlZeroMemory(destination.data, length);
      return;
    case Duck::Scale:
      WithCodec([&](auto codec) {
        ScaleBlock<decltype(codec)>(destination.data, source, length, duck.factor);
      });
      return;
  }
}

VOID DuckBlock(AudioBlock& block) { CopyDucked(block, block.data, cardContext.blockBytes); }

VOID Mix(AudioBlock& destination, const AudioBlock& a, const AudioBlock& b) {
  WithCodec([&](auto codec) {
    MixBlock<decltype(codec)>(destination.data, a.data, b.data, cardContext.blockBytes);
  });
}

namespace {

// One pass over the groups of a block for the normal routing's busiest rows:
// REC = MIX(previous) + IN, SYS = ducked render, MIX = LLP + SYS, OUT = MIX + IN.
template <typename Codec, bool Loopback, bool Monitor, Duck D>
VOID NormalClientRenderPass(const UCHAR* render, const UCHAR* llp, LONGLONG duckFactor) {
  auto& card = cardContext;
  PUCHAR mix = card.mixBlock.data;
  PUCHAR sys = card.sysBlock.data;
  PUCHAR rec = card.recBlock.data;
  PUCHAR out = card.outBlock.data;
  const UCHAR* in = card.inBlock.data;
  const ULONG length = card.blockBytes;
  const codec::Range limit(Codec::kMixLimit);
  for (ULONG_PTR i = 0; i < length; i += Codec::kGroupBytes) {
    // The previous tick's mix: each sample is taken before the one ahead of
    // it is replaced (a packed sample's put reaches into the next).
    LONG previous = Loopback ? Codec::Get(mix + i, 0) : 0;
    EachSample([&](int k) KV_ALWAYS_INLINE {
      const LONG input = Codec::Get(in + i, k);
      if constexpr (Loopback) {
        Codec::Put(rec + i, k, limit(previous + input));
        if (k < codec::kGroupSamples - 1) previous = Codec::Get(mix + i, k + 1);
      }
      const LONG played = Ducked<D>(Codec::Get64(render + i, k), duckFactor);
      Codec::Put(sys + i, k, played);
      const LONG mixed = limit(Codec::Get(llp + i, k) + played);
      Codec::Put(mix + i, k, mixed);
      if constexpr (Monitor) Codec::Put(out + i, k, limit(mixed + input));
    });
  }
}

// SYS = ducked render, REC = LLP + SYS.
template <typename Codec, Duck D>
VOID ClientRenderMixPass(const UCHAR* render, const UCHAR* llp, LONGLONG duckFactor) {
  auto& card = cardContext;
  PUCHAR sys = card.sysBlock.data;
  PUCHAR rec = card.recBlock.data;
  const ULONG length = card.blockBytes;
  const codec::Range limit(Codec::kMixLimit);
  for (ULONG_PTR i = 0; i < length; i += Codec::kGroupBytes) {
    EachSample([&](int k) KV_ALWAYS_INLINE {
      const LONG played = Ducked<D>(Codec::Get64(render + i, k), duckFactor);
      Codec::Put(sys + i, k, played);
      Codec::Put(rec + i, k, limit(Codec::Get(llp + i, k) + played));
    });
  }
}

}  // namespace

VOID NormalClientRenderBlocks(const UCHAR* render, const AudioBlock& llp, bool loopback,
                              bool monitor) {
  WithCodec([&](auto codec) {
    WithDuck([&](auto duck, LONGLONG factor) {
      using Codec = decltype(codec);
      constexpr Duck D = decltype(duck)::kDuck;
      if (loopback && monitor) {
        NormalClientRenderPass<Codec, true, true, D>(render, llp.data, factor);
      } else if (loopback) {
        NormalClientRenderPass<Codec, true, false, D>(render, llp.data, factor);
      } else if (monitor) {
        NormalClientRenderPass<Codec, false, true, D>(render, llp.data, factor);
      } else {
        NormalClientRenderPass<Codec, false, false, D>(render, llp.data, factor);
      }
    });
  });
}

VOID ClientRenderMixBlocks(const UCHAR* render, const AudioBlock& llp) {
  WithCodec([&](auto codec) {
    WithDuck([&](auto duck, LONGLONG factor) {
      ClientRenderMixPass<decltype(codec), decltype(duck)::kDuck>(render, llp.data, factor);
    });
  });
}
