#include "win32/Processes.h"

#include <spawn.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "CodePageConversion.h"
#include "CommandLine.h"
#include "FileNames.h"
#include "ProcessTable.h"
#include "win32/CodePages.h"
#include "win32/SystemErrors.h"

extern char** environ;

namespace win32 {

namespace {

// Both forms come here with UTF-8 strings; the command line keeps
// backslashes (they are the program's to read), the names lose them.
struct Request {
  std::optional<std::string> applicationName;
  std::optional<std::string> commandLine;
  std::optional<std::string> currentDirectory;
};

DWORD errorOfSpawn(int error) {
  switch (error) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
      return ERROR_ACCESS_DENIED;
    case ENOEXEC:
      return ERROR_BAD_EXE_FORMAT;
    case ENOMEM:
    case EAGAIN:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_GEN_FAILURE;
  }
}

// The spawn's attributes and file actions, released on every path out.
struct SpawnSetup {
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_t actions;

  SpawnSetup() {
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_init(&actions);
    // A Windows program starts with nothing blocked and nothing ignored; the
    // quit request (SIGTERM) in particular must reach it even when this
    // program's threads block or ignore it.
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : {SIGTERM, SIGINT, SIGPIPE}) sigaddset(&defaults, signal);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
};

BOOL fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

BOOL createProcess(const Request& request, LPVOID environment,
                   LPPROCESS_INFORMATION processInformation) {
  if (environment || !processInformation || (!request.applicationName && !request.commandLine)) {
    return fail(ERROR_INVALID_PARAMETER);
  }
  std::vector<std::string> arguments = request.commandLine
                                           ? splitCommandLine(*request.commandLine)
                                           : std::vector<std::string>{*request.applicationName};
  if (arguments.empty()) return fail(ERROR_INVALID_PARAMETER);

  const bool named = request.applicationName.has_value();
  std::string programName = named ? *request.applicationName : arguments.front();
  std::ranges::replace(programName, '\\', '/');
  const ProgramSearch program = findProgram(programName, !named);
  if (program.path.empty()) return fail(program.error);

  SpawnSetup setup;
  if (request.currentDirectory) {
    std::error_code error;
    if (!std::filesystem::is_directory(*request.currentDirectory, error)) {
      return fail(ERROR_DIRECTORY);
    }
    posix_spawn_file_actions_addchdir_np(&setup.actions, request.currentDirectory->c_str());
  }
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int error = posix_spawn(&pid, program.path.c_str(), &setup.actions, &setup.attributes,
                                argv.data(), environ);
  if (error != 0) return fail(errorOfSpawn(error));

  auto child = std::make_shared<ChildProcess>(pid);
  addRunningChild(child);
  // The primary thread is the process's first thread, whose id on Linux is
  // the process id.
  processInformation->hProcess = addProcessHandle(child);
  processInformation->hThread = addProcessHandle(child);
  processInformation->dwProcessId = static_cast<DWORD>(pid);
  processInformation->dwThreadId = static_cast<DWORD>(pid);
  return TRUE;
}

std::optional<std::string> utf8FromAnsi(LPCSTR text) {
  if (!text) return std::nullopt;
  return toUtf8(fromAnsi(text));
}

std::optional<std::string> utf8FromWide(LPCWSTR text) {
  if (!text) return std::nullopt;
  return toUtf8(text);
}

}  // namespace

BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine, LPSECURITY_ATTRIBUTES,
                    LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID environment, LPCSTR currentDirectory,
                    LPSTARTUPINFOA, LPPROCESS_INFORMATION processInformation) {
  Request request{utf8FromAnsi(applicationName), utf8FromAnsi(commandLine),
                  currentDirectory ? std::optional(pathFromAnsi(currentDirectory)) : std::nullopt};
  return createProcess(request, environment, processInformation);
}

BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES,
                    LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID environment,
                    LPCWSTR currentDirectory, LPSTARTUPINFOW,
                    LPPROCESS_INFORMATION processInformation) {
  Request request{utf8FromWide(applicationName), utf8FromWide(commandLine),
                  currentDirectory ? std::optional(pathFromWide(currentDirectory)) : std::nullopt};
  return createProcess(request, environment, processInformation);
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM, LPARAM) {
  if (message != WM_QUIT) return fail(ERROR_NOT_SUPPORTED);
  auto child = findRunningChild(threadId);
  if (!child || !child->signalIfRunning(SIGTERM)) return fail(ERROR_INVALID_THREAD_ID);
  return TRUE;
}

}  // namespace win32
