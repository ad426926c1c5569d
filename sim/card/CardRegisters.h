// The card's hardware contract: register offsets in its two windows, the
// values the driver writes to them, the interrupt status bits, the ring
// geometry and the controller's mailbox packet. Every other file of the card
// uses these names; no offset or packet byte appears as a bare number elsewhere.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace card {

inline constexpr int kRegisterWindowIndex = 0;
inline constexpr int kAuxWindowIndex = 1;
inline constexpr std::uint32_t kRegisterWindowBytes = 0x1000;
inline constexpr std::uint32_t kAuxWindowBytes = 0x10000;

// Register window ------------------------------------------------------------

// Playback DMA channel.
inline constexpr std::uint32_t kPlaybackBlockWritten = 0x180;
inline constexpr std::uint32_t kPlaybackRingBase = 0x184;
inline constexpr std::uint32_t kPlaybackStart = 0x194;
inline constexpr std::uint32_t kPlaybackRateCode = 0x198;
inline constexpr std::uint32_t kPlaybackStop = 0x19C;
inline constexpr std::uint32_t kPlaybackBlockBytes = 0x1A0;
inline constexpr std::uint32_t kPlaybackReadPosition = 0x1AC;
inline constexpr std::uint32_t kPlaybackBitDepth = 0x1B4;
inline constexpr std::uint32_t kPlaybackStartValue = 1;
inline constexpr std::uint32_t kPlaybackStopValue = 8;

// Capture DMA channel.
inline constexpr std::uint32_t kCaptureRingBase = 0x208;
inline constexpr std::uint32_t kCaptureBlockBytes = 0x20C;
inline constexpr std::uint32_t kCaptureStop = 0x214;
inline constexpr std::uint32_t kCaptureWritePosition = 0x218;
inline constexpr std::uint32_t kCaptureRateCode = 0x21C;
inline constexpr std::uint32_t kCaptureStart = 0x220;
inline constexpr std::uint32_t kCaptureBitDepth = 0x230;
inline constexpr std::uint32_t kCaptureStartValue = 1;
inline constexpr std::uint32_t kCaptureStopValue = 1;

// Interrupt status and its acknowledge registers (write 1 clears the bit).
inline constexpr std::uint32_t kInterruptStatus = 0x1A4;
inline constexpr std::uint32_t kStatusBit7 = 1u << 7;
inline constexpr std::uint32_t kStatusBlock = 1u << 6;
inline constexpr std::uint32_t kStatusBit5 = 1u << 5;
inline constexpr std::uint32_t kStatusBit4 = 1u << 4;
inline constexpr std::uint32_t kStatusMask = kStatusBit7 | kStatusBlock | kStatusBit5 | kStatusBit4;
inline constexpr std::uint32_t kAcknowledgeBit7 = 0x188;
inline constexpr std::uint32_t kAcknowledgeBlock = 0x1A8;
inline constexpr std::uint32_t kAcknowledgeBit5 = 0x1B0;
inline constexpr std::uint32_t kAcknowledgeBit4 = 0x500;
inline constexpr std::uint32_t kAcknowledgeValue = 1;

inline constexpr std::uint32_t kPowerControl = 0x1BC;
inline constexpr std::uint32_t kPowerControlD0 = 0;
inline constexpr std::uint32_t kPowerControlD1 = 8;

// Controller mailbox: the driver stores a packet at the request offset with
// plain stores and rings the doorbell; a read is answered at the reply offset
// before the doorbell write returns.
inline constexpr std::uint32_t kMailboxRequest = 0x300;
inline constexpr std::uint32_t kMailboxReply = 0x400;
inline constexpr std::uint32_t kMailboxDoorbell = 0x504;
inline constexpr std::uint32_t kDoorbellValue = 1;

// Written once by the driver at start-up, possibly with plain stores. The
// model needs none of them to run, so they keep no meaning beyond their values.
struct ConfigurationWord {
  std::uint32_t offset;
  std::uint32_t value;
};
inline constexpr std::array<ConfigurationWord, 7> kInitialConfiguration = {{
    {0x540, 0x00FFCCF0},
    {0x548, 0x0040801F},
    {0x56C, 0x00091DE3},
    {0x5A4, 0x0000FFFC},
    {0x5A8, 0x00003030},
    {0x5B8, 0x00006060},
    {0x5C0, 0x31010003},
}};

// Auxiliary window ----------------------------------------------------------

inline constexpr std::uint32_t kAuxDmaEnable = 0x4050;
inline constexpr std::uint32_t kAuxDmaEnableValue = 0x80;
inline constexpr std::uint32_t kAuxPlaybackRingLow = 0x5000;
inline constexpr std::uint32_t kAuxPlaybackRingHigh = 0x5004;
inline constexpr std::uint32_t kAuxCaptureRingLow = 0x5008;
inline constexpr std::uint32_t kAuxCaptureRingHigh = 0x500C;

// Sample formats and rings ---------------------------------------------------

inline constexpr std::uint32_t kRingBytes = 0x18000;
inline constexpr int kChannels = 2;

struct RateCode {
  std::uint32_t code;
  unsigned sampleRate;
};
// The two channels number their rates in opposite directions.
inline constexpr std::array<RateCode, 3> kPlaybackRateCodes = {
    {{3, 44100}, {2, 48000}, {1, 96000}}};
inline constexpr std::array<RateCode, 3> kCaptureRateCodes = {{{0, 44100}, {1, 48000}, {2, 96000}}};

// Controller -----------------------------------------------------------------

inline constexpr std::size_t kPacketBytes = 10;
inline constexpr std::size_t kPacketCommand = 0;
inline constexpr std::size_t kPacketData = 1;  // 8 data bytes follow the command
inline constexpr std::size_t kPacketChecksum = 9;
inline constexpr std::uint8_t kReadCommand = 0x41;
inline constexpr std::uint8_t kRecordCommandBase = 0x40;  // 0x40 + index writes, and answers
inline constexpr std::size_t kReadIndexByte = 1;

inline constexpr unsigned kRecordCount = 64;
inline constexpr std::size_t kRecordBytes = 8;

inline constexpr unsigned kMixerRecord = 0x20;
inline constexpr std::size_t kMixerLimiterByte = 0;
inline constexpr std::size_t kMixerMasterByte = 4;
inline constexpr std::size_t kMixerMicrophoneByte = 5;
inline constexpr std::uint8_t kMixerMasterLevelMask = 0x7F;
inline constexpr std::uint8_t kMixerMasterMute = 0x80;
inline constexpr std::uint8_t kMixerMicrophoneMute = 0x80;
inline constexpr std::uint8_t kMixerUnityLevel = 99;

// The 12-character card identifier is split over two records, six characters
// at the start of each.
inline constexpr unsigned kIdentifierFirstRecord = 5;
inline constexpr unsigned kIdentifierSecondRecord = 6;
inline constexpr std::size_t kIdentifierLength = 12;
inline constexpr std::size_t kIdentifierCharsPerRecord = 6;
inline constexpr std::string_view kDefaultCardId = "VYT0A1B2C3D4";

}  // namespace card
