// korvane-host as its clients meet it: one card shared by several
// connections, settings that outlive the host, and a host that shrugs off
// clients that do not speak its protocol.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <thread>
#include <vector>

#include "DevicePaths.h"
#include "DeviceStatus.h"
#include "HostProcess.h"
#include "ScratchDir.h"
#include "host/HostClient.h"
#include "host/Message.h"
#include "host/Socket.h"
#include "shared/CardControl.h"

namespace {

using namespace machine;
using namespace machine::testing;

constexpr char kTopologyClass[] = "{dda54a40-1e4c-11d1-a050-405705c10000}";

std::vector<std::uint8_t> words(std::initializer_list<std::uint32_t> values, std::size_t bytes) {
  std::vector<std::uint8_t> out(bytes, 0);
  std::size_t offset = 0;
  for (std::uint32_t value : values) {
    std::memcpy(out.data() + offset, &value, 4);
    offset += 4;
  }
  return out;
}

std::uint32_t word(const std::vector<std::uint8_t>& bytes, std::size_t index) {
  std::uint32_t value;
  std::memcpy(&value, bytes.data() + 4 * index, 4);
  return value;
}

// One connection to the host with a handle on the card's topology filter.
struct Client {
  explicit Client(const std::string& socket) {
    std::string error;
    service = host::HostClient::connect(socket, &error);
    if (!service) throw std::runtime_error(error);
    for (const auto& device : service->devices()) {
      for (const auto& face : device.interfaces) {
        if (face.classId == kTopologyClass && service->open(face.path, &handle) == 0) return;
      }
    }
    throw std::runtime_error("no topology filter on the host");
  }

  // The request's status; `output` holds what the driver left.
  std::uint32_t call(std::uint32_t code, std::vector<std::uint8_t> input,
                     std::vector<std::uint8_t>& output) {
    return service
        ->deviceControl(handle, code, input.empty() ? nullptr : input.data(),
                        static_cast<std::uint32_t>(input.size()),
                        output.empty() ? nullptr : output.data(),
                        static_cast<std::uint32_t>(output.size()))
        .status;
  }

  std::shared_ptr<host::HostClient> service;
  HandleId handle = 0;
};

class Host : public ::testing::Test {
 protected:
  std::unique_ptr<HostProcess> startHost() {
    return std::make_unique<HostProcess>(scratch.path().string(),
                                         HostSettings{scratch.file("state"), "", ""});
  }
  ScratchDir scratch;
};

TEST_F(Host, ClientsShareOneCardAndSeeEachOthersChanges) {
  auto host = startHost();
  {
    Client first(host->socketPath());
    Client second(host->socketPath());
    std::vector<std::uint8_t> none;
    ASSERT_EQ(first.call(cardctl::IOCTL_CARD_SET_SWITCH, {cardctl::kSwitchMonitor, 1}, none), 0u);
    std::vector<std::uint8_t> switches(12);
    ASSERT_EQ(second.call(cardctl::IOCTL_CARD_GET_SWITCHES, {}, switches), 0u);
    EXPECT_EQ(word(switches, 2), 1u) << "the second client sees the first's monitor switch";

    ASSERT_EQ(second.call(cardctl::IOCTL_CARD_SET_REC_VOLUME, words({77}, 4), none), 0u);
    std::vector<std::uint8_t> volume(4);
    ASSERT_EQ(first.call(cardctl::IOCTL_CARD_GET_REC_VOLUME, {}, volume), 0u);
    EXPECT_EQ(word(volume, 0), 77u);

    EXPECT_FALSE(second.service->close(first.handle)) << "a handle is its client's own";
    EXPECT_EQ(second.call(cardctl::IOCTL_CARD_GET_REC_VOLUME, {}, volume), 0u);
  }
  expectCleanStop(*host);
}

TEST_F(Host, ARestartedHostKeepsTheSavedFormatAndRecordVolume) {
  {
    auto host = startHost();
    Client client(host->socketPath());
    std::vector<std::uint8_t> result(4), none;
    ASSERT_EQ(client.call(cardctl::IOCTL_CARD_SET_FORMAT, words({48000, 24, 512}, 12), result), 0u);
    ASSERT_EQ(word(result, 0), cardctl::kFormatApplied);
    ASSERT_EQ(client.call(cardctl::IOCTL_CARD_SET_REC_VOLUME, words({150}, 4), none), 0u);
    // Stopping saves the settings one last time, however soon after the change.
    expectCleanStop(*host);
  }
  auto host = startHost();
  Client client(host->socketPath());
  std::vector<std::uint8_t> format(16), volume(4);
  ASSERT_EQ(client.call(cardctl::IOCTL_CARD_GET_FORMAT, {}, format), 0u);
  EXPECT_EQ(word(format, 0), 48000u);
  EXPECT_EQ(word(format, 1), 24u);
  EXPECT_EQ(word(format, 2), 512u);
  ASSERT_EQ(client.call(cardctl::IOCTL_CARD_GET_REC_VOLUME, {}, volume), 0u);
  EXPECT_EQ(word(volume, 0), 150u);
  client.service.reset();
  expectCleanStop(*host);
}

std::vector<std::uint8_t> frameBytes(host::MessageWriter writer) {
  const auto frame = writer.frame();
  return {frame.begin(), frame.end()};
}

std::vector<std::uint8_t> hello() {
  host::MessageWriter writer(host::MessageType::Hello, 1);
  writer.u32(host::kMagic).u32(host::kVersion);
  return frameBytes(writer);
}

std::vector<std::uint8_t> joined(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

TEST_F(Host, ClientsThatBreakTheProtocolAreDroppedAndTheHostServesOn) {
  using host::MessageType;
  using host::MessageWriter;
  auto control = [](std::uint32_t inputLength, std::uint8_t flags) {
    MessageWriter writer(MessageType::Control, 2);
    writer.u64(1).u32(cardctl::IOCTL_CARD_GET_FORMAT).u8(flags).u32(inputLength);
    return frameBytes(writer);  // ends before the input bytes and the output length
  };
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
  } cases[] = {
      {"a length word beyond the largest frame", {0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3}},
      {"a length shorter than a header", {2, 0, 0, 0, 7, 7}},
      {"a request before the greeting", frameBytes(MessageWriter(MessageType::ListDevices, 1))},
      {"a greeting with another magic",
       frameBytes(std::move(MessageWriter(MessageType::Hello, 1).u32(0x12345678).u32(1)))},
      {"a greeting of another version",
       frameBytes(std::move(MessageWriter(MessageType::Hello, 1).u32(host::kMagic).u32(99)))},
      {"a message type nobody knows",
       joined({hello(), frameBytes(MessageWriter(static_cast<MessageType>(200), 5))})},
      {"a request that ends before its fields", joined({hello(), control(4, host::kHasInput)})},
      {"input bytes promised but not sent", joined({hello(), control(0x10000, host::kHasInput)})},
      {"a reply sent by a client",
       joined({hello(), frameBytes(MessageWriter(MessageType::ControlDone, 3))})},
      {"text whose length runs past the frame",
       joined({hello(), frameBytes(std::move(MessageWriter(MessageType::Open, 4).u32(1000)))})},
      {"a frame cut off by the client leaving", {40, 0, 0, 0, 1, 2}},
  };
  auto host = startHost();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const int socket = host::connectTo(host->socketPath(), nullptr);
    ASSERT_GE(socket, 0);
    ASSERT_TRUE(host::sendFrame(socket, c.bytes));
    ::shutdown(socket, SHUT_WR);
    // The host answers at most the greeting, then closes its side.
    std::vector<std::uint8_t> reply;
    host::ReadResult result;
    while ((result = host::readFrame(socket, reply)) == host::ReadResult::Frame) {
      EXPECT_EQ(host::MessageReader(reply).type(), MessageType::Welcome);
    }
    EXPECT_EQ(result, host::ReadResult::Closed);
    ::close(socket);
  }
  {
    Client client(host->socketPath());
    std::vector<std::uint8_t> format(16);
    EXPECT_EQ(client.call(cardctl::IOCTL_CARD_GET_FORMAT, {}, format), 0u);
    EXPECT_EQ(word(format, 0), 44100u);
  }
  expectCleanStop(*host);
}

TEST(HostMessages, AReaderNeverReadsPastTheFrame) {
  machine::host::MessageWriter writer(machine::host::MessageType::Open, 9);
  writer.text("\\\\?\\path").u64(42);
  const auto frame = writer.frame();
  const auto payload = frame.subspan(4);
  for (std::size_t length = 0; length < payload.size(); ++length) {
    SCOPED_TRACE(length);
    machine::host::MessageReader reader(payload.first(length));
    reader.text();
    reader.u64();
    EXPECT_FALSE(reader.ok());
  }
  machine::host::MessageReader whole(payload);
  EXPECT_EQ(whole.tag(), 9u);
  EXPECT_EQ(whole.text(), "\\\\?\\path");
  EXPECT_EQ(whole.u64(), 42u);
  EXPECT_TRUE(whole.finished());
}

}  // namespace
