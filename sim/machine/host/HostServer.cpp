#include "host/HostServer.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace machine::host {

namespace {

// Each client costs a thread; beyond this many a new one is turned away.
constexpr std::size_t kMaxClients = 64;

}  // namespace

HostServer::HostServer(int listeningSocket, EmbeddedDeviceService& machineService)
    : listening(listeningSocket), service(machineService) {}

HostServer::~HostServer() {
  endSessions();
  ::close(listening);
}

void HostServer::serve(int stop) {
  for (;;) {
    pollfd watched[2] = {{listening, POLLIN, 0}, {stop, POLLIN, 0}};
    if (::poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      std::fprintf(stderr, "korvane-host: poll: %s\n", std::strerror(errno));
      return;
    }
    if (watched[1].revents) return;
    if (!(watched[0].revents & POLLIN)) continue;
    const int client = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) {
      // Out of descriptors: the waiting client stays queued; do not spin on it.
      if (errno == EMFILE || errno == ENFILE) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
      continue;
    }
    reapFinished();
    if (sessions.size() >= kMaxClients) {
      ::close(client);
      continue;
    }
    sessions.push_back(std::make_unique<ClientSession>(client, service));
  }
}

void HostServer::reapFinished() {
  sessions.remove_if([](const auto& session) { return session->finished(); });
}

void HostServer::endSessions() {
  for (auto& session : sessions) session->disconnect();
  sessions.clear();
}

}  // namespace machine::host
