// Runs a korvanectl script on one machine through one handle on the card,
// a line of key=value text for each command.
#pragma once

#include <cstdio>
#include <memory>
#include <vector>

#include "CardDevice.h"
#include "Command.h"

namespace korvanectl {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitRequestFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoCard = 3;

class CommandRunner {
 public:
  CommandRunner(std::FILE* output, std::FILE* errors) : out(output), err(errors) {}

  // Runs every command, also after one fails; the exit status.
  int run(const std::vector<Command>& commands);

 private:
  // Each prints its line, or says on err why it cannot; false when it failed.
  bool run(const Command& command, const StatusCommand&);
  bool run(const Command& command, const FormatCommand& format);
  bool run(const Command& command, const SwitchesCommand&);
  bool run(const Command& command, const SwitchCommand& change);
  bool run(const Command& command, const RecordVolumeCommand& volume);
  bool run(const Command& command, const DuckingCommand& ducking);
  bool run(const Command& command, const RecordReadCommand& read);
  bool run(const Command& command, const RecordWriteCommand& write);
  bool run(const Command& command, const CardIdCommand&);
  bool run(const Command& command, const IoctlCommand& ioctl);
  bool run(const Command& command, const PlayCommand& play);
  bool run(const Command& command, const CaptureCommand& capture);
  bool run(const Command& command, const SleepCommand& sleep);

  // A request that must succeed; says why on err when it does not.
  bool request(const Command& command, DWORD code, std::vector<std::uint8_t> input,
               std::vector<std::uint8_t>& output);
  bool readRecord(const Command& command, unsigned index, Record* record);
  bool printSwitches(const Command& command);
  bool printRecordVolume(const Command& command);
  bool printDucking(const Command& command);
  void line(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void problem(const Command& command, const std::string& text);

  std::FILE* out;
  std::FILE* err;
  std::unique_ptr<CardDevice> card;
};

}  // namespace korvanectl
