// One frame of korvane-host's protocol as bytes: a writer that builds it and
// a reader that takes it apart without ever reading past its end.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/Protocol.h"

namespace machine::host {

class MessageWriter {
 public:
  MessageWriter(MessageType type, std::uint32_t tag);

  MessageWriter& u8(std::uint8_t value);
  MessageWriter& u32(std::uint32_t value);
  MessageWriter& u64(std::uint64_t value);
  MessageWriter& text(std::string_view value);
  MessageWriter& bytes(const void* data, std::size_t count);

  // The frame with its length word filled in.
  std::span<const std::uint8_t> frame();

 private:
  std::vector<std::uint8_t> data;
};

class MessageReader {
 public:
  // A frame's payload: what follows the length word.
  explicit MessageReader(std::span<const std::uint8_t> payload);

  MessageType type() const { return messageType; }
  std::uint32_t tag() const { return messageTag; }

  // Past the end a read gives zero or empty and the reader is no longer ok.
  std::uint8_t u8();
  std::uint32_t u32();
  std::uint64_t u64();
  std::string text();
  std::span<const std::uint8_t> bytes(std::size_t count);

  bool ok() const { return valid; }
  // Every byte read and none missing.
  bool finished() const { return valid && position == payload.size(); }
  std::size_t remaining() const { return payload.size() - position; }

 private:
  bool take(std::size_t count);

  std::span<const std::uint8_t> payload;
  std::size_t position = 0;
  bool valid = true;
  MessageType messageType{};
  std::uint32_t messageTag = 0;
};

}  // namespace machine::host
