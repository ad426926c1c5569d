#include "DevicePaths.h"

#include <cstdio>

namespace machine {

std::string classIdText(std::uint32_t data1, std::uint16_t data2, std::uint16_t data3,
                        const std::uint8_t (&data4)[8]) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
                static_cast<unsigned>(data1), data2, data3, data4[0], data4[1], data4[2], data4[3],
                data4[4], data4[5], data4[6], data4[7]);
  return text;
}

std::string interfacePath(std::string_view instanceId, std::string_view classId,
                          std::string_view reference) {
  std::string path = "\\\\?\\";
  for (char c : instanceId) path += c == '\\' ? '#' : c;
  path += '#';
  path += classId;
  if (!reference.empty()) {
    path += '\\';
    path += reference;
  }
  return path;
}

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace machine
