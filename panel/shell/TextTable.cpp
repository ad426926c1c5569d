#include "TextTable.h"

#include "Captions.h"

namespace panel {

namespace {

constexpr LANGID kSimplifiedChineseSystem = 0x0804;
constexpr LANGID kTaiwanSystem = 0x0404;

// A caption is stored under its key with the language's letter appended: j
// for simplified (jianti), f for traditional (fanti), e for English.
juce::String suffixOf(int language) {
  switch (language) {
    case TextTable::traditionalChinese:
      return "f";
    case TextTable::english:
      return "e";
    default:
      return "j";
  }
}

}  // namespace

JUCE_IMPLEMENT_SINGLETON(TextTable)

TextTable::TextTable() : TextTable([] { return GetSystemDefaultLangID(); }) {}

TextTable::TextTable(const std::function<LANGID()>& languageSource)
    : language(languageOf(languageSource)) {
  for (const CaptionRow& row : captionRows) {
    const juce::String key(row.key);
    texts.set(key + suffixOf(simplifiedChinese), juce::String::fromUTF8(row.simplified));
    texts.set(key + suffixOf(traditionalChinese), juce::String::fromUTF8(row.traditional));
    texts.set(key + suffixOf(english), juce::String::fromUTF8(row.english));
  }
}

TextTable::~TextTable() {
  clearSingletonInstance();
}

int TextTable::languageOf(const std::function<LANGID()>& languageSource) {
  if (languageSource() == kSimplifiedChineseSystem) return simplifiedChinese;
  if (languageSource() == kTaiwanSystem) return traditionalChinese;
  return english;
}

juce::String TextTable::getText(const juce::String& key) const {
  return texts[key + suffixOf(language)];
}

}  // namespace panel
