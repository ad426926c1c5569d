// The 10-byte packets of the controller mailbox: a command byte, 8 data bytes
// and a checksum that is the bitwise NOT of the 8-bit sum of the other nine.
#pragma once

#include <array>
#include <cstdint>

#include "card/CardRegisters.h"

namespace card {

using ControllerPacket = std::array<std::uint8_t, kPacketBytes>;
using ControllerRecord = std::array<std::uint8_t, kRecordBytes>;

std::uint8_t packetChecksum(const ControllerPacket& packet);
bool checksumValid(const ControllerPacket& packet);

// Complete packets, checksum included.
ControllerPacket makeReadRequest(unsigned index);
// A write of the record; a reply to a read has the same shape.
ControllerPacket makeRecordPacket(unsigned index, const ControllerRecord& data);

}  // namespace card
