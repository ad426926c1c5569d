// The registry's contents: keys by case-insensitive path, each with named
// values, persisted to a file so that a driver's settings outlive a restart.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kernel {

struct RegistryValue {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

class RegistryStore {
 public:
  // Backs the store with a file: loads it if it exists (a damaged file is set
  // aside with the suffix ".damaged" and the store starts empty) and saves
  // every change to it. An empty path makes the store memory-only and empty.
  static void useFile(const std::string& path);
  static std::string file();

  // Host access, paths and names in UTF-8, e.g.
  // "\\Registry\\Machine\\System\\CurrentControlSet\\Services\\vytpci_".
  static void setValue(const std::string& keyPath, const std::string& name,
                       const RegistryValue& value);
  static void setDword(const std::string& keyPath, const std::string& name, std::uint32_t value);
  static std::optional<RegistryValue> value(const std::string& keyPath, const std::string& name);
  static bool deleteValue(const std::string& keyPath, const std::string& name);
  static bool keyExists(const std::string& keyPath);
  static void createKey(const std::string& keyPath);
  static void clear();
};

}  // namespace kernel
