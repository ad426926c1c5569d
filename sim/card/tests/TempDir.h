// A fresh directory for the running test's files, removed when it ends.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace card::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string file(std::string_view name) const { return (root / name).string(); }

 private:
  std::filesystem::path root;
};

}  // namespace card::testing
