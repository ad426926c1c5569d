#include "MachineEnvironment.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "card/InputSetting.h"

namespace machine {

namespace {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string homeDirectory() {
  if (std::string home = environment("HOME"); !home.empty()) return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
  return "/tmp";
}

}  // namespace

std::string stateDirectoryFromEnvironment() {
  if (std::string state = environment("KORVANE_STATE_DIR"); !state.empty()) return state;
  if (std::string xdg = environment("XDG_STATE_HOME"); !xdg.empty()) return xdg + "/korvane";
  return homeDirectory() + "/.local/state/korvane";
}

std::string registryFileIn(const std::string& stateDirectory) {
  std::error_code error;
  std::filesystem::create_directories(stateDirectory, error);
  if (error) {
    throw std::runtime_error("cannot create the state folder " + stateDirectory + ": " +
                             error.message());
  }
  return (std::filesystem::path(stateDirectory) / "registry").string();
}

EmbeddedOptions embeddedOptionsFromEnvironment() {
  EmbeddedOptions options;
  if (std::string input = environment("KORVANE_CARD_INPUT"); !input.empty()) {
    try {
      options.machine.card.input = card::parseInputSetting(input);
    } catch (const std::exception& error) {
      throw std::invalid_argument(std::string("KORVANE_CARD_INPUT: ") + error.what());
    }
  }
  options.machine.card.outputPath = environment("KORVANE_CARD_OUTPUT");
  options.machine.withCard = environment("KORVANE_NO_CARD") != "1";
  options.machine.registryFile = registryFileIn(stateDirectoryFromEnvironment());
  return options;
}

}  // namespace machine
