// The names discovery hands out: the card's device instance id, interface
// class ids as text, and the paths of device interfaces, in the form Windows
// gives them: \\?\<instance id with # for \>#<class>\<reference>.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace machine {

// The card's device instance id on the virtual PCI bus.
inline constexpr std::string_view kCardInstanceId =
    "PCI\\VEN_1FA7&DEV_0A51&SUBSYS_00011FA7&REV_01\\4&1C3E2B7&0&00E0";

// A GUID as "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" in lower case.
std::string classIdText(std::uint32_t data1, std::uint16_t data2, std::uint16_t data3,
                        const std::uint8_t (&data4)[8]);

std::string interfacePath(std::string_view instanceId, std::string_view classId,
                          std::string_view reference);

// ASCII comparison without regard to case, as device names and paths compare.
bool sameName(std::string_view a, std::string_view b);

}  // namespace machine
