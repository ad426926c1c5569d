// One client of korvane-host: its connection, the handles it opened and the
// streams it runs. Requests are taken in order on the session's reader
// thread; a request the driver keeps pending is waited for on a thread of its
// own, so the client's next requests (a close that cancels it, say) get
// through. When the connection ends, however it ends, the session stops the
// client's streams and closes its handles, which cancels what they had pending.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "EmbeddedDeviceService.h"
#include "host/HostedStream.h"
#include "host/Message.h"

namespace machine::host {

class ClientSession {
 public:
  // Takes the connected socket and starts the reader thread.
  ClientSession(int socket, EmbeddedDeviceService& service);
  // Disconnects if still connected and waits for the session's threads.
  ~ClientSession();
  ClientSession(const ClientSession&) = delete;
  ClientSession& operator=(const ClientSession&) = delete;

  // Ends the connection from the host's side; the reader thread cleans up.
  void disconnect();
  // The reader thread has cleaned up and ended.
  bool finished() const { return ended.load(); }

 private:
  struct ControlJob;

  void run();
  // False when the frame breaks the protocol: the connection then ends.
  bool dispatch(MessageReader& request);
  bool greet(MessageReader& request);
  bool control(MessageReader& request);
  bool openStream(MessageReader& request);
  bool streamRequest(MessageReader& request);
  // Any thread. A frame that cannot be sent ends the connection.
  void send(MessageWriter& message);
  void reapJobs(bool all);
  void cleanUp();

  const int socket;
  EmbeddedDeviceService& service;
  std::mutex writeLock;  // one frame at a time on the socket

  // Reader thread only.
  bool greeted = false;
  std::set<HandleId> handles;
  std::map<std::uint32_t, std::unique_ptr<HostedStream>> streams;
  std::uint32_t nextStream = 1;
  std::list<ControlJob> jobs;  // requests in the driver, and their buffers

  std::atomic<bool> ended{false};
  std::thread reader;
};

}  // namespace machine::host
