// Samples of a block taken sixteen at a time: a group of 32 bytes at 16 bits,
// 48 at packed 24 bits. Blocks of 128, 256 or 512 stereo frames are whole
// numbers of groups at either width, so the loops over a block need no tail.
// Each sample is one load and at most one shift out, and one store in; every
// access stays inside its group. Integer registers only.
#pragma once

#include "Kernel.h"

// The sample loops' steps are small and must fold into their loop whatever
// the inliner's budget says.
#define KV_ALWAYS_INLINE __attribute__((always_inline))

namespace codec {

inline ULONG Load32(const UCHAR* p) {
  ULONG value;
  RtlCopyMemory(&value, p, sizeof value);
  return value;
}
inline VOID Store32(PUCHAR p, ULONG value) { RtlCopyMemory(p, &value, sizeof value); }
inline SHORT Load16(const UCHAR* p) {
  SHORT value;
  RtlCopyMemory(&value, p, sizeof value);
  return value;
}
inline VOID Store16(PUCHAR p, USHORT value) { RtlCopyMemory(p, &value, sizeof value); }

// value limited to -limit ... limit, with a select at each end (no branch:
// how often samples saturate is up to the audio).
inline LONG Clamp(LONG value, LONG limit) {
  value = value > limit ? limit : value;
  return value < -limit ? -limit : value;
}

// The same for a whole loop, the two ends held in registers: given them as
// constants, the compiler rebuilds each one before every compare.
struct Range {
  LONG high, low;
  explicit Range(LONG limit) : high(limit), low(-limit) { asm("" : "+r"(high), "+r"(low)); }
  LONG operator()(LONG value) const {
    value = value > high ? high : value;
    return value < low ? low : value;
  }
};

// value * percent / 100, truncated toward zero like the division, without
// dividing: factor = percent * kReciprocal100 with 0 < percent, and
// |value * percent| <= 2^31. (The product with the rounded-up reciprocal
// lands just beyond the quotient, never a whole step; one is added back for
// negative values.)
inline constexpr LONGLONG kReciprocal100 = 0x51EB851F;  // ceil(2^37 / 100)
inline constexpr int kReciprocalShift = 37;
inline LONGLONG PercentFactor(LONG percent) { return percent * kReciprocal100; }
inline LONG Percent(LONGLONG value, LONGLONG factor) {
  return static_cast<LONG>(((value * factor) >> kReciprocalShift) - (value >> 63));
}

inline constexpr int kGroupSamples = 16;

struct Pcm16 {
  static constexpr ULONG kGroupBytes = 32;
  static constexpr LONG kMax = 32767;
  static constexpr LONG kMixLimit = 32700;
  // The largest percentage Percent may take for every sample.
  static constexpr LONG kMaxPercent = 65535;

  static LONG Get(const UCHAR* group, int k) { return Load16(group + 2 * k); }
  // The same widened, for a product: the load extends it.
  static LONGLONG Get64(const UCHAR* group, int k) { return Load16(group + 2 * k); }
  static VOID Put(PUCHAR group, int k, LONG s) {
    Store16(group + 2 * k, static_cast<USHORT>(s));
  }
};

struct Pcm24 {
  static constexpr ULONG kGroupBytes = 48;
  static constexpr LONG kMax = 8388607;
  static constexpr LONG kMixLimit = 8388607;
  static constexpr LONG kMaxPercent = 256;

  // Sample k is bytes 3k ... 3k+2. From the second on, the word ending with
  // the sample's top byte, shifted down, is the sample sign-extended.
  static LONG Get(const UCHAR* group, int k) {
    if (k == 0) return static_cast<LONG>(Load32(group) << 8) >> 8;
    return static_cast<LONG>(Load32(group + 3 * k - 1)) >> 8;
  }
  // The same widened, for a product: the load extends it.
  static LONGLONG Get64(const UCHAR* group, int k) {
    if (k == 0) return static_cast<LONGLONG>(static_cast<LONG>(Load32(group) << 8)) >> 8;
    return static_cast<LONGLONG>(static_cast<LONG>(Load32(group + 3 * k - 1))) >> 8;
  }
  // Put the samples of a group in order: each but the last writes a word
  // whose top byte the next one overwrites; the last stays inside the group.
  // In place, take each sample before the one behind it is put.
  static VOID Put(PUCHAR group, int k, LONG s) {
    const auto u = static_cast<ULONG>(s);
    if (k < kGroupSamples - 1) {
      Store32(group + 3 * k, u);
    } else {
      Store16(group + 3 * k, static_cast<USHORT>(u));
      group[3 * k + 2] = static_cast<UCHAR>(u >> 16);
    }
  }
};

}  // namespace codec
