// A device that is listed beside the machine's own but has no driver behind
// it: how a test puts devices with other service names, or none, in a
// program's way. Opening one of its interfaces finds nothing.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace machine {

struct ExtraInterface {
  std::string classId;    // "{...}", lower case, as DeviceInterface::classId
  std::string reference;  // the part of the path after the class, e.g. "Topology"
};

struct ExtraDevice {
  std::string instanceId;
  std::optional<std::string> serviceName;
  std::vector<ExtraInterface> interfaces;
};

}  // namespace machine
