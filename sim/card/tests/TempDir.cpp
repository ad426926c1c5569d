#include "TempDir.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

namespace card::testing {

TempDir::TempDir() {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = test ? std::string(test->test_suite_name()) + "." + test->name() : "card";
  std::replace(name.begin(), name.end(), '/', '_');
  root = std::filesystem::temp_directory_path() /
         ("korvane-" + name + "-" + std::to_string(::getpid()));
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
}

}  // namespace card::testing
