#include "win32/Profiles.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "CodePageConversion.h"
#include "FileNames.h"
#include "IniText.h"
#include "win32/CodePages.h"
#include "win32/SystemErrors.h"

namespace win32 {

namespace {

// What a call asked for, before it is put into the caller's characters.
struct Answer {
  bool isList = false;
  std::u16string value;
  std::vector<std::u16string> names;
  bool found = false;
};

std::optional<std::u16string> readProfile(const std::string& path) {
  // A folder would open as a stream too.
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  const auto size = std::filesystem::file_size(path, error);
  std::ifstream file(path, std::ios::binary);
  if (!file || error) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(size), '\0');
  file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  std::string_view content(bytes);
  if (content.starts_with("\xFF\xFE")) {
    content.remove_prefix(2);
    std::u16string text(content.size() / 2, u'\0');
    std::copy_n(content.data(), text.size() * 2, reinterpret_cast<char*>(text.data()));
    return text;
  }
  if (content.starts_with("\xEF\xBB\xBF")) return fromUtf8(content.substr(3));
  return win32::fromAnsi(content);
}

Answer lookUp(const std::optional<std::u16string>& section,
              const std::optional<std::u16string>& key, std::u16string_view defaultValue,
              const std::string& path) {
  Answer answer;
  answer.isList = !section || !key;
  const auto text = readProfile(path);
  if (text) {
    const IniText ini(*text);
    if (!section) {
      answer.names = ini.sectionNames();
      answer.found = true;
    } else if (!key) {
      auto names = ini.keyNames(*section);
      answer.found = names.has_value();
      if (names) answer.names = std::move(*names);
    } else if (auto value = ini.value(*section, *key)) {
      answer.value = std::move(*value);
      answer.found = true;
    }
  }
  if (!answer.found) {
    if (!answer.isList) {
      answer.value = defaultValue;
      while (!answer.value.empty() && answer.value.back() == u' ') answer.value.pop_back();
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
  }
  return answer;
}

template <typename Char>
DWORD copyValue(std::basic_string_view<Char> value, Char* buffer, DWORD size) {
  const std::size_t count = std::min<std::size_t>(value.size(), size - 1);
  std::copy_n(value.data(), count, buffer);
  buffer[count] = Char(0);
  if (count < value.size()) SetLastError(ERROR_MORE_DATA);
  return static_cast<DWORD>(count);
}

template <typename Char>
DWORD copyList(const std::vector<std::basic_string<Char>>& names, Char* buffer, DWORD size) {
  std::basic_string<Char> joined;
  for (const auto& name : names) {
    joined += name;
    joined += Char(0);
  }
  if (joined.size() + 1 <= size) {
    std::copy(joined.begin(), joined.end(), buffer);
    buffer[joined.size()] = Char(0);
    return static_cast<DWORD>(joined.size());
  }
  if (size < 2) {
    buffer[0] = Char(0);
    return 0;
  }
  std::copy_n(joined.data(), size - 2, buffer);
  buffer[size - 2] = Char(0);
  buffer[size - 1] = Char(0);
  SetLastError(ERROR_MORE_DATA);
  return size - 2;
}

std::optional<std::u16string> ansiArgument(LPCSTR text) {
  if (!text) return std::nullopt;
  return win32::fromAnsi(text);
}

std::optional<std::u16string> wideArgument(LPCWSTR text) {
  if (!text) return std::nullopt;
  return std::u16string(text);
}

std::string toAnsi(std::u16string_view text) {
  auto encoded = encodeText(CP_ACP, text);
  return encoded ? std::move(encoded->bytes) : std::string();
}

}  // namespace

DWORD GetPrivateProfileStringA(LPCSTR appName, LPCSTR keyName, LPCSTR defaultValue,
                               LPSTR returnedString, DWORD size, LPCSTR fileName) {
  if (!returnedString || size == 0) return 0;
  const Answer answer =
      lookUp(ansiArgument(appName), ansiArgument(keyName), ansiArgument(defaultValue).value_or(u""),
             fileName ? pathFromAnsi(fileName) : std::string());
  if (!answer.isList) return copyValue<char>(toAnsi(answer.value), returnedString, size);
  std::vector<std::string> names;
  for (const auto& name : answer.names) names.push_back(toAnsi(name));
  return copyList(names, returnedString, size);
}

DWORD GetPrivateProfileStringW(LPCWSTR appName, LPCWSTR keyName, LPCWSTR defaultValue,
                               LPWSTR returnedString, DWORD size, LPCWSTR fileName) {
  if (!returnedString || size == 0) return 0;
  const Answer answer =
      lookUp(wideArgument(appName), wideArgument(keyName), wideArgument(defaultValue).value_or(u""),
             fileName ? pathFromWide(fileName) : std::string());
  if (!answer.isList) return copyValue<WCHAR>(answer.value, returnedString, size);
  return copyList(answer.names, returnedString, size);
}

}  // namespace win32
