// The kernel statuses that reach programs through a device service, by
// value: the service's users (the Windows stand-ins, korvane-host's clients)
// do not see the kernel's headers.
#pragma once

#include <cstdint>

namespace machine::status {

inline constexpr std::uint32_t kSuccess = 0x00000000;
inline constexpr std::uint32_t kBufferOverflow = 0x80000005;
inline constexpr std::uint32_t kDeviceBusy = 0x80000011;
inline constexpr std::uint32_t kUnsuccessful = 0xC0000001;
inline constexpr std::uint32_t kAccessViolation = 0xC0000005;
inline constexpr std::uint32_t kInvalidHandle = 0xC0000008;
inline constexpr std::uint32_t kInvalidParameter = 0xC000000D;
inline constexpr std::uint32_t kNoSuchDevice = 0xC000000E;
inline constexpr std::uint32_t kInvalidDeviceRequest = 0xC0000010;
inline constexpr std::uint32_t kAccessDenied = 0xC0000022;
inline constexpr std::uint32_t kBufferTooSmall = 0xC0000023;
inline constexpr std::uint32_t kObjectNameNotFound = 0xC0000034;
inline constexpr std::uint32_t kDeletePending = 0xC0000056;
inline constexpr std::uint32_t kInsufficientResources = 0xC000009A;
inline constexpr std::uint32_t kNotSupported = 0xC00000BB;
inline constexpr std::uint32_t kCancelled = 0xC0000120;
// The machine went away under an open handle (korvane-host ended or the
// connection to it broke).
inline constexpr std::uint32_t kDeviceRemoved = 0xC00002B6;

// Success and informational statuses have the top bit clear.
constexpr bool succeeded(std::uint32_t status) {
  return (status & 0x80000000u) == 0;
}

}  // namespace machine::status
