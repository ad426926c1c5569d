#include <gtest/gtest.h>

#include <ostream>

#include "ScopedLocale.h"
#include "win32/System.h"

namespace {

using win32::testing::ScopedLocale;

struct LocaleCase {
  const char* lang;
  LANGID language;
  UINT ansiCodePage;
};

void PrintTo(const LocaleCase& locale, std::ostream* out) {
  *out << (locale.lang ? locale.lang : "(unset)");
}

class LanguageOfLocale : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(LanguageOfLocale, GivesTheLanguageAndItsAnsiCodePage) {
  ScopedLocale locale(GetParam().lang);
  EXPECT_EQ(GetSystemDefaultLangID(), GetParam().language);
  EXPECT_EQ(GetACP(), GetParam().ansiCodePage);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, LanguageOfLocale,
    ::testing::Values(LocaleCase{"zh_CN.UTF-8", 0x0804, 936}, LocaleCase{"zh_CN.GBK", 0x0804, 936},
                      LocaleCase{"zh_TW.UTF-8", 0x0404, 950},
                      LocaleCase{"zh_HK.UTF-8", 0x0C04, 950}, LocaleCase{"zh_SG", 0x1004, 936},
                      LocaleCase{"zh_MO", 0x1404, 950}, LocaleCase{"en_US.UTF-8", 0x0409, 1252},
                      LocaleCase{"ja_JP.eucJP", 0x0411, 932},
                      LocaleCase{"zh_TW@traditional", 0x0404, 950}, LocaleCase{"C", 0x0409, 1252},
                      LocaleCase{"POSIX", 0x0409, 1252}, LocaleCase{"C.UTF-8", 0x0409, 1252},
                      LocaleCase{"de_DE.UTF-8", 0x0409, 1252}, LocaleCase{"zh", 0x0409, 1252},
                      LocaleCase{nullptr, 0x0409, 1252}));

TEST(LanguagePrecedence, LcAllThenLcMessagesThenLangWithEmptyValuesUnset) {
  {
    ScopedLocale locale("zh_TW.UTF-8", "zh_HK.UTF-8", "zh_CN.UTF-8");
    EXPECT_EQ(GetSystemDefaultLangID(), 0x0404);
  }
  {
    ScopedLocale locale("", "zh_HK.UTF-8", "zh_CN.UTF-8");
    EXPECT_EQ(GetSystemDefaultLangID(), 0x0C04);
  }
  {
    ScopedLocale locale("", "", "zh_CN.UTF-8");
    EXPECT_EQ(GetSystemDefaultLangID(), 0x0804);
  }
}

}  // namespace
