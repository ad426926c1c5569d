#include "host/Socket.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "host/Protocol.h"

namespace machine::host {

namespace {

bool addressOf(const std::string& path, sockaddr_un& address, std::string* error) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) {
    if (error) *error = "socket path is empty or longer than the system allows: " + path;
    return false;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

std::string failure(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

bool readAll(int socket, std::uint8_t* data, std::size_t count, bool* closed) {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got = ::recv(socket, data + done, count - done, 0);
    if (got > 0) {
      done += static_cast<std::size_t>(got);
    } else if (got == 0) {
      *closed = done == 0;
      return false;
    } else if (errno != EINTR) {
      return false;
    }
  }
  return true;
}

}  // namespace

int connectTo(const std::string& path, std::string* error) {
  sockaddr_un address;
  if (!addressOf(path, address, error)) return -1;
  const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket < 0) {
    if (error) *error = failure("cannot make a socket for", path);
    return -1;
  }
  if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    if (error) *error = failure("cannot connect to", path);
    ::close(socket);
    return -1;
  }
  return socket;
}

int listenOn(const std::string& path, std::string* error) {
  sockaddr_un address;
  if (!addressOf(path, address, error)) return -1;
  struct stat existing;
  if (::lstat(path.c_str(), &existing) == 0) {
    if (!S_ISSOCK(existing.st_mode)) {
      if (error) *error = "not a socket, left alone: " + path;
      return -1;
    }
    if (const int other = connectTo(path, nullptr); other >= 0) {
      ::close(other);
      if (error) *error = "a host already serves " + path;
      return -1;
    }
    ::unlink(path.c_str());
  }
  const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket < 0) {
    if (error) *error = failure("cannot make a socket for", path);
    return -1;
  }
  if (::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(socket, 16) != 0) {
    if (error) *error = failure("cannot listen on", path);
    ::close(socket);
    return -1;
  }
  return socket;
}

bool sendFrame(int socket, std::span<const std::uint8_t> frame) {
  std::size_t done = 0;
  while (done < frame.size()) {
    const ssize_t sent = ::send(socket, frame.data() + done, frame.size() - done, MSG_NOSIGNAL);
    if (sent > 0) {
      done += static_cast<std::size_t>(sent);
    } else if (sent < 0 && errno != EINTR) {
      return false;
    }
  }
  return true;
}

ReadResult readFrame(int socket, std::vector<std::uint8_t>& payload) {
  std::uint8_t word[4];
  bool closed = false;
  if (!readAll(socket, word, sizeof word, &closed)) {
    return closed ? ReadResult::Closed : ReadResult::Failed;
  }
  const std::uint32_t length = std::uint32_t{word[0]} | std::uint32_t{word[1]} << 8 |
                               std::uint32_t{word[2]} << 16 | std::uint32_t{word[3]} << 24;
  if (length < kHeaderBytes || length > kMaxFrameBytes) return ReadResult::Invalid;
  payload.resize(length);
  if (!readAll(socket, payload.data(), length, &closed)) return ReadResult::Failed;
  return ReadResult::Frame;
}

}  // namespace machine::host
