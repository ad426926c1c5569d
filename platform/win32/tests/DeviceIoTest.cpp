// Handles and device I/O as a program uses them: the driver's statuses as
// Win32 errors, blocking requests that a close cancels, and handles that are
// not open. The same on an embedded machine and through korvane-host.
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "HostProcess.h"
#include "ProcessDeviceService.h"
#include "ScratchDir.h"
#include "Win32Fixture.h"
#include "host/HostClient.h"
#include "shared/CardControl.h"
#include "win32/Win32.h"

namespace {

using namespace std::chrono_literals;

HANDLE openCard() {
  return CreateFileA(kCardTopologyPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::vector<BYTE> words(std::initializer_list<DWORD> values, std::size_t bytes) {
  std::vector<BYTE> out(bytes, 0);
  std::size_t offset = 0;
  for (DWORD value : values) {
    std::memcpy(out.data() + offset, &value, 4);
    offset += 4;
  }
  return out;
}

TEST_P(Win32Devices, TheDriversStatusesBecomeWin32Errors) {
  using namespace cardctl;
  struct Case {
    const char* name;
    DWORD code;
    std::vector<BYTE> input;
    std::vector<BYTE> output;
    DWORD error;  // ERROR_SUCCESS: the call succeeds
    ULONG_PTR status;
  } cases[] = {
      {"the format", IOCTL_CARD_GET_FORMAT, {}, std::vector<BYTE>(16, 0xEE), ERROR_SUCCESS, 0},
      {"the format into 12 bytes",
       IOCTL_CARD_GET_FORMAT,
       {},
       std::vector<BYTE>(12),
       ERROR_INSUFFICIENT_BUFFER,
       0xC0000023},
      {"a record volume out of range",
       IOCTL_CARD_SET_REC_VOLUME,
       words({10}, 4),
       {},
       ERROR_INVALID_PARAMETER,
       0xC000000D},
      {"a low-latency start by no owner",
       IOCTL_CARD_LL_START,
       {},
       words({0x12345678}, 4),
       ERROR_GEN_FAILURE,
       0xC0000001},
      {"a code no one handles", 0x222FFF, {}, {}, ERROR_INVALID_FUNCTION, 0xC0000010},
  };
  HANDLE card = openCard();
  ASSERT_NE(card, INVALID_HANDLE_VALUE);
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    DWORD returned = 99;
    OVERLAPPED overlapped{};
    SetLastError(ERROR_SUCCESS);
    const BOOL done = DeviceIoControl(card, c.code, c.input.empty() ? nullptr : c.input.data(),
                                      static_cast<DWORD>(c.input.size()),
                                      c.output.empty() ? nullptr : c.output.data(),
                                      static_cast<DWORD>(c.output.size()), &returned, &overlapped);
    EXPECT_EQ(done, c.error == ERROR_SUCCESS ? TRUE : FALSE);
    if (!done) {
      EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(overlapped.Internal, c.status);
    EXPECT_EQ(returned, 0u) << "the card's requests report no bytes";
  }
  // The output buffer comes back as the driver left it.
  std::vector<BYTE>& format = cases[0].output;
  DWORD rate, reserved;
  std::memcpy(&rate, format.data(), 4);
  EXPECT_EQ(rate, 44100u);
  std::memcpy(&reserved, format.data() + 12, 4);
  EXPECT_EQ(reserved, 0u) << "activity written over the caller's bytes";
  EXPECT_TRUE(CloseHandle(card));
}

TEST_P(Win32Devices, ClosingAHandleCancelsItsPendingRequest) {
  HANDLE card = openCard();
  ASSERT_NE(card, INVALID_HANDLE_VALUE);
  DWORD token = 0, returned = 0;
  ASSERT_TRUE(DeviceIoControl(card, cardctl::IOCTL_CARD_LL_CLAIM, nullptr, 0, &token, 4, &returned,
                              nullptr));

  std::atomic<bool> returnedFromDriver{false};
  BOOL watchdogResult = TRUE;
  DWORD watchdogError = ERROR_SUCCESS;
  std::thread watchdog([&] {
    DWORD bytes = 0;
    watchdogResult = DeviceIoControl(card, cardctl::IOCTL_CARD_LL_WATCHDOG, nullptr, 0, nullptr, 0,
                                     &bytes, nullptr);
    watchdogError = GetLastError();
    returnedFromDriver = true;
  });
  std::this_thread::sleep_for(200ms);
  EXPECT_FALSE(returnedFromDriver) << "the watchdog waits while its handle is open";
  // Other requests on the same handle get through meanwhile.
  std::vector<BYTE> format(16);
  EXPECT_TRUE(DeviceIoControl(card, cardctl::IOCTL_CARD_GET_FORMAT, nullptr, 0, format.data(), 16,
                              &returned, nullptr));
  EXPECT_TRUE(CloseHandle(card));
  watchdog.join();
  EXPECT_FALSE(watchdogResult);
  EXPECT_EQ(watchdogError, ERROR_OPERATION_ABORTED);

  HANDLE next = openCard();
  ASSERT_NE(next, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(DeviceIoControl(next, cardctl::IOCTL_CARD_LL_CLAIM, nullptr, 0, &token, 4, &returned,
                              nullptr))
      << "the cancelled watchdog gave up the claim";
  CloseHandle(next);
}

TEST_P(Win32Devices, WhatIsNotOpenIsRefused) {
  EXPECT_EQ(
      CreateFileA("\\\\?\\PCI#VEN_0000#nothing#{dda54a40-1e4c-11d1-a050-405705c10000}\\Topology",
                  GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
      INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  constexpr DWORD kOpenAlways = 4;
  EXPECT_EQ(CreateFileA(kCardTopologyPath, GENERIC_READ, 0, nullptr, kOpenAlways, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  HANDLE card = openCard();
  ASSERT_NE(card, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(
      DeviceIoControl(card, cardctl::IOCTL_CARD_NOP, nullptr, 0, nullptr, 0, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << "no byte count and no OVERLAPPED";
  ASSERT_TRUE(CloseHandle(card));
  DWORD returned = 0;
  EXPECT_FALSE(
      DeviceIoControl(card, cardctl::IOCTL_CARD_NOP, nullptr, 0, nullptr, 0, &returned, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(CloseHandle(card));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Win32OverAHost, RequestsFailOnceTheHostIsGone) {
  machine::testing::ScratchDir scratch;
  machine::testing::HostProcess host(scratch.path().string(), {scratch.file("state"), "", ""});
  std::string error;
  auto client = machine::host::HostClient::connect(host.socketPath(), &error);
  ASSERT_NE(client, nullptr) << error;
  machine::setProcessDeviceService(client);
  HANDLE card = openCard();
  ASSERT_NE(card, INVALID_HANDLE_VALUE);

  host.process().signal(SIGKILL);
  host.process().wait(10s);
  DWORD returned = 0;
  EXPECT_FALSE(
      DeviceIoControl(card, cardctl::IOCTL_CARD_NOP, nullptr, 0, nullptr, 0, &returned, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_DEVICE_REMOVED);
  HDEVINFO set = SetupDiGetClassDevsA(&KSCATEGORY_TOPOLOGY, nullptr, nullptr,
                                      DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &device)) << "no devices without a host";
  SetupDiDestroyDeviceInfoList(set);
  EXPECT_TRUE(CloseHandle(card));
  machine::setProcessDeviceService(nullptr);
}

}  // namespace
