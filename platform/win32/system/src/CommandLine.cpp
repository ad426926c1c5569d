#include "CommandLine.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "FileNames.h"
#include "win32/SystemErrors.h"

namespace win32 {

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

std::size_t skipBlanks(std::string_view line, std::size_t position) {
  while (position < line.size() && isBlank(line[position])) ++position;
  return position;
}

std::string programName(std::string_view line, std::size_t& position) {
  if (position < line.size() && line[position] == '"') {
    const std::size_t close = line.find('"', position + 1);
    const std::size_t end = close == line.npos ? line.size() : close;
    std::string name(line.substr(position + 1, end - position - 1));
    position = std::min(end + 1, line.size());
    return name;
  }
  const std::size_t start = position;
  while (position < line.size() && !isBlank(line[position])) ++position;
  return std::string(line.substr(start, position - start));
}

std::string nextArgument(std::string_view line, std::size_t& position) {
  std::string argument;
  bool quoted = false;
  while (position < line.size() && (quoted || !isBlank(line[position]))) {
    const char c = line[position];
    if (c == '\\') {
      std::size_t backslashes = 0;
      while (position < line.size() && line[position] == '\\') {
        ++backslashes;
        ++position;
      }
      if (position < line.size() && line[position] == '"') {
        // 2n backslashes and a quote: n backslashes, and the quote still
        // delimits; 2n + 1: n backslashes and a literal quote.
        argument.append(backslashes / 2, '\\');
        if (backslashes % 2 == 1) {
          argument += '"';
          ++position;
        }
      } else {
        argument.append(backslashes, '\\');
      }
      continue;
    }
    if (c == '"') {
      // Two quotes inside quotes are one literal quote.
      if (quoted && position + 1 < line.size() && line[position + 1] == '"') {
        argument += '"';
        position += 2;
      } else {
        quoted = !quoted;
        ++position;
      }
      continue;
    }
    argument += c;
    ++position;
  }
  return argument;
}

// A regular file we may run, a file we may not, or nothing.
enum class Candidate { runnable, forbidden, missing };

Candidate examine(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return Candidate::missing;
  return ::access(path.c_str(), X_OK) == 0 ? Candidate::runnable : Candidate::forbidden;
}

std::vector<std::string> directoriesToSearch(bool searchDirectories) {
  std::vector<std::string> directories;
  if (searchDirectories) directories.push_back(executableDirectory());
  directories.push_back(".");
  if (!searchDirectories) return directories;
  if (const char* path = std::getenv("PATH")) {
    std::string_view rest(path);
    while (!rest.empty()) {
      const std::size_t colon = std::min(rest.find(':'), rest.size());
      if (colon > 0) directories.emplace_back(rest.substr(0, colon));
      rest.remove_prefix(std::min(colon + 1, rest.size()));
    }
  }
  return directories;
}

}  // namespace

std::vector<std::string> splitCommandLine(std::string_view line) {
  std::vector<std::string> arguments;
  std::size_t position = skipBlanks(line, 0);
  if (position == line.size()) return arguments;
  arguments.push_back(programName(line, position));
  for (position = skipBlanks(line, position); position < line.size();
       position = skipBlanks(line, position)) {
    arguments.push_back(nextArgument(line, position));
  }
  return arguments;
}

ProgramSearch findProgram(const std::string& name, bool searchDirectories) {
  if (name.empty()) return {{}, ERROR_FILE_NOT_FOUND};
  std::vector<std::string> names{name};
  if (endsWithIgnoringAsciiCase(name, ".exe")) names.push_back(name.substr(0, name.size() - 4));

  const bool hasDirectory = name.find('/') != name.npos;
  const auto directories =
      hasDirectory ? std::vector<std::string>{""} : directoriesToSearch(searchDirectories);
  DWORD error = ERROR_FILE_NOT_FOUND;
  for (const std::string& directory : directories) {
    for (const std::string& candidate : names) {
      const std::filesystem::path path = directory.empty()
                                             ? std::filesystem::path(candidate)
                                             : std::filesystem::path(directory) / candidate;
      switch (examine(path)) {
        case Candidate::runnable:
          return {path.string(), 0};
        case Candidate::forbidden:
          error = ERROR_ACCESS_DENIED;
          break;
        case Candidate::missing:
          break;
      }
    }
  }
  return {{}, error};
}

}  // namespace win32
