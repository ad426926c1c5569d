// The card's controller behind the mailbox: 64 records of 8 bytes, read and
// written through checksummed packets. Not thread-safe: the card's state lock
// guards it.
#pragma once

#include <array>
#include <string_view>

#include "card/ControllerPacket.h"
#include "card/Mixer.h"

namespace card {

class Controller {
 public:
  enum class Outcome { Answered, Stored, Ignored };

  // The identifier must be kIdentifierLength characters; throws
  // std::invalid_argument otherwise.
  explicit Controller(std::string_view cardId);

  // A read fills reply and answers; a write stores the record; a packet with
  // a wrong checksum or an unknown command changes nothing.
  Outcome handle(const ControllerPacket& request, ControllerPacket& reply);

  const ControllerRecord& record(unsigned index) const { return records.at(index); }
  MixerSettings mixer() const { return decodeMixerRecord(records[kMixerRecord]); }

 private:
  std::array<ControllerRecord, kRecordCount> records{};
};

}  // namespace card
