// The analog stages that the controller's mixer record (0x20) sets: master
// level and mute on the output, microphone mute on the input.
#pragma once

#include <cstdint>
#include <span>

#include "card/ControllerPacket.h"

namespace card {

struct MixerSettings {
  std::uint8_t limiterLevel = 0;  // kept by the controller; no stage of the model uses it
  unsigned masterLevel = kMixerUnityLevel;
  bool masterMute = false;
  bool microphoneMute = false;
};

MixerSettings decodeMixerRecord(const ControllerRecord& record);

// Level L scales by L/99 truncating toward zero, so 99 passes samples
// bit-exact; mute silences.
void applyMasterStage(const MixerSettings& mixer, std::span<std::int32_t> samples);
void applyMicrophoneStage(const MixerSettings& mixer, std::span<std::int32_t> samples);

}  // namespace card
