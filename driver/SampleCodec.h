// Samples of a block taken four at a time through whole words: 16-bit
// samples as one 64-bit word, packed 24-bit samples as three 32-bit words.
// Block lengths are multiples of both group sizes (8 and 12 bytes), so the
// loops over a block need no tail. Integer registers only.
#pragma once

#include "Kernel.h"

namespace codec {

inline ULONG Load32(const UCHAR* p) {
  ULONG value;
  RtlCopyMemory(&value, p, sizeof value);
  return value;
}
inline VOID Store32(PUCHAR p, ULONG value) { RtlCopyMemory(p, &value, sizeof value); }
inline ULONGLONG Load64(const UCHAR* p) {
  ULONGLONG value;
  RtlCopyMemory(&value, p, sizeof value);
  return value;
}
inline VOID Store64(PUCHAR p, ULONGLONG value) { RtlCopyMemory(p, &value, sizeof value); }

inline LONG Clamp(LONG value, LONG limit) {
  value = value > limit ? limit : value;
  return value < -limit ? -limit : value;
}

struct Pcm16 {
  static constexpr ULONG kGroupBytes = 8;
  static constexpr LONG kMax = 32767;
  static constexpr LONG kMixLimit = 32700;

  static VOID Load(const UCHAR* p, LONG s[4]) {
    const ULONGLONG w = Load64(p);
    s[0] = static_cast<SHORT>(w);
    s[1] = static_cast<SHORT>(w >> 16);
    s[2] = static_cast<SHORT>(w >> 32);
    s[3] = static_cast<SHORT>(w >> 48);
  }
  static VOID Store(PUCHAR p, const LONG s[4]) {
    Store64(p, static_cast<ULONGLONG>(static_cast<USHORT>(s[0])) |
                   static_cast<ULONGLONG>(static_cast<USHORT>(s[1])) << 16 |
                   static_cast<ULONGLONG>(static_cast<USHORT>(s[2])) << 32 |
                   static_cast<ULONGLONG>(static_cast<USHORT>(s[3])) << 48);
  }
};

struct Pcm24 {
  static constexpr ULONG kGroupBytes = 12;
  static constexpr LONG kMax = 8388607;
  static constexpr LONG kMixLimit = 8388607;

  // Bytes b0 ... b11 hold s0 = b0..b2, s1 = b3..b5, s2 = b6..b8, s3 = b9..b11.
  static VOID Load(const UCHAR* p, LONG s[4]) {
    const ULONG w0 = Load32(p), w1 = Load32(p + 4), w2 = Load32(p + 8);
    s[0] = static_cast<LONG>(w0 << 8) >> 8;
    s[1] = static_cast<LONG>((w0 >> 16) | (w1 << 16)) >> 8;
    s[2] = static_cast<LONG>((w1 >> 8) | (w2 << 24)) >> 8;
    s[3] = static_cast<LONG>(w2) >> 8;
  }
  static VOID Store(PUCHAR p, const LONG s[4]) {
    const auto u0 = static_cast<ULONG>(s[0]), u1 = static_cast<ULONG>(s[1]),
               u2 = static_cast<ULONG>(s[2]), u3 = static_cast<ULONG>(s[3]);
    Store32(p, (u0 & 0xFFFFFF) | (u1 << 24));
    Store32(p + 4, ((u1 >> 8) & 0xFFFF) | (u2 << 16));
    Store32(p + 8, ((u2 >> 16) & 0xFF) | (u3 << 8));
  }
};

// The same samples two at a time: fewer values live at once, for loops that
// carry several blocks along together.
struct Pcm16Pair {
  static constexpr ULONG kGroupBytes = 4;
  static constexpr LONG kMax = 32767;
  static constexpr LONG kMixLimit = 32700;

  static VOID Load(const UCHAR* p, LONG s[2]) {
    const ULONG w = Load32(p);
    s[0] = static_cast<SHORT>(w);
    s[1] = static_cast<LONG>(w) >> 16;
  }
  static VOID Store(PUCHAR p, const LONG s[2]) {
    Store32(p, static_cast<ULONG>(static_cast<USHORT>(s[0])) | static_cast<ULONG>(s[1]) << 16);
  }
};

struct Pcm24Pair {
  static constexpr ULONG kGroupBytes = 6;
  static constexpr LONG kMax = 8388607;
  static constexpr LONG kMixLimit = 8388607;

  static USHORT Load16(const UCHAR* p) {
    USHORT value;
    RtlCopyMemory(&value, p, sizeof value);
    return value;
  }
  static VOID Store16(PUCHAR p, USHORT value) { RtlCopyMemory(p, &value, sizeof value); }

  // Bytes b0 ... b5 hold s0 = b0..b2 and s1 = b3..b5.
  static VOID Load(const UCHAR* p, LONG s[2]) {
    const ULONG w = Load32(p);
    const ULONG h = Load16(p + 4);
    s[0] = static_cast<LONG>(w << 8) >> 8;
    s[1] = static_cast<LONG>((w >> 16) | (h << 16)) >> 8;
  }
  static VOID Store(PUCHAR p, const LONG s[2]) {
    const auto u0 = static_cast<ULONG>(s[0]), u1 = static_cast<ULONG>(s[1]);
    Store32(p, (u0 & 0xFFFFFF) | (u1 << 24));
    Store16(p + 4, static_cast<USHORT>(u1 >> 8));
  }
};

}  // namespace codec
