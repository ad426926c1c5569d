#include "Win32Fixture.h"

#include "EmbeddedDeviceService.h"
#include "MachineEnvironment.h"
#include "ProcessDeviceService.h"
#include "host/HostClient.h"

void Win32Devices::SetUp() {
  const std::string state = scratch.file("state");
  if (GetParam() == Transport::Embedded) {
    machine::EmbeddedOptions options;
    options.machine.registryFile = machine::registryFileIn(state);
    embedded = std::make_shared<machine::EmbeddedDeviceService>(std::move(options));
    machine::setProcessDeviceService(embedded);
    return;
  }
  host = std::make_unique<machine::testing::HostProcess>(
      scratch.path().string(), machine::testing::HostSettings{state, "", ""});
  std::string error;
  auto client = machine::host::HostClient::connect(host->socketPath(), &error);
  ASSERT_NE(client, nullptr) << error;
  machine::setProcessDeviceService(std::move(client));
}

void Win32Devices::TearDown() {
  machine::setProcessDeviceService(nullptr);
  if (embedded) {
    const auto report = embedded->unload();
    EXPECT_TRUE(report.clean) << report.outstanding.bytes << " bytes left";
    embedded.reset();
  }
  if (host) machine::testing::expectCleanStop(*host);
}

std::string transportName(const ::testing::TestParamInfo<Transport>& info) {
  return info.param == Transport::Embedded ? "Embedded" : "Host";
}
