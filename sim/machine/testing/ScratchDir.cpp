#include "ScratchDir.h"

#include <cstdlib>
#include <stdexcept>

namespace machine::testing {

ScratchDir::ScratchDir() {
  // Short, so that socket paths inside stay under the system's limit.
  std::string pattern = "/tmp/kv-XXXXXX";
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a scratch folder");
  root = pattern;
}

ScratchDir::~ScratchDir() {
  // KORVANE_KEEP_SCRATCH keeps the folder (the programs' logs) for a look after a failure.
  if (std::getenv("KORVANE_KEEP_SCRATCH")) return;
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
}

}  // namespace machine::testing
