// korvanectl: the card from the command line, through the same Windows
// stand-ins as the control panel, on a machine embedded in this process or
// korvane-host's when KORVANE_HOST names its socket.
#include <cstdio>
#include <cstring>
#include <string>

#include "Command.h"
#include "CommandRunner.h"

namespace {

constexpr char kUsage[] =
    "usage: korvanectl 'COMMAND [ARGS]; COMMAND [ARGS]; ...'\n"
    "Runs the commands in order on one machine through one handle on the card,\n"
    "printing a line of key=value text for each.\n"
    "\n"
    "  status                        rate=R bits=B frames=F activity=A\n"
    "  format RATE BITS FRAMES       result=N (0 applied, 1 busy, 2 unchanged, 3 invalid)\n"
    "  switches                      mode=M loopback=L monitor=M\n"
    "  switch monitor|loopback|mode on|off\n"
    "  recvol [N]                    recvol=N (sets it first when N is given)\n"
    "  ducking [on|off]              enabled=E sensitivity=S\n"
    "  ducking sensitivity N\n"
    "  record-read N                 data=16 hex digits (a controller record, 0-63)\n"
    "  record-write N HEX16          data=what the record holds afterwards\n"
    "  card-id                       id=the card's 12 characters\n"
    "  ioctl CODE [IN_HEX|-] [OUT]   status=0xS returned=N out=HEX: any request, raw;\n"
    "                                OUT is a length (a zeroed buffer) or =HEX (its bytes)\n"
    "  play FILE.wav                 frames=N rate=R (the file's samples, as they are)\n"
    "  capture FILE.wav SECONDS      frames=N rate=R bits=B (the card's format, stereo)\n"
    "  sleep MS                      slept=MS\n"
    "\n"
    "Numbers are decimal or 0x-hex. The machine is embedded in this process unless\n"
    "KORVANE_HOST names korvane-host's socket; KORVANE_CARD_INPUT, KORVANE_CARD_OUTPUT,\n"
    "KORVANE_STATE_DIR and KORVANE_NO_CARD=1 set up an embedded one.\n"
    "\n"
    "Exit status: 0 all went well, 1 a request failed or was refused, 2 the command\n"
    "line is wrong (nothing ran), 3 no card was found.\n";

}  // namespace

int main(int argc, char** argv) {
  std::string script;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return korvanectl::kExitOk;
    }
    script += (i > 1 ? " " : "");
    script += argv[i];
  }
  std::vector<korvanectl::Command> commands;
  try {
    commands = korvanectl::parseScript(script);
  } catch (const korvanectl::UsageError& error) {
    std::fprintf(stderr, "korvanectl: %s\n", error.what());
    return korvanectl::kExitUsage;
  }
  if (commands.empty()) {
    std::fputs(kUsage, stderr);
    return korvanectl::kExitUsage;
  }
  korvanectl::CommandRunner runner(stdout, stderr);
  return runner.run(commands);
}
