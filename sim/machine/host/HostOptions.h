// korvane-host's command line, over the defaults the environment gives.
#pragma once

#include <string>

namespace machine::host {

struct HostOptions {
  std::string socketPath;
  std::string input;   // a card input setting; empty: silence
  std::string output;  // a WAV path; empty: the output goes nowhere
  std::string stateDirectory;
  bool help = false;
};

// --socket, else KORVANE_HOST, else $XDG_RUNTIME_DIR/korvane-host.sock, else
// /tmp/korvane-host-<uid>.sock.
std::string defaultSocketPath();

// Throws std::invalid_argument saying what is wrong with the command line.
HostOptions parseHostOptions(int argc, char** argv);

extern const char kHostUsage[];

}  // namespace machine::host
