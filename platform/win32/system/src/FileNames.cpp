#include "FileNames.h"

#include <algorithm>
#include <filesystem>

#include "CodePageConversion.h"
#include "win32/CodePages.h"

namespace win32 {

namespace {

char foldAscii(char c) {
  return c >= 'A' && c <= 'Z' ? char(c + 32) : c;
}

}  // namespace

std::string pathFromWide(std::u16string_view name) {
  std::string path = toUtf8(name);
  std::ranges::replace(path, '\\', '/');
  return path;
}

std::string pathFromAnsi(std::string_view name) {
  return pathFromWide(fromAnsi(name));
}

std::string executableDirectory() {
  std::error_code error;
  const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string(".") : executable.parent_path().string();
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, {}, foldAscii, foldAscii);
}

bool endsWithIgnoringAsciiCase(std::string_view text, std::string_view ending) {
  return text.size() >= ending.size() &&
         equalsIgnoringAsciiCase(text.substr(text.size() - ending.size()), ending);
}

}  // namespace win32
