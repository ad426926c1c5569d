// korvane-host: one machine with the card, run in real time and served to
// programs on a Unix socket, so that they share the card as programs share a
// card on Windows.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <memory>

#include "DeviceStatus.h"
#include "EmbeddedDeviceService.h"
#include "MachineEnvironment.h"
#include "card/InputSetting.h"
#include "host/HostOptions.h"
#include "host/HostServer.h"
#include "host/Socket.h"

namespace {

int fail(const std::string& message, int code) {
  std::fprintf(stderr, "korvane-host: %s\n", message.c_str());
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  // Blocked before the machine starts its threads, so that every thread
  // leaves SIGTERM and SIGINT to the signalfd below.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  machine::host::HostOptions options;
  machine::EmbeddedOptions machineOptions;
  try {
    options = machine::host::parseHostOptions(argc, argv);
    if (options.help) {
      std::fputs(machine::host::kHostUsage, stdout);
      return 0;
    }
    if (!options.input.empty()) {
      machineOptions.machine.card.input = card::parseInputSetting(options.input);
    }
    machineOptions.machine.card.outputPath = options.output;
    machineOptions.machine.registryFile = machine::registryFileIn(options.stateDirectory);
  } catch (const std::exception& error) {
    return fail(std::string(error.what()) + "\n" + machine::host::kHostUsage, 2);
  }

  std::unique_ptr<machine::EmbeddedDeviceService> service;
  try {
    service = std::make_unique<machine::EmbeddedDeviceService>(std::move(machineOptions));
  } catch (const std::exception& error) {
    return fail(error.what(), 2);
  }
  if (!machine::status::succeeded(service->bootStatus())) {
    const auto problem = service->problem();
    service->unload();
    return fail(problem, 1);
  }

  std::string error;
  const int listening = machine::host::listenOn(options.socketPath, &error);
  if (listening < 0) {
    service->unload();
    return fail(error, 1);
  }
  const int stop = signalfd(-1, &stopSignals, SFD_CLOEXEC);
  std::printf("korvane-host: serving %s\n", options.socketPath.c_str());
  std::fflush(stdout);
  {
    machine::host::HostServer server(listening, *service);
    server.serve(stop);
    server.endSessions();
  }
  ::unlink(options.socketPath.c_str());
  ::close(stop);

  const auto report = service->unload();
  std::printf("pool outstanding: %llu bytes in %llu allocations\n",
              static_cast<unsigned long long>(report.outstanding.bytes),
              static_cast<unsigned long long>(report.outstanding.allocations));
  return report.clean ? 0 : 1;
}
