// The card controller's record 0x20 as the panel reads and writes it.
#pragma once

#include <cstdint>

struct MixerRecord {
  std::uint8_t bytes[8] = {};

  int limiterLevel() const { return static_cast<std::int8_t>(bytes[0]); }
  int monitorVolume() const { return bytes[4] & 0x7F; }
  int monitorMute() const { return bytes[4] >> 7; }
  int micType() const { return bytes[5] & 1; }
  int micMute() const { return bytes[5] >> 7; }

  // Byte 0 the limiter level, byte 4 the monitor volume with the mute in bit
  // 7, byte 5 the microphone type with its mute in bit 7; the rest zero.
  static MixerRecord build(int limiterLevel, int monitorVolume, int monitorMute, int micType,
                           int micMute) {
    MixerRecord record;
    record.bytes[0] = static_cast<std::uint8_t>(limiterLevel);
    record.bytes[4] = static_cast<std::uint8_t>((monitorVolume & 0x7F) | (monitorMute ? 0x80 : 0));
    record.bytes[5] = static_cast<std::uint8_t>((micType & 1) | (micMute ? 0x80 : 0));
    return record;
  }
};
