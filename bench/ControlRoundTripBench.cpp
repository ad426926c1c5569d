// The round trip of a control request (the card's format) from a program to
// the driver and back: on a machine embedded in the process, and through
// korvane-host's socket. Each boots its own machine and unloads it before
// returning, so that nothing of it is left for the benchmarks that set the
// card's state by hand.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "EmbeddedDeviceService.h"
#include "MachineEnvironment.h"
#include "host/HostClient.h"
#include "host/Socket.h"
#include "shared/CardControl.h"

namespace {

constexpr char kTopologyClass[] = "{dda54a40-1e4c-11d1-a050-405705c10000}";
// Fixed, so that each benchmark boots its machine once.
constexpr int kRequests = 20000;

machine::HandleId openTopology(machine::DeviceService& service) {
  for (const auto& device : service.devices()) {
    for (const auto& face : device.interfaces) {
      machine::HandleId handle = 0;
      if (face.classId == kTopologyClass && service.open(face.path, &handle) == 0) return handle;
    }
  }
  return 0;
}

void measure(benchmark::State& state, machine::DeviceService& service) {
  const machine::HandleId handle = openTopology(service);
  if (!handle) {
    state.SkipWithError("no topology filter");
    return;
  }
  cardctl::FormatInfo format{};
  for (auto _ : state) {
    const auto result = service.deviceControl(handle, cardctl::IOCTL_CARD_GET_FORMAT, nullptr, 0,
                                              &format, sizeof format);
    benchmark::DoNotOptimize(result);
  }
  service.close(handle);
}

std::string scratchFolder() {
  std::string folder = "/tmp/kv-bench-XXXXXX";
  return ::mkdtemp(folder.data()) ? folder : std::string();
}

void ControlRoundTripEmbedded(benchmark::State& state) {
  const std::string folder = scratchFolder();
  {
    machine::EmbeddedOptions options;
    options.machine.registryFile = machine::registryFileIn(folder);
    machine::EmbeddedDeviceService service(std::move(options));
    measure(state, service);
  }
  std::filesystem::remove_all(folder);
}

void ControlRoundTripHost(benchmark::State& state) {
  const std::string folder = scratchFolder();
  const std::string socket = folder + "/host.sock";
  // korvane-host is built beside this program.
  const std::string program =
      std::filesystem::read_symlink("/proc/self/exe").parent_path() / "korvane-host";
  std::vector<std::string> words = {program, "--socket", socket, "--state-dir", folder};
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  // The host's own lines would land in the middle of the benchmark's table.
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t host = -1;
  const int spawned = ::posix_spawn(&host, program.c_str(), &quiet, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&quiet);
  if (spawned != 0) {
    state.SkipWithError("korvane-host did not start");
    return;
  }
  std::shared_ptr<machine::host::HostClient> client;
  for (int attempt = 0; attempt < 500 && !client; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    client = machine::host::HostClient::connect(socket, nullptr);
  }
  if (client) {
    measure(state, *client);
    client.reset();
  } else {
    state.SkipWithError("korvane-host does not answer");
  }
  ::kill(host, SIGTERM);
  ::waitpid(host, nullptr, 0);
  std::filesystem::remove_all(folder);
}

}  // namespace

BENCHMARK(ControlRoundTripEmbedded)->Iterations(kRequests)->Unit(benchmark::kMicrosecond);
BENCHMARK(ControlRoundTripHost)->Iterations(kRequests)->Unit(benchmark::kMicrosecond);
