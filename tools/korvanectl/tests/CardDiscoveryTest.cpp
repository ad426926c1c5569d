// The card search a program relies on, over devices the machine lists ahead
// of the card: which names count as the card's service, which devices end
// the search, and that no device is opened when there is no card.
#include <gtest/gtest.h>

#include "CardDiscovery.h"
#include "DevicePaths.h"
#include "DiscoveryMachine.h"
#include "ScratchDir.h"

namespace {

constexpr char kTopology[] = "{dda54a40-1e4c-11d1-a050-405705c10000}";
constexpr char kAudio[] = "{6994ad04-93ef-11d0-a3cc-00a0c9223196}";
constexpr char kOtherDevice[] = "PCI\\VEN_1234&DEV_5678\\3&11583659&0&08";

machine::ExtraDevice device(std::optional<std::string> service, const char* classId = kTopology) {
  return {kOtherDevice, std::move(service), {{classId, "Topology"}}};
}

TEST(CardDiscovery, FindsTheFirstTopologyDeviceOfTheCardsServiceAndNothingElse) {
  const std::string card = machine::interfacePath(machine::kCardInstanceId, kTopology, "Topology");
  const std::string other = machine::interfacePath(kOtherDevice, kTopology, "Topology");
  struct Case {
    const char* name;
    bool withCard;
    std::vector<machine::ExtraDevice> ahead;
    std::vector<std::string> opened;
    bool found;
  } cases[] = {
      {"the card alone", true, {}, {card}, true},
      {"the service name in capitals is the card's", true, {device("VYTPCI_")}, {other}, false},
      {"a longer service name is not", true, {device("vytpci_x")}, {card}, true},
      {"a device without a service ends the search", true, {device(std::nullopt)}, {}, false},
      {"a device of the service without a topology interface is not in the way",
       true,
       {device("vytpci_", kAudio)},
       {card},
       true},
      {"no card, so nothing to open", false, {device("vytpci_x")}, {}, false},
  };
  machine::testing::ScratchDir scratch;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DiscoveryMachine machine(c.withCard, c.ahead, scratch.file("state"));
    const korvanectl::Discovery found = korvanectl::openCard();
    EXPECT_EQ(machine.opened(), c.opened);
    EXPECT_EQ(found.handle != INVALID_HANDLE_VALUE, c.found) << found.problem;
    if (found.handle != INVALID_HANDLE_VALUE) CloseHandle(found.handle);
    EXPECT_TRUE(machine.unloadClean());
  }
}

}  // namespace
