#include "kernel/host/RegistryStore.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

namespace kernel {

namespace {

// Key paths and value names compare case-insensitively (ASCII), as on Windows.
std::string fold(const std::string& text) {
  std::string folded = text;
  for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

struct NamedValue {
  std::string name;  // as first written
  RegistryValue value;
};

struct Key {
  std::string path;  // as first created
  std::map<std::string, NamedValue> values;  // by folded name
};

struct Store {
  std::mutex lock;
  std::map<std::string, Key> keys;  // by folded path
  std::string file;
};

Store& store() {
  static auto* registry = new Store;
  return *registry;
}

// The file: one "[key path]" line per key, then one line per value:
//   "name"=TYPE:HEXBYTES
// Names are written as they are; a quote or line break inside one is escaped.
std::string escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out;
}

void saveLocked(const Store& registry) {
  if (registry.file.empty()) return;
  std::ostringstream text;
  for (const auto& [folded, key] : registry.keys) {
    text << "[" << escape(key.path) << "]\n";
    for (const auto& [name, named] : key.values) {
      text << "\"" << escape(named.name) << "\"=" << named.value.type << ":";
      static const char* digits = "0123456789abcdef";
      for (auto byte : named.value.data) text << digits[byte >> 4] << digits[byte & 15];
      text << "\n";
    }
  }
  // Write beside and rename, so a crash never leaves half a file.
  std::filesystem::path path(registry.file);
  std::error_code error;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), error);
  const std::string temporary = registry.file + ".new";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << text.str();
    if (!out.flush()) return;
  }
  std::filesystem::rename(temporary, registry.file, error);
}

std::string unescape(const std::string& text, std::size_t& i, char end) {
  std::string out;
  while (i < text.size() && text[i] != end) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      ++i;
      out += text[i] == 'n' ? '\n' : text[i];
    } else {
      out += text[i];
    }
    ++i;
  }
  return out;
}

bool parse(const std::string& content, std::map<std::string, Key>& keys) {
  std::istringstream lines(content);
  std::string line;
  Key* current = nullptr;
  while (std::getline(lines, line)) {
    if (line.empty()) continue;
    std::size_t i = 1;
    if (line[0] == '[') {
      std::string path = unescape(line, i, ']');
      if (i >= line.size()) return false;
      current = &keys[fold(path)];
      current->path = path;
    } else if (line[0] == '"' && current) {
      std::string name = unescape(line, i, '"');
      if (i + 2 >= line.size() || line[i + 1] != '=') return false;
      std::size_t colon = line.find(':', i + 2);
      if (colon == std::string::npos) return false;
      RegistryValue value;
      try {
        value.type = static_cast<std::uint32_t>(std::stoul(line.substr(i + 2, colon - i - 2)));
      } catch (...) {
        return false;
      }
      const std::string hex = line.substr(colon + 1);
      if (hex.size() % 2) return false;
      for (std::size_t h = 0; h < hex.size(); h += 2) {
        if (!std::isxdigit(static_cast<unsigned char>(hex[h])) ||
            !std::isxdigit(static_cast<unsigned char>(hex[h + 1]))) {
          return false;
        }
        value.data.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(h, 2), nullptr, 16)));
      }
      current->values[fold(name)] = NamedValue{name, value};
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

void RegistryStore::useFile(const std::string& path) {
  auto& registry = store();
  std::lock_guard held(registry.lock);
  registry.keys.clear();
  registry.file = path;
  if (path.empty()) return;
  std::ifstream in(path);
  if (!in) return;
  std::stringstream content;
  content << in.rdbuf();
  std::map<std::string, Key> loaded;
  if (parse(content.str(), loaded)) {
    registry.keys = std::move(loaded);
  } else {
    std::fprintf(stderr, "registry: %s is damaged; set aside as %s.damaged, starting empty\n",
                 path.c_str(), path.c_str());
    std::error_code error;
    std::filesystem::rename(path, path + ".damaged", error);
  }
}

std::string RegistryStore::file() {
  auto& registry = store();
  std::lock_guard held(registry.lock);
  return registry.file;
}

void RegistryStore::setValue(const std::string& keyPath, const std::string& name,
                             const RegistryValue& value) {
  auto& registry = store();
  std::lock_guard held(registry.lock);
  Key& key = registry.keys[fold(keyPath)];
  if (key.path.empty()) key.path = keyPath;
  auto& named = key.values[fold(name)];
  if (named.name.empty()) named.name = name;
  named.value = value;
  saveLocked(registry);
}

void RegistryStore::setDword(const std::string& keyPath, const std::string& name,
                             std::uint32_t value) {
  RegistryValue dword{4, {}};
  for (int i = 0; i < 4; ++i) dword.data.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  setValue(keyPath, name, dword);
}

std::optional<RegistryValue> RegistryStore::value(const std::string& keyPath,
                                                  const std::string& name) {
  auto& registry = store();
  std::lock_guard held(registry.lock);
  auto key = registry.keys.find(fold(keyPath));
  if (key == registry.keys.end()) return std::nullopt;
  auto found = key->second.values.find(fold(name));
  if (found == key->second.values.end()) return std::nullopt;
  return found->second.value;
}

bool RegistryStore::deleteValue(const std::string& keyPath, const std::string& name) {
  auto& registry = store();
  std::lock_guard held(registry.lock);
  auto key = registry.keys.find(fold(keyPath));
  if (key == registry.keys.end() || !key->second.values.erase(fold(name))) return false;
  saveLocked(registry);
  return true;
}

bool RegistryStore::keyExists(const std::string& keyPath) {
  auto& registry = store();
  std::lock_guard held(registry.lock);
  return registry.keys.count(fold(keyPath)) != 0;
}

void RegistryStore::createKey(const std::string& keyPath) {
  auto& registry = store();
  std::lock_guard held(registry.lock);
  Key& key = registry.keys[fold(keyPath)];
  if (key.path.empty()) {
    key.path = keyPath;
    saveLocked(registry);
  }
}

void RegistryStore::clear() {
  auto& registry = store();
  std::lock_guard held(registry.lock);
  registry.keys.clear();
  saveLocked(registry);
}

}  // namespace kernel
