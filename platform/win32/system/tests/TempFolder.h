// A folder of its own for one test's files, removed with them afterwards,
// with a way to fill a file in it.
#pragma once

#include <fstream>
#include <string>
#include <string_view>

#include "ScratchDir.h"

namespace win32::testing {

class TempFolder : public machine::testing::ScratchDir {
 public:
  std::string write(std::string_view name, std::string_view bytes) const {
    std::ofstream(file(name), std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return file(name);
  }
};

}  // namespace win32::testing
