// Playing a WAV file through the card and recording from it, through the
// audio system, as aplay and arecord do.
#pragma once

#include <cstdint>
#include <string>

#include "DeviceService.h"

namespace korvanectl {

struct Transfer {
  bool ok = false;
  std::string problem;
  std::uint64_t frames = 0;
  unsigned rate = 0;
  unsigned bits = 0;
};

// Plays the file's samples as they are, at whatever rate the card runs
// (mono on both channels, channels past the card's dropped), and returns once
// the last of them has reached the card. Frames and rate are the file's.
Transfer playFile(machine::DeviceService& service, const std::string& path);

// Records `seconds` of the card's input into a stereo WAV file in the card's
// current rate and bit depth.
Transfer captureFile(machine::DeviceService& service, const std::string& path, double seconds);

}  // namespace korvanectl
