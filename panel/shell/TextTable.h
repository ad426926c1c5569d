// The captions in the system's language. The language is chosen once, when
// the table is made: simplified Chinese on a simplified Chinese system,
// traditional Chinese on a traditional Chinese (Taiwan) one, English
// everywhere else. Read-only once made, so any thread may read it.
#pragma once

#include <juce_core/juce_core.h>
#include <juce_events/juce_events.h>

#include <functional>

#include "win32/System.h"

namespace panel {

class TextTable : private juce::DeletedAtShutdown {
 public:
  // The language numbers the table keeps captions under.
  static constexpr int simplifiedChinese = 1;
  static constexpr int traditionalChinese = 2;
  static constexpr int english = 3;

  // Asks GetSystemDefaultLangID.
  TextTable();
  // Asks languageSource instead, so that a table of any language can be made
  // beside the program's own.
  explicit TextTable(const std::function<LANGID()>& languageSource);
  ~TextTable() override;

  // The caption of the key in the table's language; empty for an unknown key.
  juce::String getText(const juce::String& key) const;

  int getLanguage() const { return language; }
  // Captions of all three languages.
  int getNumTexts() const { return texts.size(); }

  JUCE_DECLARE_SINGLETON(TextTable, false)

 private:
  static int languageOf(const std::function<LANGID()>& languageSource);

  const int language;
  juce::HashMap<juce::String, juce::String> texts{101};

  JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(TextTable)
};

}  // namespace panel
