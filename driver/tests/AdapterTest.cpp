// Loading, starting, power transitions and stopping the driver on the card.
#include <gtest/gtest.h>

#include "CardCommon.h"
#include "CardContext.h"
#include "MachineTest.h"
#include "kernel/host/KernelHost.h"
#include "kernel/host/PoolTracker.h"
#include "kernel/host/PortClassHost.h"

namespace {

using Adapter = MachineTest;

TEST_F(Adapter, BootRegistersBothSubdevicesAndTheirConnections) {
  ASSERT_EQ(machine->boot(), STATUS_SUCCESS);
  const auto subdevices = kernel::PortClassHost::subdevices();
  ASSERT_EQ(subdevices.size(), 2u);
  EXPECT_EQ(subdevices[0].name, u"Topology");
  EXPECT_EQ(subdevices[1].name, u"Wave");
  EXPECT_EQ(subdevices[0].serviceName, u"vytpci_");
  const auto connections = kernel::PortClassHost::physicalConnections();
  ASSERT_EQ(connections.size(), 2u);
  EXPECT_EQ(connections[0].fromPort, subdevices[1].port);  // wave pin 3 -> topology pin 0
  EXPECT_EQ(connections[0].fromPin, 3u);
  EXPECT_EQ(connections[0].toPin, 0u);
  EXPECT_EQ(connections[1].fromPort, subdevices[0].port);  // topology pin 8 -> wave pin 1
  EXPECT_EQ(connections[1].fromPin, 8u);
  EXPECT_EQ(connections[1].toPin, 1u);

  auto& card = cardContext;
  EXPECT_EQ(card.engineReady, 1);
  EXPECT_EQ(card.engineStarted, 0) << "the interrupt waits for the first engine start";
  EXPECT_EQ(card.blockBytes, 1024u);
  EXPECT_EQ(card.mixerRecord[1] & 0x7F, 99u) << "the mixer record was read from the card";
  EXPECT_TRUE(machine->card()->initialConfigurationWritten());
  EXPECT_FALSE(machine->card()->playbackRunning());
}

TEST_F(Adapter, BlockAllocationFailureAtLoadLeavesPortClassUntouched) {
  kernel::PoolTracker::failNthAllocation(5);  // the fifth of the nine blocks
  EXPECT_EQ(machine->loadDriver(), STATUS_UNSUCCESSFUL);
  kernel::PoolTracker::clearFaults();
  EXPECT_FALSE(machine->loaded());
  EXPECT_EQ(kernel::PoolTracker::outstanding().allocations, 0u) << "the first four are freed";
}

TEST_F(Adapter, StartFailsWithoutAnInterruptResource) {
  ASSERT_EQ(machine->loadDriver(), STATUS_SUCCESS);
  ASSERT_EQ(machine->addDevice(), STATUS_SUCCESS);
  auto resources = machine->cardResources();
  resources.pop_back();  // the interrupt
  EXPECT_EQ(machine->startDevice(resources), STATUS_INSUFFICIENT_RESOURCES);
  EXPECT_TRUE(kernel::PortClassHost::subdevices().empty());
}

TEST_F(Adapter, TheShorterWindowIsTheRegisterWindowAndEqualLengthsTakeTheSecond) {
  ASSERT_EQ(machine->loadDriver(), STATUS_SUCCESS);
  ASSERT_EQ(machine->addDevice(), STATUS_SUCCESS);
  auto resources = machine->cardResources();  // registers (0x1000), aux (0x10000), interrupt
  std::swap(resources[0], resources[1]);      // the longer first: the shorter still wins
  ASSERT_EQ(machine->startDevice(resources), STATUS_SUCCESS);
  EXPECT_TRUE(machine->card()->initialConfigurationWritten());
  machine->stopDevice();

  // Equal lengths: only the first 0x1000 bytes of the auxiliary window, first.
  resources = machine->cardResources();
  auto aux = resources[1];
  aux.u.Memory.Length = 0x1000;
  const auto registersWindow = resources[0];
  resources[0] = aux;
  resources[1] = registersWindow;
  ASSERT_EQ(machine->startDevice(resources), STATUS_SUCCESS);
  EXPECT_EQ(cardContext.registers,
            MmMapIoSpace(registersWindow.u.Memory.Start, 0x1000, MmNonCached));
}

DEVICE_POWER_STATE powerState() {
  return static_cast<CardCommon*>(cardContext.cardCommon)->powerState();
}

TEST_F(Adapter, PowerTransitionsFollowTheTable) {
  ASSERT_EQ(machine->boot(), STATUS_SUCCESS);
  auto* card = machine->card();

  machine->setPowerState(PowerDeviceD0);  // D0 -> D0: nothing
  machine->setPowerState(static_cast<DEVICE_POWER_STATE>(0));
  machine->setPowerState(static_cast<DEVICE_POWER_STATE>(5));
  EXPECT_EQ(powerState(), PowerDeviceD0);

  // The engine never started: D3 only changes the state.
  machine->setPowerState(PowerDeviceD3);
  EXPECT_EQ(powerState(), PowerDeviceD3);
  EXPECT_EQ(card->powerControl(), 0u);
  machine->setPowerState(PowerDeviceD0);
  EXPECT_FALSE(card->playbackRunning()) << "no engine to restart";

  StartEngine();
  ASSERT_TRUE(card->playbackRunning());
  machine->setPowerState(PowerDeviceD1);
  EXPECT_EQ(card->powerControl(), 8u);
  EXPECT_FALSE(card->playbackRunning());
  EXPECT_FALSE(card->captureRunning());
  machine->setPowerState(PowerDeviceD0);
  EXPECT_EQ(card->powerControl(), 0u);
  EXPECT_TRUE(card->playbackRunning()) << "back at D0 the DMA restarts";
  EXPECT_TRUE(card->captureRunning());
}

TEST_F(Adapter, StartEngineTwiceConnectsOnceAndEachBlockQueuesOneDpc) {
  ASSERT_EQ(machine->boot(), STATUS_SUCCESS);
  StartEngine();
  StartEngine();
  EXPECT_EQ(cardContext.engineStarted, 1);
  const auto dpcsBefore = kernel::KernelHost::dpcRuns();
  runBlocks(3);
  EXPECT_EQ(kernel::KernelHost::dpcRuns() - dpcsBefore, 3u);
  EXPECT_EQ(cardContext.interruptCredit, 0) << "each tick consumed its block of credit";
}

TEST_F(Adapter, InterruptStatusC0AcknowledgesBothBitsAndQueuesOneDpc) {
  ASSERT_EQ(machine->boot(), STATUS_SUCCESS);
  StartEngine();
  const auto dpcsBefore = kernel::KernelHost::dpcRuns();
  machine->card()->raiseSpuriousInterrupt(0xC0);
  kernel::KernelHost::waitForDpcs();
  EXPECT_EQ(machine->card()->interruptStatus(), 0u) << "bits 7 and 6 acknowledged";
  EXPECT_EQ(kernel::KernelHost::dpcRuns() - dpcsBefore, 1u);

  machine->card()->raiseSpuriousInterrupt(0x30);  // bits 5 and 4: acknowledged, no DPC
  kernel::KernelHost::waitForDpcs();
  EXPECT_EQ(machine->card()->interruptStatus(), 0u);
  EXPECT_EQ(kernel::KernelHost::dpcRuns() - dpcsBefore, 1u);
}

TEST_F(Adapter, StopAndStartWithinOneLoadKeepsTheDriverWhole) {
  ASSERT_EQ(machine->boot(), STATUS_SUCCESS);
  StartEngine();
  runBlocks(2);
  machine->stopDevice();
  EXPECT_EQ(cardContext.engineReady, 0);
  EXPECT_FALSE(machine->card()->playbackRunning()) << "teardown stops both channels";

  ASSERT_EQ(machine->startDevice(), STATUS_SUCCESS);
  EXPECT_EQ(cardContext.engineReady, 1);
  EXPECT_NE(cardContext.inBlock.data, nullptr) << "the blocks outlive a stop";
  StartEngine();
  EXPECT_EQ(cardContext.engineStarted, 1);
  const auto dpcsBefore = kernel::KernelHost::dpcRuns();
  runBlocks(2);
  EXPECT_EQ(kernel::KernelHost::dpcRuns() - dpcsBefore, 2u) << "the interrupt is connected again";
  // TearDown unloads and checks that no pool is left.
}

}  // namespace
