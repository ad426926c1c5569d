// The card's register map: byte offsets of 32-bit registers in the register
// window and in the auxiliary window, and the values the driver writes.
#pragma once

#include "Kernel.h"

namespace reg {

// Register window.
inline constexpr ULONG kPlayBlockWritten = 0x180;
inline constexpr ULONG kPlayRingBase = 0x184;
inline constexpr ULONG kAckStatusBit7 = 0x188;
inline constexpr ULONG kPlayStart = 0x194;
inline constexpr ULONG kPlayRate = 0x198;
inline constexpr ULONG kPlayStop = 0x19C;
inline constexpr ULONG kPlayBlockSize = 0x1A0;
inline constexpr ULONG kInterruptStatus = 0x1A4;
inline constexpr ULONG kAckBlockInterrupt = 0x1A8;
inline constexpr ULONG kPlayReadPosition = 0x1AC;
inline constexpr ULONG kAckStatusBit5 = 0x1B0;
inline constexpr ULONG kPlayBitDepth = 0x1B4;
inline constexpr ULONG kPowerControl = 0x1BC;
inline constexpr ULONG kCaptureRingBase = 0x208;
inline constexpr ULONG kCaptureBlockSize = 0x20C;
inline constexpr ULONG kCaptureStop = 0x214;
inline constexpr ULONG kCaptureWritePosition = 0x218;
inline constexpr ULONG kCaptureRate = 0x21C;
inline constexpr ULONG kCaptureStart = 0x220;
inline constexpr ULONG kCaptureBitDepth = 0x230;
inline constexpr ULONG kMailboxRequest = 0x300;
inline constexpr ULONG kMailboxReply = 0x400;
inline constexpr ULONG kAckStatusBit4 = 0x500;
inline constexpr ULONG kMailboxDoorbell = 0x504;

// Auxiliary window.
inline constexpr ULONG kAuxDmaEnable = 0x4050;
inline constexpr ULONG kAuxPlayRingLow = 0x5000;
inline constexpr ULONG kAuxPlayRingHigh = 0x5004;
inline constexpr ULONG kAuxCaptureRingLow = 0x5008;
inline constexpr ULONG kAuxCaptureRingHigh = 0x500C;

// Interrupt status bits.
inline constexpr ULONG kStatusBit7 = 0x80;
inline constexpr ULONG kStatusBlock = 0x40;
inline constexpr ULONG kStatusBit5 = 0x20;
inline constexpr ULONG kStatusBit4 = 0x10;

// Values.
inline constexpr ULONG kStart = 1;
inline constexpr ULONG kAcknowledge = 1;
inline constexpr ULONG kPlayStopValue = 8;
inline constexpr ULONG kCaptureStopValue = 1;
inline constexpr ULONG kRingDoorbell = 1;
inline constexpr ULONG kDmaEnableValue = 0x80;
inline constexpr ULONG kPowerLow = 8;
inline constexpr ULONG kPowerOn = 0;

// The seven configuration words written once at start-up, in this order.
struct InitialValue {
  ULONG offset;
  ULONG value;
};
inline constexpr InitialValue kInitialValues[] = {
    {0x540, 0x00FFCCF0}, {0x548, 0x0040801F}, {0x56C, 0x00091DE3}, {0x5A4, 0x0000FFFC},
    {0x5A8, 0x00003030}, {0x5B8, 0x00006060}, {0x5C0, 0x31010003},
};

// Rate codes differ between the channels: playback counts down, capture up.
inline ULONG PlayRateCode(ULONG sampleRate) {
  switch (sampleRate) {
    case 48000: return 2;
    case 96000: return 1;
    default: return 3;  // 44100
  }
}
inline ULONG CaptureRateCode(ULONG sampleRate) {
  switch (sampleRate) {
    case 48000: return 1;
    case 96000: return 2;
    default: return 0;  // 44100
  }
}

}  // namespace reg

// Register access in one of the two windows.
inline ULONG ReadRegister(PUCHAR window, ULONG offset) {
  return READ_REGISTER_ULONG(reinterpret_cast<volatile ULONG*>(window + offset));
}
inline VOID WriteRegister(PUCHAR window, ULONG offset, ULONG value) {
  WRITE_REGISTER_ULONG(reinterpret_cast<volatile ULONG*>(window + offset), value);
}
