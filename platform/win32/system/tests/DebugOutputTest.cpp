#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "TempFolder.h"
#include "win32/System.h"

namespace {

using win32::testing::TempFolder;

// What OutputDebugStringW wrote to stderr while it was sent to a file.
std::string stderrOf(const char* debugPrint, LPCWSTR text) {
  TempFolder folder;
  const std::string file = folder.file("stderr");
  std::fflush(stderr);
  const int saved = ::dup(STDERR_FILENO);
  std::FILE* capture = std::fopen(file.c_str(), "w");
  ::dup2(::fileno(capture), STDERR_FILENO);
  if (debugPrint) {
    ::setenv("KORVANE_DEBUG_PRINT", debugPrint, 1);
  } else {
    ::unsetenv("KORVANE_DEBUG_PRINT");
  }
  OutputDebugStringW(text);
  ::unsetenv("KORVANE_DEBUG_PRINT");
  std::fflush(stderr);
  ::dup2(saved, STDERR_FILENO);
  ::close(saved);
  std::fclose(capture);
  std::ifstream in(file, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

TEST(OutputDebugString, WritesUtf8ToStderrOnlyWhenAskedTo) {
  EXPECT_EQ(stderrOf("1", u"录音 started\n"), "录音 started\n");
  EXPECT_EQ(stderrOf(nullptr, u"录音 started\n"), "");
  EXPECT_EQ(stderrOf("", u"录音 started\n"), "");
}

}  // namespace
