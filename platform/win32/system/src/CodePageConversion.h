// Whole-string conversions between UTF-16 and the code pages there are,
// shared by the conversion calls, the profile reader and the process
// starter. Thread-safe: nothing is shared between calls.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "win32/Language.h"
#include "win32/Types.h"

namespace win32 {

UINT ansiCodePageOf(LANGID language);

struct Decoded {
  std::u16string text;
  bool hadInvalid = false;  // some bytes became U+FFFD
};
// nullopt for a code page there is not; CP_ACP is the current one.
std::optional<Decoded> decodeText(UINT codePage, std::string_view bytes);

struct Encoded {
  std::string bytes;
  bool hadInvalid = false;   // a lone surrogate was replaced
  bool usedDefault = false;  // the default character stood in for something
};
// A character the code page lacks, or a lone surrogate, becomes
// defaultChar; in UTF-8 a lone surrogate becomes U+FFFD.
std::optional<Encoded> encodeText(UINT codePage, std::u16string_view text,
                                  std::string_view defaultChar = "?");

// The conversions between UTF-8 and UTF-16 that file names and debug strings
// need; invalid input is replaced, not refused.
std::string toUtf8(std::u16string_view text);
std::u16string fromUtf8(std::string_view text);
// Text in the current ANSI code page; empty when that page cannot be had.
std::u16string fromAnsi(std::string_view text);

}  // namespace win32
