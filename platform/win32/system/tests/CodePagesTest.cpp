#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "ScopedLocale.h"
#include "win32/System.h"

namespace {

using win32::testing::ScopedLocale;

std::u16string toWide(UINT codePage, const std::string& bytes, DWORD flags = 0) {
  const int needed =
      MultiByteToWideChar(codePage, flags, bytes.data(), int(bytes.size()), nullptr, 0);
  std::u16string wide(std::size_t(needed), u'\0');
  if (needed > 0) {
    EXPECT_EQ(
        MultiByteToWideChar(codePage, flags, bytes.data(), int(bytes.size()), wide.data(), needed),
        needed);
  }
  return wide;
}

std::string toBytes(UINT codePage, const std::u16string& wide, BOOL* usedDefault = nullptr,
                    const char* defaultChar = nullptr) {
  const int needed = WideCharToMultiByte(codePage, 0, wide.data(), int(wide.size()), nullptr, 0,
                                         defaultChar, usedDefault);
  std::string bytes(std::size_t(needed), '\0');
  if (needed > 0) {
    EXPECT_EQ(WideCharToMultiByte(codePage, 0, wide.data(), int(wide.size()), bytes.data(), needed,
                                  defaultChar, usedDefault),
              needed);
  }
  return bytes;
}

// The same captions as the code pages of simplified and traditional Chinese
// Windows store them.
const std::u16string kSimplified = u"岚墨琪D330控制面板";
const std::string kSimplifiedGbk =
    "\xE1\xB0\xC4\xAB\xE7\xF7"
    "D330"
    "\xBF\xD8\xD6\xC6\xC3\xE6\xB0\xE5";
const std::u16string kTraditional = u"聽到自己的聲音";
const std::string kTraditionalBig5 = "\xC5\xA5\xA8\xEC\xA6\xDB\xA4\x76\xAA\xBA\xC1\x6E\xAD\xB5";

TEST(AnsiCodePage, IsGbkOnSimplifiedChineseSystems) {
  ScopedLocale locale("zh_CN.UTF-8");
  EXPECT_EQ(toBytes(CP_ACP, kSimplified), kSimplifiedGbk);
  EXPECT_EQ(toWide(CP_ACP, kSimplifiedGbk), kSimplified);
}

TEST(AnsiCodePage, IsBig5OnTraditionalChineseSystems) {
  ScopedLocale locale("zh_TW.UTF-8");
  EXPECT_EQ(toBytes(CP_ACP, kTraditional), kTraditionalBig5);
  EXPECT_EQ(toWide(CP_ACP, kTraditionalBig5), kTraditional);
}

TEST(AnsiCodePage, IsWindows1252ElsewhereWithItsUndefinedBytesKept) {
  ScopedLocale locale("en_US.UTF-8");
  EXPECT_EQ(toWide(CP_ACP, "caf\xE9 \x80"), u"café €");
  // Windows maps the bytes 1252 leaves undefined to the C1 controls.
  EXPECT_EQ(toWide(CP_ACP, "\x81\x9D", MB_ERR_INVALID_CHARS), u"\u0081\u009D");
  EXPECT_EQ(toBytes(CP_ACP, u"café €"), "caf\xE9 \x80");
}

TEST(AnsiCodePage, FollowsTheLocaleOnEveryCall) {
  std::string bytes;
  {
    ScopedLocale locale("zh_CN.UTF-8");
    bytes = toBytes(CP_ACP, u"面板");
  }
  ScopedLocale locale("en_US.UTF-8");
  EXPECT_EQ(toWide(936, bytes), u"面板");
  EXPECT_NE(toWide(CP_ACP, bytes), u"面板");
}

TEST(Utf8, RoundTripsCharactersBeyondTheBasicPlane) {
  const std::string utf8 = "音\xF0\x9F\x8E\xA4";  // with a microphone emoji
  const std::u16string wide = toWide(CP_UTF8, utf8);
  EXPECT_EQ(wide, u"音\U0001F3A4");
  EXPECT_EQ(wide.size(), 3u);
  EXPECT_EQ(toBytes(CP_UTF8, wide), utf8);
}

TEST(SizeRules, ZeroSizedOutputAsksAndShortOutputFailsUntouched) {
  // -1: the count covers the terminating null.
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "面板", -1, nullptr, 0), 3);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"面板", -1, nullptr, 0, nullptr, nullptr), 7);

  WCHAR wide[2] = {u'x', u'x'};
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "面板", -1, wide, 2), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(wide[0], u'x');

  char bytes[6] = "xxxxx";
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"面板", -1, bytes, 6, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(bytes[0], 'x');

  WCHAR exact[3];
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "面板", -1, exact, 3), 3);
  EXPECT_EQ(std::u16string(exact), u"面板");
}

TEST(InvalidInput, IsReplacedUnlessTheCallerAsksForFailure) {
  EXPECT_EQ(toWide(CP_UTF8, "a\xC3("), u"a\uFFFD(");
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xC3(", 3, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);

  const std::u16string loneSurrogate = {u'a', char16_t(0xD800), u'b'};
  EXPECT_EQ(toBytes(CP_UTF8, loneSurrogate),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, loneSurrogate.data(), 3, nullptr, 0,
                                nullptr, nullptr),
            0);
  EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
}

TEST(UnmappableCharacters, BecomeTheDefaultCharacterAndSaySo) {
  BOOL usedDefault = FALSE;
  EXPECT_EQ(toBytes(1252, u"a音b", &usedDefault), "a?b");
  EXPECT_TRUE(usedDefault);
  EXPECT_EQ(toBytes(1252, u"a\U0001F3A4b", &usedDefault, "*"), "a*b");
  EXPECT_TRUE(usedDefault);
  EXPECT_EQ(toBytes(936, u"音量", &usedDefault), "\xD2\xF4\xC1\xBF");
  EXPECT_FALSE(usedDefault);
}

TEST(BadCalls, FailWithTheirErrors) {
  struct Case {
    const char* what;
    std::function<int()> call;
    DWORD error;
  };
  BOOL usedDefault = FALSE;
  WCHAR wide[4];
  const Case cases[] = {
      {"unknown code page", [&] { return MultiByteToWideChar(437, 0, "a", 1, wide, 4); },
       ERROR_INVALID_PARAMETER},
      {"zero count", [&] { return MultiByteToWideChar(CP_UTF8, 0, "a", 0, wide, 4); },
       ERROR_INVALID_PARAMETER},
      {"null input", [&] { return MultiByteToWideChar(CP_UTF8, 0, nullptr, 1, wide, 4); },
       ERROR_INVALID_PARAMETER},
      {"count below -1",
       [&] { return WideCharToMultiByte(CP_ACP, 0, u"a", -2, nullptr, 0, nullptr, nullptr); },
       ERROR_INVALID_PARAMETER},
      {"UTF-8 with a default report",
       [&] { return WideCharToMultiByte(CP_UTF8, 0, u"a", 1, nullptr, 0, nullptr, &usedDefault); },
       ERROR_INVALID_PARAMETER},
      {"precomposition asked of UTF-8",
       [&] { return MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "a", 1, wide, 4); },
       ERROR_INVALID_FLAGS},
  };
  for (const Case& bad : cases) {
    SCOPED_TRACE(bad.what);
    SetLastError(0);
    EXPECT_EQ(bad.call(), 0);
    EXPECT_EQ(GetLastError(), bad.error);
  }
}

}  // namespace
