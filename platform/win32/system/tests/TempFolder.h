// A folder of its own for one test's files, removed with them afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace win32::testing {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "win32-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    root = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return root; }
  std::string file(std::string_view name) const { return (root / name).string(); }

  std::string write(std::string_view name, std::string_view bytes) const {
    std::ofstream(file(name), std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return file(name);
  }

 private:
  std::filesystem::path root;
};

}  // namespace win32::testing
