// The card's topology filter opened by korvanectl, and requests through it.
#pragma once

#include <cstdint>
#include <vector>

#include "win32/Win32.h"

namespace korvanectl {

struct Reply {
  bool ok = false;
  DWORD error = ERROR_SUCCESS;  // when not ok
  std::uint32_t status = 0;     // the driver's status, as the OVERLAPPED carries it
  DWORD returned = 0;
};

class CardDevice {
 public:
  explicit CardDevice(HANDLE opened) : handle(opened) {}
  ~CardDevice() { CloseHandle(handle); }
  CardDevice(const CardDevice&) = delete;
  CardDevice& operator=(const CardDevice&) = delete;

  // A request with the given buffers, either of which may be null.
  Reply control(DWORD code, void* input, DWORD inputLength, void* output, DWORD outputLength);
  // The same with byte vectors; an empty output gets room for none.
  Reply control(DWORD code, std::vector<std::uint8_t> input, std::vector<std::uint8_t>& output);

 private:
  HANDLE handle;
};

// Little-endian 32-bit words in a request buffer, padded with zeros to `bytes`.
std::vector<std::uint8_t> words(std::initializer_list<std::uint32_t> values, std::size_t bytes = 0);
std::uint32_t wordAt(const std::vector<std::uint8_t>& bytes, std::size_t index);

}  // namespace korvanectl
