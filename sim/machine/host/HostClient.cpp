#include "host/HostClient.h"

#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>

#include "DeviceStatus.h"
#include "host/RemoteAudioStream.h"
#include "host/Socket.h"

namespace machine::host {

namespace {

constexpr std::chrono::milliseconds kGreetingTimeout{5000};

}  // namespace

struct HostClient::Waiter {
  std::condition_variable replied;
  std::vector<std::uint8_t> reply;
  bool done = false;  // guarded by the client's lock
};

std::shared_ptr<HostClient> HostClient::connect(const std::string& path, std::string* error) {
  const int socket = connectTo(path, error);
  if (socket < 0) return nullptr;
  std::shared_ptr<HostClient> client(new HostClient(socket, path));
  const std::uint32_t tag = client->newTag();
  MessageWriter hello(MessageType::Hello, tag);
  hello.u32(kMagic).u32(kVersion);
  // Whatever else listens there may never answer.
  const auto welcome = client->call(hello, tag, MessageType::Welcome, kGreetingTimeout);
  if (!welcome) {
    if (error) *error = "no korvane-host answers at " + path;
    return nullptr;
  }
  MessageReader reader(*welcome);
  if (reader.u32() != kVersion || !reader.finished()) {
    if (error) *error = "the host at " + path + " speaks another protocol version";
    return nullptr;
  }
  return client;
}

HostClient::HostClient(int connected, std::string socketPath)
    : socket(connected), path(std::move(socketPath)) {
  readerThread = std::thread([this] { readLoop(); });
}

HostClient::~HostClient() {
  ::shutdown(socket, SHUT_RDWR);
  readerThread.join();
  ::close(socket);
}

std::uint32_t HostClient::newTag() {
  std::lock_guard held(lock);
  return ++lastTag;
}

bool HostClient::post(MessageWriter& message) {
  std::lock_guard held(writeLock);
  return sendFrame(socket, message.frame());
}

std::optional<std::vector<std::uint8_t>> HostClient::call(
    MessageWriter& request, std::uint32_t tag, MessageType replyType,
    std::optional<std::chrono::milliseconds> timeout) {
  Waiter waiter;
  {
    std::lock_guard held(lock);
    if (lost) return std::nullopt;
    waiting.emplace(tag, &waiter);
  }
  const bool sent = post(request);
  std::unique_lock held(lock);
  const auto answered = [&] { return waiter.done || lost; };
  if (sent && timeout) {
    waiter.replied.wait_for(held, *timeout, answered);
  } else if (sent) {
    waiter.replied.wait(held, answered);
  }
  waiting.erase(tag);
  if (!waiter.done || MessageReader(waiter.reply).type() != replyType) return std::nullopt;
  return std::move(waiter.reply);
}

void HostClient::attach(std::uint32_t streamId, RemoteAudioStream* stream) {
  std::lock_guard held(lock);
  streams[streamId] = stream;
}

void HostClient::detach(std::uint32_t streamId) {
  std::lock_guard held(lock);
  streams.erase(streamId);
}

void HostClient::readLoop() {
  std::vector<std::uint8_t> payload;
  while (readFrame(socket, payload) == ReadResult::Frame) {
    MessageReader frame(payload);
    std::lock_guard held(lock);
    if (frame.type() == MessageType::StreamData || frame.type() == MessageType::StreamPlayed) {
      if (auto found = streams.find(frame.tag()); found != streams.end()) {
        found->second->received(frame);
      }
      continue;
    }
    if (auto found = waiting.find(frame.tag()); found != waiting.end()) {
      found->second->reply = payload;
      found->second->done = true;
      found->second->replied.notify_one();
    }
  }
  std::lock_guard held(lock);
  lost = true;
  for (auto& [tag, waiter] : waiting) waiter->replied.notify_one();
  for (auto& [id, stream] : streams) stream->connectionLost();
}

std::string HostClient::problem() const {
  std::lock_guard held(lock);
  return lost ? "the connection to korvane-host at " + path + " was lost" : std::string();
}

std::vector<DeviceEntry> HostClient::devices() {
  const std::uint32_t tag = newTag();
  MessageWriter request(MessageType::ListDevices, tag);
  const auto reply = call(request, tag, MessageType::DeviceList);
  if (!reply) return {};
  MessageReader reader(*reply);
  std::vector<DeviceEntry> entries;
  for (std::uint32_t count = reader.u32(); reader.ok() && count > 0; --count) {
    DeviceEntry entry;
    entry.instanceId = reader.text();
    const bool hasService = reader.u8() != 0;
    std::string service = reader.text();
    if (hasService) entry.serviceName = std::move(service);
    for (std::uint32_t faces = reader.u32(); reader.ok() && faces > 0; --faces) {
      DeviceInterface face;
      face.classId = reader.text();
      face.path = reader.text();
      entry.interfaces.push_back(std::move(face));
    }
    entries.push_back(std::move(entry));
  }
  return reader.finished() ? entries : std::vector<DeviceEntry>{};
}

std::uint32_t HostClient::open(const std::string& devicePath, HandleId* handle) {
  const std::uint32_t tag = newTag();
  MessageWriter request(MessageType::Open, tag);
  request.text(devicePath);
  const auto reply = call(request, tag, MessageType::Opened);
  if (!reply) return status::kDeviceRemoved;
  MessageReader reader(*reply);
  const std::uint32_t opened = reader.u32();
  const HandleId id = reader.u64();
  if (!reader.finished()) return status::kDeviceRemoved;
  if (status::succeeded(opened)) *handle = id;
  return opened;
}

ControlResult HostClient::deviceControl(HandleId handle, std::uint32_t code, const void* input,
                                        std::uint32_t inputLength, void* output,
                                        std::uint32_t outputLength) {
  const std::uint32_t tag = newTag();
  MessageWriter request(MessageType::Control, tag);
  request.u64(handle).u32(code);
  request.u8(static_cast<std::uint8_t>((input ? kHasInput : 0) | (output ? kHasOutput : 0)));
  request.u32(inputLength);
  if (input) request.bytes(input, inputLength);
  request.u32(outputLength);
  if (output) request.bytes(output, outputLength);
  const auto reply = call(request, tag, MessageType::ControlDone);
  if (!reply) return {status::kDeviceRemoved, 0};
  MessageReader reader(*reply);
  ControlResult result;
  result.status = reader.u32();
  result.information = reader.u64();
  const auto bytes = reader.bytes(output ? outputLength : 0);
  if (!reader.finished()) return {status::kDeviceRemoved, 0};
  if (output) std::copy(bytes.begin(), bytes.end(), static_cast<std::uint8_t*>(output));
  return result;
}

bool HostClient::close(HandleId handle) {
  const std::uint32_t tag = newTag();
  MessageWriter request(MessageType::Close, tag);
  request.u64(handle);
  const auto reply = call(request, tag, MessageType::Closed);
  if (!reply) return false;
  MessageReader reader(*reply);
  return reader.u8() != 0 && reader.finished();
}

std::vector<audio::Endpoint> HostClient::audioEndpoints() {
  const std::uint32_t tag = newTag();
  MessageWriter request(MessageType::ListEndpoints, tag);
  const auto reply = call(request, tag, MessageType::EndpointList);
  if (!reply) return {};
  MessageReader reader(*reply);
  std::vector<audio::Endpoint> endpoints;
  for (std::uint32_t count = reader.u32(); reader.ok() && count > 0; --count) {
    audio::Endpoint endpoint;
    endpoint.name = reader.text();
    endpoint.capture = reader.u8() != 0;
    endpoints.push_back(std::move(endpoint));
  }
  return reader.finished() ? endpoints : std::vector<audio::Endpoint>{};
}

std::unique_ptr<audio::AudioStream> HostClient::openAudioStream(const audio::Endpoint& endpoint,
                                                                std::string* error) {
  const std::uint32_t tag = newTag();
  MessageWriter request(MessageType::StreamOpen, tag);
  request.text(endpoint.name).u8(endpoint.capture ? 1 : 0);
  const auto reply = call(request, tag, MessageType::StreamOpened);
  if (!reply) {
    if (error) *error = "the connection to korvane-host was lost";
    return nullptr;
  }
  MessageReader reader(*reply);
  const std::uint32_t id = reader.u32();
  const std::string problemText = reader.text();
  audio::AudioFormat format;
  format.sampleRate = reader.u32();
  format.bitsPerSample = reader.u32();
  format.channels = reader.u32();
  if (!reader.finished() || id == 0 || format.channels == 0) {
    if (error) *error = problemText.empty() ? "the host refused the stream" : problemText;
    return nullptr;
  }
  return std::make_unique<RemoteAudioStream>(shared_from_this(), id, endpoint.capture, format);
}

}  // namespace machine::host
