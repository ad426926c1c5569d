#include "card/ControllerPacket.h"

#include <algorithm>
#include <cassert>

namespace card {

std::uint8_t packetChecksum(const ControllerPacket& packet) {
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < kPacketChecksum; ++i)
    sum = static_cast<std::uint8_t>(sum + packet[i]);
  return static_cast<std::uint8_t>(~sum);
}

bool checksumValid(const ControllerPacket& packet) {
  return packet[kPacketChecksum] == packetChecksum(packet);
}

ControllerPacket makeReadRequest(unsigned index) {
  assert(index < kRecordCount);
  ControllerPacket packet{};
  packet[kPacketCommand] = kReadCommand;
  packet[kReadIndexByte] = static_cast<std::uint8_t>(index);
  packet[kPacketChecksum] = packetChecksum(packet);
  return packet;
}

ControllerPacket makeRecordPacket(unsigned index, const ControllerRecord& data) {
  assert(index < kRecordCount);
  ControllerPacket packet{};
  packet[kPacketCommand] = static_cast<std::uint8_t>(kRecordCommandBase | index);
  std::copy(data.begin(), data.end(), packet.begin() + kPacketData);
  packet[kPacketChecksum] = packetChecksum(packet);
  return packet;
}

}  // namespace card
