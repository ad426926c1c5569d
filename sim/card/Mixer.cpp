#include "card/Mixer.h"

#include <algorithm>

namespace card {

MixerSettings decodeMixerRecord(const ControllerRecord& record) {
  const std::uint8_t master = record[kMixerMasterByte];
  MixerSettings mixer;
  mixer.limiterLevel = record[kMixerLimiterByte];
  // The level field holds up to 127; anything past unity is read as unity,
  // since the output stage only attenuates.
  mixer.masterLevel = std::min<unsigned>(master & kMixerMasterLevelMask, kMixerUnityLevel);
  mixer.masterMute = (master & kMixerMasterMute) != 0;
  mixer.microphoneMute = (record[kMixerMicrophoneByte] & kMixerMicrophoneMute) != 0;
  return mixer;
}

void applyMasterStage(const MixerSettings& mixer, std::span<std::int32_t> samples) {
  if (mixer.masterMute) {
    std::fill(samples.begin(), samples.end(), 0);
    return;
  }
  if (mixer.masterLevel == kMixerUnityLevel) return;
  for (std::int32_t& sample : samples) {
    sample = static_cast<std::int32_t>(std::int64_t{sample} * mixer.masterLevel / kMixerUnityLevel);
  }
}

void applyMicrophoneStage(const MixerSettings& mixer, std::span<std::int32_t> samples) {
  if (mixer.microphoneMute) std::fill(samples.begin(), samples.end(), 0);
}

}  // namespace card
