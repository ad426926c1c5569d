#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace machine::testing {

namespace {

std::string readFile(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const Environment& environment, std::string output, std::string errors)
    : outputFile(std::move(output)), errorFile(std::move(errors)) {
  std::vector<std::string> words = {program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  std::vector<std::string> variables;
  for (char** entry = environ; *entry; ++entry) {
    const std::string variable = *entry;
    const std::string name = variable.substr(0, variable.find('='));
    bool changed = false;
    for (const auto& [changedName, value] : environment) changed = changed || changedName == name;
    if (!changed) variables.push_back(variable);
  }
  for (const auto& [name, value] : environment) {
    if (value) variables.push_back(name + "=" + *value);
  }
  std::vector<char*> envp;
  for (auto& variable : variables) envp.push_back(variable.data());
  envp.push_back(nullptr);

  const int out = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int err = ::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0 || err < 0) throw std::runtime_error("cannot create the child's output files");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  if (::posix_spawn(&child, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0) {
    child = -1;
  }
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out);
  ::close(err);
  if (child < 0) throw std::runtime_error("cannot start " + program);
}

ChildProcess::~ChildProcess() {
  if (!exitStatus && child > 0) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
  }
}

void ChildProcess::signal(int number) {
  if (!exitStatus) ::kill(child, number);
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!exitStatus) {
    int status = 0;
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child) {
      exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    } else if (std::chrono::steady_clock::now() > deadline) {
      return std::nullopt;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  return exitStatus;
}

std::string ChildProcess::output() const {
  return readFile(outputFile);
}
std::string ChildProcess::errors() const {
  return readFile(errorFile);
}

bool ChildProcess::waitForLines(std::size_t lines, std::chrono::milliseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const std::string text = output();
    if (static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) >= lines) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

Finished runProgram(const std::string& program, const std::vector<std::string>& arguments,
                    const Environment& environment, const std::string& folder) {
  static std::atomic<int> runs{0};
  const std::string stem = folder + "/run" + std::to_string(runs++);
  ChildProcess child(program, arguments, environment, stem + ".out", stem + ".err");
  Finished finished;
  finished.status = child.wait(std::chrono::minutes(1)).value_or(-1);
  finished.output = child.output();
  finished.errors = child.errors();
  return finished;
}

std::string lastLine(const std::string& text) {
  std::size_t end = text.find_last_not_of('\n');
  if (end == std::string::npos) return {};
  const std::size_t start = text.rfind('\n', end);
  return text.substr(start == std::string::npos ? 0 : start + 1,
                     end - (start == std::string::npos ? 0 : start + 1) + 1);
}

}  // namespace machine::testing
