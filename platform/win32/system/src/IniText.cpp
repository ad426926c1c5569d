#include "IniText.h"

#include <algorithm>

namespace win32 {

namespace {

bool isBlank(char16_t c) {
  return c == u' ' || c == u'\t';
}

char16_t foldAscii(char16_t c) {
  return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
}

std::u16string_view unquoted(std::u16string_view value) {
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

std::u16string_view trimBlanks(std::u16string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool equalIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
  return std::ranges::equal(a, b, {}, foldAscii, foldAscii);
}

IniText::IniText(std::u16string_view text) {
  Section* current = nullptr;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find(u'\n'), text.size());
    std::u16string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
    line = trimBlanks(line);
    if (line.empty() || line.front() == u';') continue;

    if (line.front() == u'[') {
      const std::size_t close = line.find(u']');
      const auto name = trimBlanks(line.substr(1, close == line.npos ? line.npos : close - 1));
      sections.push_back({std::u16string(name), {}});
      current = &sections.back();
      continue;
    }
    const std::size_t equals = line.find(u'=');
    // Keys before the first section belong to none, and lines without '='
    // have no value to find.
    if (!current || equals == line.npos) continue;
    current->entries.push_back({std::u16string(trimBlanks(line.substr(0, equals))),
                                std::u16string(unquoted(trimBlanks(line.substr(equals + 1))))});
  }
}

const IniText::Section* IniText::find(std::u16string_view name) const {
  for (const Section& section : sections) {
    if (equalIgnoringAsciiCase(section.name, name)) return &section;
  }
  return nullptr;
}

std::optional<std::u16string> IniText::value(std::u16string_view section,
                                             std::u16string_view key) const {
  const Section* found = find(section);
  if (!found) return std::nullopt;
  for (const Entry& entry : found->entries) {
    if (equalIgnoringAsciiCase(entry.key, key)) return entry.value;
  }
  return std::nullopt;
}

std::optional<std::vector<std::u16string>> IniText::keyNames(std::u16string_view section) const {
  const Section* found = find(section);
  if (!found) return std::nullopt;
  std::vector<std::u16string> names;
  for (const Entry& entry : found->entries) {
    const bool seen = std::ranges::any_of(
        names, [&](const std::u16string& name) { return equalIgnoringAsciiCase(name, entry.key); });
    if (!seen) names.push_back(entry.key);
  }
  return names;
}

std::vector<std::u16string> IniText::sectionNames() const {
  std::vector<std::u16string> names;
  for (const Section& section : sections) {
    const bool seen = std::ranges::any_of(names, [&](const std::u16string& name) {
      return equalIgnoringAsciiCase(name, section.name);
    });
    if (!seen) names.push_back(section.name);
  }
  return names;
}

}  // namespace win32
