#include "host/Message.h"

#include <cstring>

namespace machine::host {

namespace {

template <typename T>
void append(std::vector<std::uint8_t>& data, T value) {
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    data.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
}

template <typename T>
T load(const std::uint8_t* bytes) {
  T value = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) value |= static_cast<T>(T{bytes[i]} << (8 * i));
  return value;
}

}  // namespace

MessageWriter::MessageWriter(MessageType type, std::uint32_t tag) {
  data.assign(4, 0);  // the length word, filled in by frame()
  data.push_back(static_cast<std::uint8_t>(type));
  append(data, tag);
}

MessageWriter& MessageWriter::u8(std::uint8_t value) {
  data.push_back(value);
  return *this;
}

MessageWriter& MessageWriter::u32(std::uint32_t value) {
  append(data, value);
  return *this;
}

MessageWriter& MessageWriter::u64(std::uint64_t value) {
  append(data, value);
  return *this;
}

MessageWriter& MessageWriter::text(std::string_view value) {
  u32(static_cast<std::uint32_t>(value.size()));
  return bytes(value.data(), value.size());
}

MessageWriter& MessageWriter::bytes(const void* source, std::size_t count) {
  if (count == 0) return *this;
  const auto* first = static_cast<const std::uint8_t*>(source);
  data.insert(data.end(), first, first + count);
  return *this;
}

std::span<const std::uint8_t> MessageWriter::frame() {
  const auto length = static_cast<std::uint32_t>(data.size() - 4);
  for (int i = 0; i < 4; ++i) data[i] = static_cast<std::uint8_t>(length >> (8 * i));
  return data;
}

MessageReader::MessageReader(std::span<const std::uint8_t> bytes) : payload(bytes) {
  messageType = static_cast<MessageType>(u8());
  messageTag = u32();
}

bool MessageReader::take(std::size_t count) {
  if (!valid || count > payload.size() - position) {
    valid = false;
    return false;
  }
  return true;
}

std::uint8_t MessageReader::u8() {
  if (!take(1)) return 0;
  return payload[position++];
}

std::uint32_t MessageReader::u32() {
  if (!take(4)) return 0;
  const auto value = load<std::uint32_t>(payload.data() + position);
  position += 4;
  return value;
}

std::uint64_t MessageReader::u64() {
  if (!take(8)) return 0;
  const auto value = load<std::uint64_t>(payload.data() + position);
  position += 8;
  return value;
}

std::string MessageReader::text() {
  const auto span = bytes(u32());
  return std::string(span.begin(), span.end());
}

std::span<const std::uint8_t> MessageReader::bytes(std::size_t count) {
  if (!take(count)) return {};
  const auto span = payload.subspan(position, count);
  position += count;
  return span;
}

}  // namespace machine::host
