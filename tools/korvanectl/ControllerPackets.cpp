#include "ControllerPackets.h"

#include <algorithm>

namespace korvanectl {

namespace {

using cardctl::kChecksumByte;
std::uint8_t checksum(const Packet& packet) { return cardctl::packetChecksum(packet.data()); }

}  // namespace

Packet readRequest(unsigned index) {
  Packet packet{};
  packet[0] = kReadCommand;
  packet[1] = static_cast<std::uint8_t>(index);
  packet[kChecksumByte] = checksum(packet);
  return packet;
}

Packet writeRequest(unsigned index, const Record& data) {
  Packet packet{};
  packet[0] = static_cast<std::uint8_t>(kRecordCommandBase | index);
  std::copy(data.begin(), data.end(), packet.begin() + 1);
  packet[kChecksumByte] = checksum(packet);
  return packet;
}

std::optional<Record> recordInReply(const Packet& reply, unsigned index) {
  if (reply[0] != (kRecordCommandBase | index) || reply[kChecksumByte] != checksum(reply)) {
    return std::nullopt;
  }
  Record record;
  std::copy(reply.begin() + 1, reply.begin() + 1 + record.size(), record.begin());
  return record;
}

}  // namespace korvanectl
