// Finds the card and opens its topology filter the way the control panel
// does: among the topology devices, the first whose service is "vytpci_"
// (compared without regard to case), where a device without a service ends
// the search; then that device's topology interface by its instance id.
#pragma once

#include <string>

#include "win32/Win32.h"

namespace korvanectl {

struct Discovery {
  HANDLE handle = INVALID_HANDLE_VALUE;  // open on success
  std::string path;                      // the interface opened, or tried
  std::string problem;                   // what went wrong
};

Discovery openCard();

}  // namespace korvanectl
