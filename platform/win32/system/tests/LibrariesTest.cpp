#include <gtest/gtest.h>

#include "win32/System.h"

namespace {

// libwin32_system_probe.so is built beside this test.
TEST(LoadLibrary, FindsTheSharedLibraryOfADllNameBesideTheProgram) {
  for (const char* name :
       {"win32_system_probe.dll", "WIN32_SYSTEM_PROBE.DLL", "win32_system_probe"}) {
    SCOPED_TRACE(name);
    HMODULE module = LoadLibraryA(name);
    ASSERT_NE(module, nullptr);
    auto answer = reinterpret_cast<int (*)()>(GetProcAddress(module, "probeAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_TRUE(FreeLibrary(module));
  }
}

TEST(LoadLibrary, FailsForAMissingLibraryOrFunction) {
  SetLastError(0);
  EXPECT_EQ(LoadLibraryA("nosuchlibrary.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  // Not from the system's search path either: only beside the program.
  EXPECT_EQ(LoadLibraryA("c.dll"), nullptr);

  HMODULE module = LoadLibraryA("win32_system_probe.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(GetProcAddress(module, "noSuchFunction"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_EQ(GetProcAddress(module, reinterpret_cast<LPCSTR>(std::uintptr_t{1})), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  FreeLibrary(module);
}

}  // namespace
