#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "ScopedLocale.h"
#include "TempFolder.h"
#include "win32/System.h"

namespace {

using win32::testing::ScopedLocale;
using win32::testing::TempFolder;

// Written the way people edit INI files by hand: comments, blanks around
// names and values, quotes, a section repeated in another case, CRLF.
constexpr std::string_view kSettings =
    "; written by hand\r\n"
    "top=before any section\r\n"
    "[Panel]\r\n"
    "Language = 2\r\n"
    "  Rack=  C:\\Sonmira\\rack.exe  \r\n"
    "Quoted = \"  spaced  \"\r\n"
    "Single='x'\r\n"
    "Half=\"open\r\n"
    "Empty=\r\n"
    "Dup=first\r\n"
    "dup=second\r\n"
    "no equals sign\r\n"
    "[ Other ]\r\n"
    "key=other;not a comment\r\n"
    "[panel]\r\n"
    "Language=9\r\n";

class ProfileFile : public ::testing::Test {
 protected:
  std::string read(const char* section, const char* key, const char* defaultValue = "dflt",
                   DWORD size = 64) {
    std::string buffer(size, '#');
    SetLastError(0);
    const DWORD count =
        GetPrivateProfileStringA(section, key, defaultValue, buffer.data(), size, path.c_str());
    EXPECT_EQ(buffer[count], '\0');
    return buffer.substr(0, count);
  }

  ScopedLocale locale{"en_US.UTF-8"};
  TempFolder folder;
  std::string path = folder.write("settings.ini", kSettings);
};

TEST_F(ProfileFile, FindsValuesByTheRulesOfWindows) {
  struct Case {
    const char* section;
    const char* key;
    std::string value;
  };
  const Case cases[] = {
      {"Panel", "Language", "2"},
      {"PANEL", "language", "2"},  // the first of two sections that differ in case
      {"Panel", "Rack", "C:\\Sonmira\\rack.exe"},
      {"Panel", "Quoted", "  spaced  "},
      {"Panel", "Single", "x"},
      {"Panel", "Half", "\"open"},
      {"Panel", "Empty", ""},
      {"Panel", "DUP", "first"},
      {"other", "KEY", "other;not a comment"},
  };
  for (const Case& expected : cases) {
    SCOPED_TRACE(std::string(expected.section) + "/" + expected.key);
    EXPECT_EQ(read(expected.section, expected.key), expected.value);
  }
}

TEST_F(ProfileFile, GivesTheDefaultWithoutTrailingSpacesWhenAnythingIsMissing) {
  EXPECT_EQ(read("Panel", "Missing", "fallback  "), "fallback");
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(read("Nowhere", "Language", "fallback"), "fallback");
  EXPECT_EQ(read("Panel", "no equals sign", "fallback"), "fallback");
  EXPECT_EQ(read("", "top", "fallback"), "fallback");
  EXPECT_EQ(read("Panel", "Missing", nullptr), "");

  for (const std::string& unreadable : {folder.file("absent.ini"), folder.path().string()}) {
    path = unreadable;
    EXPECT_EQ(read("Panel", "Language", "fallback"), "fallback");
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  }
}

TEST_F(ProfileFile, CutsLongValuesToTheBufferAndTerminatesThem) {
  // Rack's value is 19 characters.
  EXPECT_EQ(read("Panel", "Rack", nullptr, 8), "C:\\Sonm");
  EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);
  EXPECT_EQ(read("Panel", "Rack", nullptr, 19), "C:\\Sonmira\\rack.ex");
  EXPECT_EQ(read("Panel", "Rack", nullptr, 20), "C:\\Sonmira\\rack.exe");
  EXPECT_EQ(read("Panel", "Rack", nullptr, 1), "");

  char untouched = '#';
  EXPECT_EQ(GetPrivateProfileStringA("Panel", "Rack", nullptr, &untouched, 0, path.c_str()), 0u);
  EXPECT_EQ(untouched, '#');
}

TEST_F(ProfileFile, ListsSectionAndKeyNamesEndedByAnExtraNull) {
  char names[64];
  DWORD count = GetPrivateProfileStringA(nullptr, nullptr, nullptr, names, 64, path.c_str());
  EXPECT_EQ(std::string(names, count + 1), std::string("Panel\0Other\0\0", 13));

  count = GetPrivateProfileStringA("other", nullptr, nullptr, names, 64, path.c_str());
  EXPECT_EQ(std::string(names, count + 1), std::string("key\0\0", 5));

  // Cut short: size - 2 characters, then two nulls.
  count = GetPrivateProfileStringA(nullptr, nullptr, nullptr, names, 9, path.c_str());
  EXPECT_EQ(count, 7u);
  EXPECT_EQ(std::string(names, 9), std::string("Panel\0O\0\0", 9));
}

TEST_F(ProfileFile, BackslashesInTheFileNameAreSlashes) {
  std::string windowsStyle = path;
  std::ranges::replace(windowsStyle, '/', '\\');
  char value[8];
  GetPrivateProfileStringA("Panel", "Language", "", value, 8, windowsStyle.c_str());
  EXPECT_STREQ(value, "2");
}

// Temporary folders have ASCII paths.
std::u16string widePath(const std::string& path) {
  return {path.begin(), path.end()};
}

// The caption file of a simplified Chinese installation, stored in GBK.
constexpr std::string_view kGbkSettings =
    "[\xC3\xE6\xB0\xE5]\r\n"                                                  // [面板]
    "\xB1\xEA\xCC\xE2=\xD2\xF4\xC1\xBF\xBB\xB0\xCD\xB2\xC9\xE8\xD6\xC3\r\n";  // 标题=音量话筒设置

TEST(ProfileEncodings, AnAnsiFileIsReadInTheSystemsCodePage) {
  ScopedLocale locale("zh_CN.UTF-8");
  TempFolder folder;
  const std::u16string path = widePath(folder.write("gbk.ini", kGbkSettings));
  WCHAR value[32];
  const DWORD count = GetPrivateProfileStringW(u"面板", u"标题", u"", value, 32, path.c_str());
  EXPECT_EQ(std::u16string(value, count), u"音量话筒设置");

  // The A form hands back the file's own bytes.
  char bytes[32];
  GetPrivateProfileStringA("\xC3\xE6\xB0\xE5", "\xB1\xEA\xCC\xE2", "", bytes, 32,
                           folder.file("gbk.ini").c_str());
  EXPECT_STREQ(bytes, "\xD2\xF4\xC1\xBF\xBB\xB0\xCD\xB2\xC9\xE8\xD6\xC3");
}

TEST(ProfileEncodings, Big5TrailBytesThatLookLikeBracketsDoNotEndASection) {
  // 設 is B3 5D in Big5, and 5D is ']'.
  ScopedLocale locale("zh_TW.UTF-8");
  TempFolder folder;
  const std::string path = folder.write(
      "big5.ini", "[\xB3\x5D\xB8\x6D]\r\nkey=\xAD\xB5\xB6\x71\r\n");  // [設置] key=音量
  char value[16];
  GetPrivateProfileStringA("\xB3\x5D\xB8\x6D", "key", "", value, 16, path.c_str());
  EXPECT_STREQ(value, "\xAD\xB5\xB6\x71");
}

TEST(ProfileEncodings, ByteOrderMarksChooseUtf16OrUtf8) {
  ScopedLocale locale("en_US.UTF-8");
  TempFolder folder;
  const std::u16string text = u"[面板]\r\n标题 = 岚墨琪D330控制面板\r\n";
  std::string utf16("\xFF\xFE");
  utf16.append(reinterpret_cast<const char*>(text.data()), text.size() * 2);
  const std::string utf8 =
      "\xEF\xBB\xBF[\xE9\x9D\xA2\xE6\x9D\xBF]\nkey=\xE9\x9F\xB3\n";  // [面板] key=音

  WCHAR value[32];
  const std::u16string wideUtf16Path = widePath(folder.write("utf16.ini", utf16));
  DWORD count = GetPrivateProfileStringW(u"面板", u"标题", u"", value, 32, wideUtf16Path.c_str());
  EXPECT_EQ(std::u16string(value, count), u"岚墨琪D330控制面板");

  const std::u16string wideUtf8Path = widePath(folder.write("utf8.ini", utf8));
  count = GetPrivateProfileStringW(u"面板", u"KEY", u"", value, 32, wideUtf8Path.c_str());
  EXPECT_EQ(std::u16string(value, count), u"音");

  // Cut to the buffer in UTF-16 units.
  count = GetPrivateProfileStringW(u"面板", u"标题", u"", value, 4, wideUtf16Path.c_str());
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(std::u16string(value), u"岚墨琪");
}

}  // namespace
