#include "win32/Libraries.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "FileNames.h"
#include "win32/SystemErrors.h"

namespace win32 {

namespace {

// Below this, a "name" is an ordinal in the pointer's low word.
constexpr std::uintptr_t kFirstNameAddress = 0x10000;

std::vector<std::filesystem::path> candidatesFor(std::string_view dllName) {
  std::string name = pathFromAnsi(dllName);
  std::filesystem::path directory = executableDirectory();
  if (const std::size_t slash = name.rfind('/'); slash != name.npos) {
    directory = name.substr(0, slash);
    name = name.substr(slash + 1);
  }
  if (endsWithIgnoringAsciiCase(name, ".dll")) name.resize(name.size() - 4);
  std::string lower = name;
  std::ranges::transform(lower, lower.begin(),
                         [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; });

  std::vector<std::filesystem::path> candidates;
  for (const std::string& base : {name, lower}) {
    for (const std::string& file : {"lib" + base + ".so", base + ".so"}) {
      if (std::ranges::find(candidates, directory / file) == candidates.end()) {
        candidates.push_back(directory / file);
      }
    }
  }
  return candidates;
}

}  // namespace

HMODULE LoadLibraryA(LPCSTR fileName) {
  if (!fileName || !*fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  for (const auto& candidate : candidatesFor(fileName)) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(candidate, error)) continue;
    if (void* module = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) return module;
    SetLastError(ERROR_BAD_EXE_FORMAT);
    return nullptr;
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  if (!module || reinterpret_cast<std::uintptr_t>(procName) < kFirstNameAddress) {
    SetLastError(module ? ERROR_PROC_NOT_FOUND : ERROR_INVALID_HANDLE);
    return nullptr;
  }
  void* symbol = ::dlsym(module, procName);
  if (!symbol) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  // dlsym hands functions out as object pointers; POSIX guarantees the
  // conversion back.
  FARPROC procedure;
  static_assert(sizeof(procedure) == sizeof(symbol));
  std::memcpy(&procedure, &symbol, sizeof(procedure));
  return procedure;
}

BOOL FreeLibrary(HMODULE module) {
  if (!module || ::dlclose(module) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

}  // namespace win32
