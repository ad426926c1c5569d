// The packets korvanectl puts in the card's controller mailbox, as the
// control panel builds them: a command byte, 8 data bytes and a checksum
// that is the bitwise NOT of the 8-bit sum of the other nine.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "shared/CardControl.h"

namespace korvanectl {

using Packet = std::array<std::uint8_t, cardctl::kPacketBytes>;
using Record = std::array<std::uint8_t, 8>;

inline constexpr unsigned kRecordCount = 64;
inline constexpr std::uint8_t kReadCommand = 0x41;
// A write of record N, and the reply to a read of it, is command 0x40 | N.
inline constexpr std::uint8_t kRecordCommandBase = 0x40;

// The card's identifier: six characters at the start of each of two records.
inline constexpr unsigned kIdFirstRecord = 5;
inline constexpr unsigned kIdSecondRecord = 6;
inline constexpr unsigned kIdCharsPerRecord = 6;

Packet readRequest(unsigned index);
Packet writeRequest(unsigned index, const Record& data);
// The record in a reply to the read of `index`; none when the reply is not one.
std::optional<Record> recordInReply(const Packet& reply, unsigned index);

}  // namespace korvanectl
