#include "host/ClientSession.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <vector>

#include "DeviceStatus.h"
#include "host/Socket.h"

namespace machine::host {

namespace {

// A client that stops reading holds up its own streams this long at most
// before the host gives up on it.
constexpr time_t kSendTimeoutSeconds = 5;
// Requests one client may have pending in the driver, and streams it may run.
constexpr std::size_t kMaxPendingRequests = 32;
constexpr std::size_t kMaxStreams = 8;

}  // namespace

// A device-control request with the buffers the driver works in; a thread
// waits for it when the driver keeps it pending.
struct ClientSession::ControlJob {
  std::vector<std::uint8_t> input;
  std::vector<std::uint8_t> output;
  std::thread thread;
  std::atomic<bool> done{false};
};

ClientSession::ClientSession(int connected, EmbeddedDeviceService& machineService)
    : socket(connected), service(machineService) {
  timeval timeout{kSendTimeoutSeconds, 0};
  ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  reader = std::thread([this] { run(); });
}

ClientSession::~ClientSession() {
  disconnect();
  reader.join();
  ::close(socket);
}

void ClientSession::disconnect() {
  ::shutdown(socket, SHUT_RDWR);
}

void ClientSession::send(MessageWriter& message) {
  std::lock_guard held(writeLock);
  if (!sendFrame(socket, message.frame())) disconnect();
}

void ClientSession::run() {
  std::vector<std::uint8_t> payload;
  while (readFrame(socket, payload) == ReadResult::Frame) {
    MessageReader request(payload);
    if (!dispatch(request)) break;
    reapJobs(false);
  }
  disconnect();
  cleanUp();
  ended = true;
}

void ClientSession::cleanUp() {
  streams.clear();
  for (HandleId handle : handles) service.close(handle);
  handles.clear();
  reapJobs(true);
}

void ClientSession::reapJobs(bool all) {
  for (auto it = jobs.begin(); it != jobs.end();) {
    if (all || it->done) {
      if (it->thread.joinable()) it->thread.join();
      it = jobs.erase(it);
    } else {
      ++it;
    }
  }
}

bool ClientSession::greet(MessageReader& request) {
  const std::uint32_t magic = request.u32();
  const std::uint32_t version = request.u32();
  if (!request.finished() || magic != kMagic || version != kVersion) return false;
  greeted = true;
  MessageWriter welcome(MessageType::Welcome, request.tag());
  welcome.u32(kVersion);
  send(welcome);
  return true;
}

bool ClientSession::dispatch(MessageReader& request) {
  if (!greeted) return request.type() == MessageType::Hello && greet(request);
  const std::uint32_t tag = request.tag();
  switch (request.type()) {
    case MessageType::ListDevices: {
      if (!request.finished()) return false;
      const auto entries = service.devices();
      MessageWriter reply(MessageType::DeviceList, tag);
      reply.u32(static_cast<std::uint32_t>(entries.size()));
      for (const auto& entry : entries) {
        reply.text(entry.instanceId).u8(entry.serviceName ? 1 : 0);
        reply.text(entry.serviceName.value_or(""));
        reply.u32(static_cast<std::uint32_t>(entry.interfaces.size()));
        for (const auto& face : entry.interfaces) reply.text(face.classId).text(face.path);
      }
      send(reply);
      return true;
    }
    case MessageType::Open: {
      const std::string path = request.text();
      if (!request.finished()) return false;
      HandleId handle = 0;
      const std::uint32_t opened = service.open(path, &handle);
      if (status::succeeded(opened)) handles.insert(handle);
      MessageWriter reply(MessageType::Opened, tag);
      reply.u32(opened).u64(handle);
      send(reply);
      return true;
    }
    case MessageType::Control:
      return control(request);
    case MessageType::Close: {
      const HandleId handle = request.u64();
      if (!request.finished()) return false;
      const bool closed = handles.erase(handle) != 0 && service.close(handle);
      MessageWriter reply(MessageType::Closed, tag);
      reply.u8(closed ? 1 : 0);
      send(reply);
      return true;
    }
    case MessageType::ListEndpoints: {
      if (!request.finished()) return false;
      const auto endpoints = service.audioEndpoints();
      MessageWriter reply(MessageType::EndpointList, tag);
      reply.u32(static_cast<std::uint32_t>(endpoints.size()));
      for (const auto& endpoint : endpoints) reply.text(endpoint.name).u8(endpoint.capture);
      send(reply);
      return true;
    }
    case MessageType::StreamOpen:
      return openStream(request);
    case MessageType::StreamStart:
    case MessageType::StreamStop:
    case MessageType::StreamClose:
    case MessageType::StreamData:
      return streamRequest(request);
    default:
      return false;
  }
}

bool ClientSession::control(MessageReader& request) {
  const HandleId handle = request.u64();
  const std::uint32_t code = request.u32();
  const std::uint8_t flags = request.u8();
  const std::uint32_t inputLength = request.u32();
  const auto inputBytes = request.bytes((flags & kHasInput) ? inputLength : 0);
  const std::uint32_t outputLength = request.u32();
  const auto outputBytes = request.bytes((flags & kHasOutput) ? outputLength : 0);
  if (!request.finished() || (flags & ~(kHasInput | kHasOutput)) != 0) return false;

  auto reply = [this, tag = request.tag()](ControlResult result, const ControlJob& buffers,
                                           bool hasOutput) {
    MessageWriter done(MessageType::ControlDone, tag);
    done.u32(result.status).u64(result.information);
    if (hasOutput) done.bytes(buffers.output.data(), buffers.output.size());
    return done;
  };
  ControlJob& job = jobs.emplace_back();
  job.input.assign(inputBytes.begin(), inputBytes.end());
  job.output.assign(outputBytes.begin(), outputBytes.end());
  const bool hasOutput = flags & kHasOutput;

  ControlResult refused{0, 0};
  if (!handles.count(handle)) refused.status = status::kInvalidHandle;
  if (jobs.size() > kMaxPendingRequests) refused.status = status::kInsufficientResources;
  if (refused.status != 0) {
    auto done = reply(refused, job, hasOutput);
    send(done);
    job.done = true;
    return true;
  }
  // A buffer the client did not have reaches the driver as a null pointer.
  auto pending = std::make_shared<PendingControl>(
      service.startControl(handle, code, (flags & kHasInput) ? job.input.data() : nullptr,
                           inputLength, hasOutput ? job.output.data() : nullptr, outputLength));
  if (pending->completed()) {
    auto done = reply(pending->wait(), job, hasOutput);
    send(done);
    job.done = true;
    return true;
  }
  job.thread = std::thread([this, pending, &job, hasOutput, reply] {
    auto done = reply(pending->wait(), job, hasOutput);
    send(done);
    job.done = true;
  });
  return true;
}

bool ClientSession::openStream(MessageReader& request) {
  audio::Endpoint wanted;
  wanted.name = request.text();
  wanted.capture = request.u8() != 0;
  if (!request.finished()) return false;
  MessageWriter reply(MessageType::StreamOpened, request.tag());
  std::string error;
  std::unique_ptr<audio::AudioStream> stream;
  bool known = false;
  for (const auto& endpoint : service.audioEndpoints()) {
    known = known || (endpoint.name == wanted.name && endpoint.capture == wanted.capture);
  }
  if (!known) {
    error = "no endpoint named " + wanted.name;
  } else if (streams.size() >= kMaxStreams) {
    error = "too many streams";
  } else {
    stream = service.openAudioStream(wanted, &error);
  }
  if (!stream) {
    reply.u32(0).text(error).u32(0).u32(0).u32(0);
    send(reply);
    return true;
  }
  const std::uint32_t id = nextStream++;
  auto hosted = std::make_unique<HostedStream>(id, std::move(stream),
                                               [this](MessageWriter& frame) { send(frame); });
  const auto format = hosted->format();
  streams.emplace(id, std::move(hosted));
  reply.u32(id).text("").u32(format.sampleRate).u32(format.bitsPerSample).u32(format.channels);
  send(reply);
  return true;
}

bool ClientSession::streamRequest(MessageReader& request) {
  const MessageType type = request.type();
  const std::uint32_t tag = request.tag();
  if (type == MessageType::StreamData) {
    const std::uint32_t frames = request.u32();
    const auto samples = request.bytes(request.remaining());
    if (!request.ok()) return false;
    auto found = streams.find(tag);
    // Frames of a stream just closed may still be on their way: not an error.
    return found == streams.end() || found->second->queue(frames, samples);
  }
  const std::uint32_t id = request.u32();
  if (!request.finished()) return false;
  auto found = streams.find(id);
  if (type == MessageType::StreamStart) {
    std::string error = "no such stream";
    const bool started = found != streams.end() && found->second->start(&error);
    MessageWriter reply(MessageType::StreamStarted, tag);
    reply.u8(started ? 1 : 0).text(started ? "" : error);
    send(reply);
  } else if (type == MessageType::StreamStop) {
    MessageWriter reply(MessageType::StreamStopped, tag);
    reply.u64(found != streams.end() ? found->second->stop() : 0);
    send(reply);
  } else {
    if (found != streams.end()) streams.erase(found);
    MessageWriter reply(MessageType::StreamClosed, tag);
    send(reply);
  }
  return true;
}

}  // namespace machine::host
