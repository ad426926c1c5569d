#include "HexText.h"

namespace korvanectl {

namespace {

int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<std::uint32_t> parseNumber(std::string_view text) {
  unsigned base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    const int digit = digitValue(c);
    if (digit < 0 || static_cast<unsigned>(digit) >= base) return std::nullopt;
    value = value * base + static_cast<unsigned>(digit);
    if (value > 0xFFFFFFFFu) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

std::optional<std::vector<std::uint8_t>> parseHexBytes(std::string_view text) {
  if (text.size() % 2 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = digitValue(text[i]);
    const int low = digitValue(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
  }
  return bytes;
}

std::string hexText(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::uint8_t byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0xF];
  }
  return text;
}

}  // namespace korvanectl
