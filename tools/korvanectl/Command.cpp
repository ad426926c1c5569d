#include "Command.h"

#include <cstdlib>

#include "HexText.h"
#include "shared/CardControl.h"

namespace korvanectl {

namespace {

// Long enough for any recording a person means to make from the command line.
constexpr double kLongestCapture = 3600.0;

std::vector<std::string> wordsOf(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\n') {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

class Parser {
 public:
  Parser(std::string commandText, std::vector<std::string> commandWords)
      : text(std::move(commandText)), words(std::move(commandWords)) {}

  Action parse() {
    const std::string& name = words[0];
    if (name == "status") {
      arguments(0);
      return StatusCommand{};
    }
    if (name == "format") {
      arguments(3);
      return FormatCommand{number(1), number(2), number(3)};
    }
    if (name == "switches") {
      arguments(0);
      return SwitchesCommand{};
    }
    if (name == "switch") return parseSwitch();
    if (name == "recvol") {
      arguments(0, 1);
      return RecordVolumeCommand{words.size() == 2 ? std::optional(number(1)) : std::nullopt};
    }
    if (name == "ducking") return parseDucking();
    if (name == "record-read") {
      arguments(1);
      return RecordReadCommand{recordIndex(1)};
    }
    if (name == "record-write") return parseRecordWrite();
    if (name == "card-id") {
      arguments(0);
      return CardIdCommand{};
    }
    if (name == "ioctl") return parseIoctl();
    if (name == "play") {
      arguments(1);
      return PlayCommand{words[1]};
    }
    if (name == "capture") return parseCapture();
    if (name == "sleep") {
      arguments(1);
      return SleepCommand{number(1)};
    }
    throw UsageError("unknown command '" + name + "' (korvanectl --help lists them)");
  }

 private:
  [[noreturn]] void fail(const std::string& problem) const {
    throw UsageError(problem + " in '" + text + "'");
  }

  void arguments(std::size_t count) { arguments(count, count); }
  void arguments(std::size_t least, std::size_t most) {
    const std::size_t given = words.size() - 1;
    if (given < least || given > most) fail("wrong number of arguments");
  }

  std::uint32_t number(std::size_t at) const {
    const auto value = parseNumber(words[at]);
    if (!value) fail("bad number '" + words[at] + "'");
    return *value;
  }

  bool onOff(std::size_t at) const {
    if (words[at] == "on") return true;
    if (words[at] == "off") return false;
    fail("expected on or off, not '" + words[at] + "'");
  }

  unsigned recordIndex(std::size_t at) const {
    const std::uint32_t index = number(at);
    if (index >= kRecordCount) fail("no record " + words[at] + " (records are 0 to 63)");
    return index;
  }

  Action parseSwitch() {
    arguments(2);
    const std::string& which = words[1];
    std::uint8_t id = 0;
    if (which == "monitor") {
      id = cardctl::kSwitchMonitor;
    } else if (which == "loopback") {
      id = cardctl::kSwitchLoopback;
    } else if (which == "mode") {
      id = cardctl::kSwitchMode;
    } else {
      fail("no switch '" + which + "' (monitor, loopback or mode)");
    }
    return SwitchCommand{id, onOff(2)};
  }

  Action parseDucking() {
    arguments(0, 2);
    if (words.size() == 1) return DuckingCommand{};
    if (words[1] == "sensitivity") {
      arguments(2);
      return DuckingCommand{std::nullopt, number(2)};
    }
    arguments(1);
    return DuckingCommand{onOff(1), std::nullopt};
  }

  Action parseRecordWrite() {
    arguments(2);
    const unsigned index = recordIndex(1);
    const auto bytes = parseHexBytes(words[2]);
    Record data{};
    if (!bytes || bytes->size() != data.size())
      fail("a record is 16 hex digits, not '" + words[2] + "'");
    std::copy(bytes->begin(), bytes->end(), data.begin());
    return RecordWriteCommand{index, data};
  }

  Action parseIoctl() {
    arguments(1, 3);
    IoctlCommand command{number(1), std::nullopt, std::nullopt};
    if (words.size() > 2 && words[2] != "-") {
      command.input = parseHexBytes(words[2]);
      if (!command.input) fail("bad hex bytes '" + words[2] + "'");
    }
    if (words.size() > 3) {
      const std::string& out = words[3];
      if (out[0] == '=') {
        command.output = parseHexBytes(std::string_view(out).substr(1));
        if (!command.output) fail("bad hex bytes '" + out + "'");
      } else if (const std::uint32_t length = number(3); length > 0) {
        command.output = std::vector<std::uint8_t>(length, 0);
      }
    }
    return command;
  }

  Action parseCapture() {
    arguments(2);
    char* end = nullptr;
    const double seconds = std::strtod(words[2].c_str(), &end);
    if (end == words[2].c_str() || *end != '\0' || !(seconds > 0) || seconds > kLongestCapture) {
      fail("bad number of seconds '" + words[2] + "'");
    }
    return CaptureCommand{words[1], seconds};
  }

  std::string text;
  std::vector<std::string> words;
};

}  // namespace

bool Command::needsHandle() const {
  return !std::holds_alternative<PlayCommand>(action) &&
         !std::holds_alternative<CaptureCommand>(action) &&
         !std::holds_alternative<SleepCommand>(action);
}

std::vector<Command> parseScript(std::string_view script) {
  std::vector<Command> commands;
  while (!script.empty()) {
    const std::size_t end = script.find(';');
    const std::string_view piece = script.substr(0, end);
    script = end == std::string_view::npos ? std::string_view() : script.substr(end + 1);
    auto words = wordsOf(piece);
    if (words.empty()) continue;
    std::string text;
    for (const auto& word : words) text += (text.empty() ? "" : " ") + word;
    Parser parser(text, std::move(words));
    commands.push_back({text, parser.parse()});
  }
  return commands;
}

}  // namespace korvanectl
