#include "win32/Language.h"

#include <array>
#include <cstdlib>
#include <string_view>

namespace win32 {

namespace {

struct Territory {
  std::string_view locale;
  LANGID language;
};

constexpr LANGID kUsEnglish = 0x0409;

constexpr std::array kTerritories = {
    Territory{"zh_CN", 0x0804}, Territory{"zh_TW", 0x0404}, Territory{"zh_HK", 0x0C04},
    Territory{"zh_SG", 0x1004}, Territory{"zh_MO", 0x1404}, Territory{"en_US", kUsEnglish},
    Territory{"ja_JP", 0x0411},
};

// POSIX lets LC_ALL override the category, and the category override LANG;
// an empty variable counts as unset.
std::string_view messagesLocale() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return value;
  }
  return {};
}

}  // namespace

LANGID GetSystemDefaultLangID() {
  std::string_view locale = messagesLocale();
  // "zh_CN.UTF-8" and "zh_CN@variant" name the territory before the codeset.
  locale = locale.substr(0, locale.find_first_of(".@"));
  for (const Territory& territory : kTerritories) {
    if (territory.locale == locale) return territory.language;
  }
  return kUsEnglish;
}

}  // namespace win32
