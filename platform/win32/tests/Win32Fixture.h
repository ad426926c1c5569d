// The Windows stand-ins over either transport: a machine embedded in the
// test's process, or korvane-host run as a child with this process as its
// client. Every test of the fixture runs on both, on a fresh machine.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "HostProcess.h"
#include "ScratchDir.h"

// Kept out of this header: its kernel types clash with the Windows ones.
namespace machine {
class EmbeddedDeviceService;
}

enum class Transport { Embedded, Host };

class Win32Devices : public ::testing::TestWithParam<Transport> {
 protected:
  void SetUp() override;
  void TearDown() override;

  machine::testing::ScratchDir scratch;
  std::shared_ptr<machine::EmbeddedDeviceService> embedded;
  std::unique_ptr<machine::testing::HostProcess> host;
};

std::string transportName(const ::testing::TestParamInfo<Transport>& info);

// The path discovery gives the card's topology filter.
inline constexpr char kCardTopologyPath[] =
    "\\\\?\\PCI#VEN_1FA7&DEV_0A51&SUBSYS_00011FA7&REV_01#4&1C3E2B7&0&00E0#"
    "{dda54a40-1e4c-11d1-a050-405705c10000}\\Topology";
