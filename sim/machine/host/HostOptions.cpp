#include "host/HostOptions.h"

#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string_view>

#include "MachineEnvironment.h"

namespace machine::host {

const char kHostUsage[] =
    "usage: korvane-host [--socket PATH] [--input SETTING] [--output FILE.wav]\n"
    "                    [--state-dir DIR]\n"
    "Runs the machine with the card in real time and serves it to programs on a\n"
    "Unix socket until SIGTERM or SIGINT, then unloads the driver and prints what\n"
    "it left in the pool.\n"
    "  --socket PATH      where to listen (default: $KORVANE_HOST, else\n"
    "                     $XDG_RUNTIME_DIR/korvane-host.sock, else\n"
    "                     /tmp/korvane-host-UID.sock)\n"
    "  --input SETTING    what the card's input hears: silence, sine:HZ:DBFS or a\n"
    "                     WAV path (default: $KORVANE_CARD_INPUT, else silence)\n"
    "  --output FILE.wav  where the card's output goes (default: $KORVANE_CARD_OUTPUT)\n"
    "  --state-dir DIR    where the registry persists (default: $KORVANE_STATE_DIR,\n"
    "                     else $XDG_STATE_HOME/korvane, else ~/.local/state/korvane)\n";

namespace {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

std::string defaultSocketPath() {
  if (std::string host = environment("KORVANE_HOST"); !host.empty()) return host;
  if (std::string runtime = environment("XDG_RUNTIME_DIR"); !runtime.empty()) {
    return runtime + "/korvane-host.sock";
  }
  return "/tmp/korvane-host-" + std::to_string(::getuid()) + ".sock";
}

HostOptions parseHostOptions(int argc, char** argv) {
  HostOptions options;
  options.input = environment("KORVANE_CARD_INPUT");
  options.output = environment("KORVANE_CARD_OUTPUT");
  bool socketGiven = false;
  bool stateGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      options.help = true;
      continue;
    }
    std::string* target = nullptr;
    if (argument == "--socket") {
      target = &options.socketPath;
      socketGiven = true;
    } else if (argument == "--input") {
      target = &options.input;
    } else if (argument == "--output") {
      target = &options.output;
    } else if (argument == "--state-dir") {
      target = &options.stateDirectory;
      stateGiven = true;
    } else {
      throw std::invalid_argument("unknown option " + std::string(argument));
    }
    if (i + 1 >= argc) throw std::invalid_argument(std::string(argument) + " needs a value");
    *target = argv[++i];
  }
  if (!socketGiven) options.socketPath = defaultSocketPath();
  if (!stateGiven) options.stateDirectory = stateDirectoryFromEnvironment();
  return options;
}

}  // namespace machine::host
