// korvane-host run by a test as a child process, on a socket in the test's
// scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace machine::testing {

struct HostSettings {
  std::string stateDirectory;
  std::string input;   // empty: silence
  std::string output;  // empty: nowhere
};

class HostProcess {
 public:
  // Starts the host and waits until it accepts clients. Throws when it does not.
  HostProcess(const std::string& folder, HostSettings settings);
  ~HostProcess();  // kills it if still running

  const std::string& socketPath() const { return socket; }
  ChildProcess& process() { return *child; }

  struct Stopped {
    int status = -1;
    std::string lastLine;  // what the host printed last
  };
  // SIGTERM, then waits for the host to end.
  Stopped stop();

 private:
  std::string socket;
  std::unique_ptr<ChildProcess> child;
};

// The korvane-host program of this build.
const char* hostProgram();

// Stops the host and checks it ended well, its pool empty.
inline void expectCleanStop(HostProcess& host) {
  const auto stopped = host.stop();
  EXPECT_EQ(stopped.status, 0);
  EXPECT_EQ(stopped.lastLine, "pool outstanding: 0 bytes in 0 allocations");
}

}  // namespace machine::testing
