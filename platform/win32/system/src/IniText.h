// The contents of an INI file, parsed for looking up: sections in file order,
// each with its keys in file order. Names keep their case; lookups fold ASCII
// case. Values are already trimmed and unquoted.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace win32 {

class IniText {
 public:
  explicit IniText(std::u16string_view text);

  std::optional<std::u16string> value(std::u16string_view section, std::u16string_view key) const;
  std::optional<std::vector<std::u16string>> keyNames(std::u16string_view section) const;
  std::vector<std::u16string> sectionNames() const;

 private:
  struct Entry {
    std::u16string key;
    std::u16string value;
  };
  struct Section {
    std::u16string name;
    std::vector<Entry> entries;
  };

  const Section* find(std::u16string_view name) const;

  std::vector<Section> sections;
};

// Spaces and tabs, the blanks INI names and values lose at either end.
std::u16string_view trimBlanks(std::u16string_view text);
bool equalIgnoringAsciiCase(std::u16string_view a, std::u16string_view b);

}  // namespace win32
