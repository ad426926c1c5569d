// A machine embedded in the test's process for the card search, with extra
// devices listed ahead of the card's, and a record of every path that
// CreateFileA brought to the machine.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ExtraDevice.h"

class DiscoveryMachine {
 public:
  DiscoveryMachine(bool withCard, std::vector<machine::ExtraDevice> ahead,
                   const std::string& stateDirectory);
  // Unloads the machine and puts the environment's service back.
  ~DiscoveryMachine();

  std::vector<std::string> opened() const;
  // Unloads now; true when the driver left nothing behind.
  bool unloadClean();

 private:
  struct Parts;
  std::unique_ptr<Parts> parts;
};
