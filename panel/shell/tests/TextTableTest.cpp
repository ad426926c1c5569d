#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <ostream>
#include <set>
#include <string>

#include "Captions.h"
#include "TextTable.h"

namespace {

using panel::TextTable;

juce::String utf8(const char* text) {
  return juce::String::fromUTF8(text);
}

struct LanguageCase {
  LANGID system;
  int language;
};

void PrintTo(const LanguageCase& system, std::ostream* out) {
  *out << "0x" << std::hex << system.system;
}

class TableLanguage : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(TableLanguage, FollowsTheSystemsLanguage) {
  const TextTable table([this] { return GetParam().system; });
  EXPECT_EQ(table.getLanguage(), GetParam().language);
  for (const auto& row : panel::captionRows) {
    const char* expected[] = {nullptr, row.simplified, row.traditional, row.english};
    EXPECT_EQ(table.getText(row.key), utf8(expected[GetParam().language])) << row.key;
  }
}

INSTANTIATE_TEST_SUITE_P(Systems, TableLanguage,
                         ::testing::Values(LanguageCase{0x0804, TextTable::simplifiedChinese},
                                           LanguageCase{0x0404, TextTable::traditionalChinese},
                                           LanguageCase{0x0C04, TextTable::english},
                                           LanguageCase{0x1004, TextTable::english},
                                           LanguageCase{0x1404, TextTable::english},
                                           LanguageCase{0x0409, TextTable::english},
                                           LanguageCase{0x0411, TextTable::english}));

// LC_ALL overrides the other locale variables; the old value comes back.
class ScopedLcAll {
 public:
  explicit ScopedLcAll(const char* value) {
    if (const char* old = std::getenv("LC_ALL")) saved = old;
    ::setenv("LC_ALL", value, 1);
  }
  ~ScopedLcAll() {
    if (saved) {
      ::setenv("LC_ALL", saved->c_str(), 1);
    } else {
      ::unsetenv("LC_ALL");
    }
  }

 private:
  std::optional<std::string> saved;
};

TEST(TextTable, TheProgramsTableTakesTheLanguageOnceOnFirstUse) {
  TextTable::deleteInstance();
  {
    const ScopedLcAll taiwan("zh_TW.UTF-8");
    TextTable* table = TextTable::getInstance();
    EXPECT_EQ(table->getLanguage(), TextTable::traditionalChinese);
    const ScopedLcAll mainland("zh_CN.UTF-8");
    EXPECT_EQ(TextTable::getInstance(), table);
    EXPECT_EQ(table->getText("shezhi"), utf8("設置"));
  }
  TextTable::deleteInstance();
}

TEST(TextTable, HoldsThirtyFiveKeysInThreeLanguages) {
  std::set<std::string> keys;
  for (const auto& row : panel::captionRows) keys.insert(row.key);
  EXPECT_EQ(keys.size(), 35u);
  EXPECT_EQ(TextTable([] { return LANGID{0x0409}; }).getNumTexts(), 105);
}

TEST(TextTable, EveryKeyHasACaptionInEveryLanguage) {
  for (LANGID system : {LANGID{0x0804}, LANGID{0x0404}, LANGID{0x0409}}) {
    const TextTable table([=] { return system; });
    for (const auto& row : panel::captionRows) {
      SCOPED_TRACE(row.key);
      EXPECT_TRUE(table.getText(row.key).isNotEmpty());
    }
  }
}

TEST(TextTable, AnUnknownKeyHasNoCaption) {
  const TextTable table([] { return LANGID{0x0804}; });
  EXPECT_TRUE(table.getText("nosuchkey").isEmpty());
  EXPECT_TRUE(table.getText("").isEmpty());
  // A key with a language letter is not a key of its own.
  EXPECT_TRUE(table.getText("shezhij").isEmpty());
}

TEST(TextTable, RestoreEffectBreaksIntoTwoLinesInEveryLanguage) {
  for (LANGID system : {LANGID{0x0804}, LANGID{0x0404}, LANGID{0x0409}}) {
    const juce::String caption = TextTable([=] { return system; }).getText("xiaoguohuanyuan");
    EXPECT_EQ(juce::StringArray::fromLines(caption).size(), 2) << caption;
    EXPECT_EQ(caption.indexOfChar('\n'), caption.lastIndexOfChar('\n'));
  }
}

TEST(TextTable, FiveCaptionsReadTheSameInSimplifiedAndTraditional) {
  const TextTable simplified([] { return LANGID{0x0804}; });
  const TextTable traditional([] { return LANGID{0x0404}; });
  std::set<std::string> same;
  for (const auto& row : panel::captionRows) {
    if (simplified.getText(row.key) == traditional.getText(row.key)) same.insert(row.key);
  }
  EXPECT_EQ(same, (std::set<std::string>{"putongmoshi", "weishen", "bofangtingzhi",
                                         "lanmoqid330kongzhimianban", "tuichukongzhimianban"}));
}

TEST(TextTable, CaptionsKeepTheirExactCharacters) {
  struct Case {
    const char* key;
    LANGID system;
    const char* caption;
  };
  const Case cases[] = {
      {"yaxiandengji", 0x0804, "压限等级:"},
      {"yaxiandengji", 0x0404, "壓限等級:"},
      {"bofangtingzhi", 0x0404, "播放/停止"},
      {"zhelixianshiluyinboxing", 0x0404, "這裡顯示錄音波形"},
      {"cunweimp3", 0x0404, "存為MP3"},
      {"caiyanglv", 0x0404, "採樣率:"},
      {"xiaoguohuanyuan", 0x0409, "Restore\nEffect"},
      {"lanmoqid330kongzhimianban", 0x0409, "VYT D330 Controller"},
      {"tuichukongzhimianban", 0x0409, "Exit"},
  };
  for (const Case& expected : cases) {
    SCOPED_TRACE(expected.key);
    EXPECT_EQ(TextTable([&] { return expected.system; }).getText(expected.key),
              utf8(expected.caption));
  }
  // Colons and slashes are ASCII in every language, never full-width.
  for (LANGID system : {LANGID{0x0804}, LANGID{0x0404}}) {
    const TextTable table([=] { return system; });
    for (const auto& row : panel::captionRows) {
      EXPECT_FALSE(table.getText(row.key).containsAnyOf(utf8("：／"))) << row.key;
    }
  }
}

}  // namespace
