// Conversions between kernel UTF-16 strings and the host's UTF-8 strings.
#pragma once

#include <string>

#include "kernel/Types.h"

namespace kernel {

std::string toUtf8(const UNICODE_STRING& text);
std::string toUtf8(std::u16string_view text);
std::u16string toUtf16(std::string_view text);

// A UNICODE_STRING that owns its buffer, for hosts passing paths to a driver.
class OwnedUnicodeString {
 public:
  explicit OwnedUnicodeString(std::string_view text);
  OwnedUnicodeString(const OwnedUnicodeString&) = delete;
  OwnedUnicodeString& operator=(const OwnedUnicodeString&) = delete;
  PUNICODE_STRING get() { return &string; }

 private:
  std::u16string storage;
  UNICODE_STRING string;
};

}  // namespace kernel
