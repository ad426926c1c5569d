#include "CardDevice.h"

#include <algorithm>
#include <cstring>

namespace korvanectl {

Reply CardDevice::control(DWORD code, void* input, DWORD inputLength, void* output,
                          DWORD outputLength) {
  // Passing an OVERLAPPED is how a caller learns the driver's own status.
  OVERLAPPED overlapped{};
  Reply reply;
  reply.ok = DeviceIoControl(handle, code, input, inputLength, output, outputLength,
                             &reply.returned, &overlapped);
  if (!reply.ok) reply.error = GetLastError();
  reply.status = static_cast<std::uint32_t>(overlapped.Internal);
  return reply;
}

Reply CardDevice::control(DWORD code, std::vector<std::uint8_t> input,
                          std::vector<std::uint8_t>& output) {
  return control(code, input.empty() ? nullptr : input.data(), static_cast<DWORD>(input.size()),
                 output.empty() ? nullptr : output.data(), static_cast<DWORD>(output.size()));
}

std::vector<std::uint8_t> words(std::initializer_list<std::uint32_t> values, std::size_t bytes) {
  std::vector<std::uint8_t> out(std::max(bytes, values.size() * 4), 0);
  std::size_t offset = 0;
  for (std::uint32_t value : values) {
    for (int i = 0; i < 4; ++i) out[offset++] = static_cast<std::uint8_t>(value >> (8 * i));
  }
  return out;
}

std::uint32_t wordAt(const std::vector<std::uint8_t>& bytes, std::size_t index) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= std::uint32_t{bytes[4 * index + i]} << (8 * i);
  return value;
}

}  // namespace korvanectl
