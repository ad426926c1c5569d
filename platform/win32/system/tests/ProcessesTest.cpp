#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "TempFolder.h"
#include "win32/System.h"

namespace {

using namespace std::chrono_literals;
using win32::testing::TempFolder;

std::string contentsOf(const std::string& file) {
  std::ifstream in(file);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

std::vector<std::string> linesOf(const std::string& file) {
  std::vector<std::string> lines;
  std::istringstream in(contentsOf(file));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool waitForContents(const std::string& file, const std::string& expected) {
  for (auto deadline = std::chrono::steady_clock::now() + 10s;
       std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(10ms)) {
    if (contentsOf(file) == expected) return true;
  }
  return false;
}

// Starts a command line the way the panel does, with empty start-up info.
PROCESS_INFORMATION start(std::string commandLine, const char* currentDirectory = nullptr) {
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  EXPECT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             currentDirectory, &startup, &process))
      << "error " << GetLastError();
  return process;
}

void closeBoth(const PROCESS_INFORMATION& process) {
  EXPECT_TRUE(closeSystemHandle(process.hProcess));
  EXPECT_TRUE(closeSystemHandle(process.hThread));
}

TEST(CreateProcess, RunsTheProgramBesideUsWithItsArgumentsAndDirectory) {
  TempFolder folder;
  const std::string record = folder.file("args");
  // The panel names its helper programs with ".exe".
  const PROCESS_INFORMATION process =
      start("win32_system_child.exe record-args " + record + R"( plain "with space" C:\dir\x)",
            folder.path().c_str());
  EXPECT_NE(process.hProcess, process.hThread);
  EXPECT_NE(process.dwThreadId, 0u);
  EXPECT_NE(process.dwProcessId, static_cast<DWORD>(::getpid()));
  ASSERT_EQ(WaitForSingleObject(process.hProcess, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(process.hThread, 0), WAIT_OBJECT_0);
  EXPECT_EQ(linesOf(record), (std::vector<std::string>{folder.path().string(), "plain",
                                                       "with space", R"(C:\dir\x)"}));
  closeBoth(process);
}

TEST(CreateProcess, WideFormCarriesChineseArguments) {
  TempFolder folder;
  const std::string record = folder.file("args");
  std::u16string commandLine = u"win32_system_child record-args " +
                               std::u16string(record.begin(), record.end()) + u" 岚墨琪";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &process));
  ASSERT_EQ(WaitForSingleObject(process.hProcess, 10000), WAIT_OBJECT_0);
  ASSERT_EQ(linesOf(record).size(), 2u);
  EXPECT_EQ(linesOf(record)[1], "岚墨琪");
  closeBoth(process);
}

TEST(CreateProcess, FailsForAProgramThatIsNotThere) {
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  char commandLine[] = "no-such-program.exe --quiet";
  SetLastError(0);
  EXPECT_FALSE(CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(CreateProcessA("/no/such/dir/rack.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &process));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(QuitRequest, ReachesAProgramThatHandlesItAndEndsIt) {
  TempFolder folder;
  const std::string marker = folder.file("marker");
  const PROCESS_INFORMATION process = start("win32_system_child wait-for-quit " + marker);
  ASSERT_TRUE(waitForContents(marker, "ready\n"));

  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 150), WAIT_TIMEOUT);
  EXPECT_GE(std::chrono::steady_clock::now() - before, 150ms);

  EXPECT_TRUE(PostThreadMessageA(process.dwThreadId, WM_QUIT, 0, 0));
  EXPECT_EQ(WaitForSingleObject(process.hThread, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(contentsOf(marker), "ready\nquit\n");

  // The program is gone: nothing to post to any more.
  SetLastError(0);
  EXPECT_FALSE(PostThreadMessageA(process.dwThreadId, WM_QUIT, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_THREAD_ID);
  closeBoth(process);
}

TEST(QuitRequest, StillWorksAfterTheHandlesAreClosedAndEndsAProgramWithoutAHandler) {
  const PROCESS_INFORMATION process = start("sleep 30");
  closeBoth(process);
  EXPECT_TRUE(PostThreadMessageA(process.dwThreadId, WM_QUIT, 0, 0));
  // Without a handle left, the program's end shows as its thread id lapsing.
  bool lapsed = false;
  for (auto deadline = std::chrono::steady_clock::now() + 10s;
       !lapsed && std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(10ms)) {
    lapsed = !PostThreadMessageA(process.dwThreadId, WM_QUIT, 0, 0);
  }
  EXPECT_TRUE(lapsed);
}

TEST(QuitRequest, GoesOnlyToProgramsWeStartedAndOnlyAsWmQuit) {
  // Our own id: were it signalled, this test would end here.
  SetLastError(0);
  EXPECT_FALSE(PostThreadMessageA(static_cast<DWORD>(::getpid()), WM_QUIT, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_THREAD_ID);

  const PROCESS_INFORMATION process = start("sleep 30");
  EXPECT_FALSE(PostThreadMessageA(process.dwThreadId, WM_QUIT + 1, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 50), WAIT_TIMEOUT);
  EXPECT_TRUE(PostThreadMessageA(process.dwThreadId, WM_QUIT, 0, 0));
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 10000), WAIT_OBJECT_0);
  closeBoth(process);
}

TEST(SystemHandles, CloseOnceAndAreNotWaitableAfterwards) {
  const PROCESS_INFORMATION process = start("sleep 0");
  EXPECT_TRUE(isSystemHandle(process.hProcess));
  closeBoth(process);
  EXPECT_FALSE(isSystemHandle(process.hProcess));
  SetLastError(0);
  EXPECT_FALSE(closeSystemHandle(process.hProcess));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(WaitForSingleObject(process.hThread, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

}  // namespace
