// A program run by a test as a real child process, its standard output and
// error going to files that the test can read while it runs.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace machine::testing {

// Environment changes for the child: a value sets the variable, none unsets it.
using Environment = std::vector<std::pair<std::string, std::optional<std::string>>>;

class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
               const Environment& environment, std::string outputFile, std::string errorFile);
  // Kills the child if it still runs.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return child; }
  void signal(int number);
  // The exit status, or 128 + the signal that ended it; none when it still
  // runs after the timeout.
  std::optional<int> wait(std::chrono::milliseconds timeout);

  std::string output() const;
  std::string errors() const;
  // Waits until the output holds `lines` complete lines; false on timeout.
  bool waitForLines(std::size_t lines, std::chrono::milliseconds timeout) const;

 private:
  pid_t child = -1;
  std::optional<int> exitStatus;
  std::string outputFile;
  std::string errorFile;
};

struct Finished {
  int status = -1;
  std::string output;
  std::string errors;
};

// Runs the program to its end (a minute at most) with output in `folder`.
Finished runProgram(const std::string& program, const std::vector<std::string>& arguments,
                    const Environment& environment, const std::string& folder);

// The last non-empty line of a text.
std::string lastLine(const std::string& text);

}  // namespace machine::testing
