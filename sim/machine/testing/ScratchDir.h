// A temporary folder for a test's sockets, state and WAV files, removed with
// everything in it when the test is done.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace machine::testing {

class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return root; }
  std::string file(std::string_view name) const { return (root / name).string(); }

 private:
  std::filesystem::path root;
};

}  // namespace machine::testing
