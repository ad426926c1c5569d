// Name comparison as programs use it to recognise service names.
#include <gtest/gtest.h>

#include "win32/Win32.h"

namespace {

TEST(CompareStringA, ComparesBytesFoldingAsciiCaseWhenAsked) {
  struct Case {
    DWORD flags;
    const char* first;
    int firstCount;
    const char* second;
    int result;
  } cases[] = {
      {NORM_IGNORECASE, "VYTPCI_", -1, "vytpci_", CSTR_EQUAL},
      {0, "VYTPCI_", -1, "vytpci_", CSTR_LESS_THAN},
      {NORM_IGNORECASE, "vytpci_x", -1, "vytpci_", CSTR_GREATER_THAN},
      {NORM_IGNORECASE, "vytpci", -1, "vytpci_", CSTR_LESS_THAN},
      {NORM_IGNORECASE, "vytpci_x", 7, "VYTPCI_", CSTR_EQUAL},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.first) + " vs " + c.second);
    EXPECT_EQ(CompareStringA(LOCALE_SYSTEM_DEFAULT, c.flags, c.first, c.firstCount, c.second, -1),
              c.result);
  }
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, nullptr, -1, "a", -1), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  constexpr DWORD kIgnoreSymbols = 0x4;
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, kIgnoreSymbols, "a", -1, "a", -1), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);
}

TEST(LocalAlloc, LptrGivesZeroedMemoryAndMoveableIsRefused) {
  auto* bytes = static_cast<unsigned char*>(LocalAlloc(LPTR, 64));
  ASSERT_NE(bytes, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(bytes[i], 0) << i;
  EXPECT_EQ(LocalFree(bytes), nullptr);
  EXPECT_EQ(LocalAlloc(LMEM_MOVEABLE, 16), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
