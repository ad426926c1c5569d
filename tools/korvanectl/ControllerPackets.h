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

using cardctl::kIdCharsPerRecord;
using cardctl::kIdFirstRecord;
using cardctl::kIdSecondRecord;
using cardctl::kReadCommand;
using cardctl::kRecordCommandBase;
using cardctl::kRecordCount;

Packet readRequest(unsigned index);
Packet writeRequest(unsigned index, const Record& data);
// The record in a reply to the read of `index`; none when the reply is not one.
std::optional<Record> recordInReply(const Packet& reply, unsigned index);

}  // namespace korvanectl
