// Numbers and byte strings as korvanectl reads and prints them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvanectl {

// Decimal, or hexadecimal after 0x; none when the text is not a number that
// fits in 32 bits.
std::optional<std::uint32_t> parseNumber(std::string_view text);
// Pairs of hex digits; none for an odd count or a non-hex character.
std::optional<std::vector<std::uint8_t>> parseHexBytes(std::string_view text);
// Lower-case hex, two digits a byte.
std::string hexText(std::span<const std::uint8_t> bytes);

}  // namespace korvanectl
