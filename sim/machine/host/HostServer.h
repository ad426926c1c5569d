// korvane-host's listening side: accepts clients, one session each, until
// told to stop, then ends every session.
#pragma once

#include <list>
#include <memory>

#include "EmbeddedDeviceService.h"
#include "host/ClientSession.h"

namespace machine::host {

class HostServer {
 public:
  // Takes the listening socket.
  HostServer(int listening, EmbeddedDeviceService& service);
  ~HostServer();  // ends the sessions left
  HostServer(const HostServer&) = delete;
  HostServer& operator=(const HostServer&) = delete;

  // Serves until `stop` (a descriptor, e.g. a signalfd) becomes readable.
  void serve(int stop);
  // Disconnects every client and waits until its session has cleaned up.
  void endSessions();

 private:
  void reapFinished();

  const int listening;
  EmbeddedDeviceService& service;
  std::list<std::unique_ptr<ClientSession>> sessions;  // the serving thread only
};

}  // namespace machine::host
