// The machine a card-client test talks to, kept apart from the Windows
// declarations (the kernel's and Windows' names would clash in one file).
#pragma once

#include <optional>
#include <string>
#include <vector>

// Makes this process's Windows calls reach a fresh embedded machine, with or
// without the card, and with devices listed ahead of it: each a topology
// interface with no driver behind it, under the given service name or none.
void startCardMachine(bool withCard,
                      const std::vector<std::optional<std::string>>& servicesAhead = {});
// Unloads it; true when the driver left nothing behind.
bool stopCardMachine();
