#include "HostProcess.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "host/Socket.h"

namespace machine::testing {

const char* hostProgram() {
  return KORVANE_HOST_PROGRAM;
}

HostProcess::HostProcess(const std::string& folder, HostSettings settings) {
  static std::atomic<int> hosts{0};
  const std::string stem = folder + "/host" + std::to_string(hosts++);
  socket = stem + ".sock";
  std::vector<std::string> arguments = {"--socket", socket, "--state-dir", settings.stateDirectory};
  if (!settings.input.empty()) arguments.insert(arguments.end(), {"--input", settings.input});
  if (!settings.output.empty()) arguments.insert(arguments.end(), {"--output", settings.output});
  child = std::make_unique<ChildProcess>(hostProgram(), arguments, Environment{}, stem + ".out",
                                         stem + ".err");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    if (const int probe = host::connectTo(socket, nullptr); probe >= 0) {
      ::close(probe);
      return;
    }
    if (child->wait(std::chrono::milliseconds(0))) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  throw std::runtime_error("korvane-host did not start: " + child->errors());
}

HostProcess::~HostProcess() = default;

HostProcess::Stopped HostProcess::stop() {
  child->signal(SIGTERM);
  Stopped stopped;
  stopped.status = child->wait(std::chrono::seconds(30)).value_or(-1);
  stopped.lastLine = lastLine(child->output());
  return stopped;
}

}  // namespace machine::testing
