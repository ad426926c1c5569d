// Sets the locale variables the language is read from for one test, and puts
// them back afterwards.
#pragma once

#include <array>
#include <cstdlib>
#include <optional>
#include <string>

namespace win32::testing {

class ScopedLocale {
 public:
  // LANG set to `lang`, LC_ALL and LC_MESSAGES unset.
  explicit ScopedLocale(const char* lang) : ScopedLocale(nullptr, nullptr, lang) {}
  ScopedLocale(const char* all, const char* messages, const char* lang) {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
      if (const char* value = std::getenv(kNames[i])) saved[i] = value;
    }
    set("LC_ALL", all);
    set("LC_MESSAGES", messages);
    set("LANG", lang);
  }
  ~ScopedLocale() {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
      set(kNames[i], saved[i] ? saved[i]->c_str() : nullptr);
    }
  }
  ScopedLocale(const ScopedLocale&) = delete;
  ScopedLocale& operator=(const ScopedLocale&) = delete;

 private:
  static void set(const char* name, const char* value) {
    if (value) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }

  static constexpr std::array<const char*, 3> kNames{"LC_ALL", "LC_MESSAGES", "LANG"};
  std::array<std::optional<std::string>, 3> saved;
};

}  // namespace win32::testing
