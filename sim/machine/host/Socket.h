// Unix stream sockets carrying korvane-host's frames.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace machine::host {

// A listening socket at path; a socket file left by a host that is gone is
// replaced, one where a host still answers is not. -1 with *error on failure.
int listenOn(const std::string& path, std::string* error);
// A connection to the socket at path; -1 with *error on failure.
int connectTo(const std::string& path, std::string* error);

// Sends the whole frame; false when the peer is gone or the send timed out.
bool sendFrame(int socket, std::span<const std::uint8_t> frame);

enum class ReadResult { Frame, Closed, Invalid, Failed };
// Reads one frame's payload (after the length word). Invalid: the length is
// shorter than a header or longer than kMaxFrameBytes, nothing more is read.
ReadResult readFrame(int socket, std::vector<std::uint8_t>& payload);

}  // namespace machine::host
