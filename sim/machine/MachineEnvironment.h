// The simulation's settings that a program's machine takes from the
// environment: KORVANE_CARD_INPUT (silence, sine:HZ:DBFS or a WAV path),
// KORVANE_CARD_OUTPUT (a WAV path), KORVANE_STATE_DIR (where the registry
// persists) and KORVANE_NO_CARD=1 (a machine without the card).
#pragma once

#include <string>

#include "EmbeddedDeviceService.h"

namespace machine {

// KORVANE_STATE_DIR, else $XDG_STATE_HOME/korvane, else ~/.local/state/korvane.
std::string stateDirectoryFromEnvironment();

// The registry file in a state folder, creating the folder. Throws
// std::runtime_error naming the folder when it cannot be made.
std::string registryFileIn(const std::string& stateDirectory);

// Options as the environment sets them. Throws std::invalid_argument naming
// the variable whose value is unusable, std::runtime_error for the state folder.
EmbeddedOptions embeddedOptionsFromEnvironment();

}  // namespace machine
