// Device discovery as a program walks it: sets, members, properties and
// interface paths, with the size queries and enumeration ends it relies on.
#include <cstring>
#include <string>
#include <vector>

#include "Win32Fixture.h"
#include "win32/Win32.h"

namespace {

constexpr char kCardInstanceId[] =
    "PCI\\VEN_1FA7&DEV_0A51&SUBSYS_00011FA7&REV_01\\4&1C3E2B7&0&00E0";

HDEVINFO topologySet(const char* enumerator = nullptr) {
  return SetupDiGetClassDevsA(&KSCATEGORY_TOPOLOGY, enumerator, nullptr,
                              DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
}

std::size_t members(HDEVINFO set) {
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  DWORD index = 0;
  while (SetupDiEnumDeviceInfo(set, index, &device)) ++index;
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
  return index;
}

TEST_P(Win32Devices, AWalkOverTheCardEndsWhereItShouldAndAsksForSizes) {
  HDEVINFO set = topologySet();
  ASSERT_NE(set, INVALID_HANDLE_VALUE);
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 0, &device));
  EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 1, &device));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
  ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 0, &device));

  // The service name: asked with no buffer, a short one, then enough.
  DWORD required = 0, type = 0;
  EXPECT_FALSE(
      SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_SERVICE, &type, nullptr, 0, &required));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(required, 8u) << "\"vytpci_\" and its null";
  BYTE service[8] = {};
  EXPECT_FALSE(
      SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_SERVICE, &type, service, 7, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  ASSERT_TRUE(SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_SERVICE, &type, service,
                                                sizeof service, nullptr));
  EXPECT_STREQ(reinterpret_cast<char*>(service), "vytpci_");
  EXPECT_EQ(type, REG_SZ);
  constexpr DWORD kDeviceDescription = 0;
  EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &device, kDeviceDescription, &type, service,
                                                 sizeof service, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);

  EXPECT_FALSE(SetupDiGetDeviceInstanceIdA(set, &device, nullptr, 0, &required));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  std::vector<char> instanceId(required);
  ASSERT_TRUE(SetupDiGetDeviceInstanceIdA(set, &device, instanceId.data(), required, nullptr));
  EXPECT_STREQ(instanceId.data(), kCardInstanceId);

  SP_DEVICE_INTERFACE_DATA face{};
  face.cbSize = sizeof face;
  EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, &device, &KSCATEGORY_TOPOLOGY, 1, &face));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
  ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, &device, &KSCATEGORY_TOPOLOGY, 0, &face));
  EXPECT_TRUE(IsEqualGUID(face.InterfaceClassGuid, KSCATEGORY_TOPOLOGY));

  EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &face, nullptr, 0, &required, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(required, 4 + std::strlen(kCardTopologyPath) + 1);
  std::vector<std::uint8_t> memory(required);
  auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(memory.data());
  detail->cbSize = required;  // the allocation's size, a classic mistake
  EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &face, detail, required, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_USER_BUFFER);
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
  EXPECT_FALSE(
      SetupDiGetDeviceInterfaceDetailA(set, &face, detail, required - 1, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  SP_DEVINFO_DATA owner{};
  owner.cbSize = sizeof owner;
  ASSERT_TRUE(SetupDiGetDeviceInterfaceDetailA(set, &face, detail, required, nullptr, &owner));
  EXPECT_STREQ(detail->DevicePath, kCardTopologyPath);
  EXPECT_EQ(owner.DevInst, device.DevInst);

  ASSERT_TRUE(SetupDiDestroyDeviceInfoList(set));
  EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &device));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(SetupDiDestroyDeviceInfoList(set));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_P(Win32Devices, SetsHoldTheDevicesTheyAreAskedFor) {
  struct Case {
    const char* name;
    const char* enumerator;
    std::size_t members;
  } cases[] = {
      {"every topology device", nullptr, 1},
      {"the card by its instance id, in any case",
       "pci\\ven_1fa7&dev_0a51&subsys_00011fa7&rev_01"
       "\\4&1c3e2b7&0&00e0",
       1},
      {"an instance id no device has", "PCI\\VEN_0000&DEV_0000\\0", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HDEVINFO set = topologySet(c.enumerator);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    EXPECT_EQ(members(set), c.members);
    SetupDiDestroyDeviceInfoList(set);
  }
  // Each device exposes a topology interface once, though it has others.
  HDEVINFO set = topologySet();
  SP_DEVICE_INTERFACE_DATA face{};
  face.cbSize = sizeof face;
  EXPECT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &KSCATEGORY_TOPOLOGY, 0, &face));
  EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &KSCATEGORY_TOPOLOGY, 1, &face));
  SetupDiDestroyDeviceInfoList(set);

  EXPECT_EQ(SetupDiGetClassDevsA(&KSCATEGORY_TOPOLOGY, nullptr, nullptr, DIGCF_PRESENT),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS) << "only interface sets exist here";
}

INSTANTIATE_TEST_SUITE_P(Transports, Win32Devices,
                         ::testing::Values(Transport::Embedded, Transport::Host), transportName);

}  // namespace
