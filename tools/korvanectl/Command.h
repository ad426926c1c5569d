// The commands of a korvanectl script, parsed and checked before any runs.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "ControllerPackets.h"

namespace korvanectl {

struct StatusCommand {};
struct FormatCommand {
  std::uint32_t rate, bits, frames;
};
struct SwitchesCommand {};
struct SwitchCommand {
  std::uint8_t which;  // cardctl::kSwitch*
  bool on;
};
struct RecordVolumeCommand {
  std::optional<std::uint32_t> volume;  // none: only read it
};
struct DuckingCommand {
  std::optional<bool> enabled;               // ducking on|off
  std::optional<std::uint32_t> sensitivity;  // ducking sensitivity N
};
struct RecordReadCommand {
  unsigned index;
};
struct RecordWriteCommand {
  unsigned index;
  Record data;
};
struct CardIdCommand {};
struct IoctlCommand {
  std::uint32_t code;
  std::optional<std::vector<std::uint8_t>> input;   // none: no input buffer
  std::optional<std::vector<std::uint8_t>> output;  // none: no output buffer
};
struct PlayCommand {
  std::string path;
};
struct CaptureCommand {
  std::string path;
  double seconds;
};
struct SleepCommand {
  std::uint32_t milliseconds;
};

using Action =
    std::variant<StatusCommand, FormatCommand, SwitchesCommand, SwitchCommand, RecordVolumeCommand,
                 DuckingCommand, RecordReadCommand, RecordWriteCommand, CardIdCommand, IoctlCommand,
                 PlayCommand, CaptureCommand, SleepCommand>;

struct Command {
  std::string text;  // as written, for messages
  Action action;

  // Whether it talks to the card through a handle (play and capture go
  // through the audio system, sleep through nothing).
  bool needsHandle() const;
};

// A script a person wrote wrong; the message says where.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Commands separated by ';', words by blanks. Throws UsageError.
std::vector<Command> parseScript(std::string_view script);

}  // namespace korvanectl
