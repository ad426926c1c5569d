#include "card/Controller.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace card {

Controller::Controller(std::string_view cardId) {
  if (cardId.size() != kIdentifierLength) {
    throw std::invalid_argument("card identifier \"" + std::string(cardId) + "\" must be " +
                                std::to_string(kIdentifierLength) + " characters");
  }
  records[kMixerRecord][kMixerMasterByte] = kMixerUnityLevel;
  std::copy_n(cardId.begin(), kIdentifierCharsPerRecord, records[kIdentifierFirstRecord].begin());
  std::copy_n(cardId.begin() + kIdentifierCharsPerRecord, kIdentifierCharsPerRecord,
              records[kIdentifierSecondRecord].begin());
}

Controller::Outcome Controller::handle(const ControllerPacket& request, ControllerPacket& reply) {
  if (!checksumValid(request)) return Outcome::Ignored;
  const std::uint8_t command = request[kPacketCommand];
  const auto data = request.begin() + kPacketData;

  if (command == kReadCommand) {
    const unsigned index = request[kReadIndexByte];
    const bool padded = std::all_of(data + 1, data + kRecordBytes, [](auto b) { return b == 0; });
    if (index >= kRecordCount || !padded) return Outcome::Ignored;
    reply = makeRecordPacket(index, records[index]);
    return Outcome::Answered;
  }
  if (command >= kRecordCommandBase && command < kRecordCommandBase + kRecordCount) {
    std::copy_n(data, kRecordBytes, records[command - kRecordCommandBase].begin());
    return Outcome::Stored;
  }
  return Outcome::Ignored;
}

}  // namespace card
