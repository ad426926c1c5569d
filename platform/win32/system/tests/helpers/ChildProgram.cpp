// A program for the process tests to start.
//   record-args FILE ARGS...  writes its current directory, then each of ARGS,
//                             one a line, to FILE
//   wait-for-quit FILE        writes "ready" to FILE, waits up to 30 s for
//                             SIGTERM (the quit request), then adds "quit"
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>

namespace {

int recordArguments(const char* file, int count, char** arguments) {
  std::ofstream out(file);
  out << std::filesystem::current_path().string() << '\n';
  for (int i = 0; i < count; ++i) out << arguments[i] << '\n';
  return out ? 0 : 1;
}

int waitForQuit(const char* file) {
  // Blocked before "ready" is written, so a request sent as soon as the test
  // reads it is held for sigtimedwait rather than ending the program.
  sigset_t quit;
  sigemptyset(&quit);
  sigaddset(&quit, SIGTERM);
  sigprocmask(SIG_BLOCK, &quit, nullptr);
  {
    std::ofstream out(file);
    out << "ready\n";
  }
  const timespec limit{30, 0};
  if (sigtimedwait(&quit, nullptr, &limit) != SIGTERM) return 3;
  std::ofstream(file, std::ios::app) << "quit\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "record-args") == 0) {
    return recordArguments(argv[2], argc - 3, argv + 3);
  }
  if (argc == 3 && std::strcmp(argv[1], "wait-for-quit") == 0) return waitForQuit(argv[2]);
  return 2;
}
