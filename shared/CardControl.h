// The card's private device-control codes and the layouts of their buffers,
// shared by the driver and the programs that talk to it. All codes are
// CTL_CODE(0x22, function, METHOD_NEITHER, FILE_ANY_ACCESS); all words are
// little-endian 32-bit.
#pragma once

#include <cstdint>

namespace cardctl {

inline constexpr std::uint32_t IOCTL_CARD_LL_START = 0x222003;
inline constexpr std::uint32_t IOCTL_CARD_LL_STOP = 0x222007;
inline constexpr std::uint32_t IOCTL_CARD_LL_SET_EVENTS = 0x22200B;
inline constexpr std::uint32_t IOCTL_CARD_LL_MAP_BUFFERS = 0x22200F;
inline constexpr std::uint32_t IOCTL_CARD_LL_BUFFER_DONE = 0x222013;
inline constexpr std::uint32_t IOCTL_CARD_LL_CLIENT_VALUE = 0x222017;
inline constexpr std::uint32_t IOCTL_CARD_MCU_MAILBOX = 0x22201B;
inline constexpr std::uint32_t IOCTL_CARD_SET_SWITCH = 0x22201F;
inline constexpr std::uint32_t IOCTL_CARD_LL_CLAIM = 0x222403;
inline constexpr std::uint32_t IOCTL_CARD_LL_RELEASE = 0x222407;
inline constexpr std::uint32_t IOCTL_CARD_SET_FORMAT = 0x222803;
inline constexpr std::uint32_t IOCTL_CARD_GET_FORMAT = 0x222807;
inline constexpr std::uint32_t IOCTL_CARD_SET_REC_VOLUME = 0x22280F;
inline constexpr std::uint32_t IOCTL_CARD_NOP = 0x222813;
inline constexpr std::uint32_t IOCTL_CARD_GET_SWITCHES = 0x222817;
inline constexpr std::uint32_t IOCTL_CARD_GET_REC_VOLUME = 0x22281F;
inline constexpr std::uint32_t IOCTL_CARD_SET_DUCKING = 0x222823;
inline constexpr std::uint32_t IOCTL_CARD_GET_DUCKING = 0x222827;
inline constexpr std::uint32_t IOCTL_CARD_LL_WATCHDOG = 0x22282B;
inline constexpr std::uint32_t IOCTL_CARD_START_ENGINE = 0x22282F;

// Owner-checked requests carry the owner token as output word 0; the
// events and buffers requests carry an action byte after it (0: release).
inline constexpr std::uint32_t kTokenBytes = 4;
inline constexpr std::uint32_t kActionOffset = 4;

// IOCTL_CARD_LL_SET_EVENTS input: two 64-bit handle values, half 0 first.
inline constexpr std::uint32_t kEventsInputBytes = 16;
// IOCTL_CARD_LL_MAP_BUFFERS input: capture left h0, left h1, right h0, right h1,
// then playback in the same order, then the length (low 32 bits used).
inline constexpr std::uint32_t kMapInputBytes = 72;

// IOCTL_CARD_MCU_MAILBOX: a 10-byte controller packet in; the output's
// byte 0 chooses: 1 = send the input packet, 0 = return the last reply.
inline constexpr std::uint32_t kPacketBytes = 10;
inline constexpr std::uint8_t kMailboxReadReply = 0;
inline constexpr std::uint8_t kMailboxSend = 1;

// Controller packets: byte 0 the command (a read of the record in byte 1, or
// a write of record N as kRecordCommandBase | N with its 8 data bytes), byte 9
// the bitwise NOT of the 8-bit sum of bytes 0 ... 8. Replies have a write's shape.
inline constexpr std::uint8_t kReadCommand = 0x41;
inline constexpr std::uint8_t kRecordCommandBase = 0x40;
inline constexpr std::uint32_t kChecksumByte = kPacketBytes - 1;
inline std::uint8_t packetChecksum(const std::uint8_t* packet) {
  std::uint8_t sum = 0;
  for (std::uint32_t i = 0; i < kChecksumByte; ++i) sum = static_cast<std::uint8_t>(sum + packet[i]);
  return static_cast<std::uint8_t>(~sum);
}
// The controller holds 64 records of 8 bytes.
inline constexpr unsigned kRecordCount = 64;
// The card's 12-character identifier: six characters in each of two records.
inline constexpr unsigned kIdFirstRecord = 5;
inline constexpr unsigned kIdSecondRecord = 6;
inline constexpr unsigned kIdCharsPerRecord = 6;

// IOCTL_CARD_SET_SWITCH input: byte 0 the switch, byte 1 the value.
inline constexpr std::uint8_t kSwitchMonitor = 1;   // "hearMyVoice"
inline constexpr std::uint8_t kSwitchLoopback = 2;  // "recPlaySndStr"
inline constexpr std::uint8_t kSwitchMode = 3;      // "mode": effects routing

// IOCTL_CARD_SET_FORMAT input words and output word 0.
struct FormatRequest {
  std::uint32_t sampleRate;
  std::uint32_t bitDepth;
  std::uint32_t bufferFrames;
};
inline constexpr std::uint32_t kFormatApplied = 0;
inline constexpr std::uint32_t kFormatBusy = 1;
inline constexpr std::uint32_t kFormatUnchanged = 2;
inline constexpr std::uint32_t kFormatInvalid = 3;

// IOCTL_CARD_GET_FORMAT output.
struct FormatInfo {
  std::uint32_t sampleRate;
  std::uint32_t bitDepth;
  std::uint32_t bufferFrames;
  std::uint32_t activity;
};
inline constexpr std::uint32_t kActivityRender = 1;
inline constexpr std::uint32_t kActivityCapture = 2;
inline constexpr std::uint32_t kActivityLowLatency = 4;

// IOCTL_CARD_GET_SWITCHES output: mode, recPlaySndStr, hearMyVoice.
struct SwitchesInfo {
  std::uint32_t mode;
  std::uint32_t loopback;
  std::uint32_t monitor;
};

// IOCTL_CARD_SET_REC_VOLUME: the volumes a request may set.
inline constexpr std::int32_t kMinRecordVolume = 30;
inline constexpr std::int32_t kMaxRecordVolume = 250;

// IOCTL_CARD_SET_DUCKING input: type, value.
inline constexpr std::uint32_t kDuckingSwitch = 1;
inline constexpr std::uint32_t kDuckingSensitivity = 2;

// IOCTL_CARD_GET_DUCKING output.
struct DuckingInfo {
  std::int32_t enabled;
  std::int32_t sensitivity;
  std::uint32_t reserved[2];
};

}  // namespace cardctl
