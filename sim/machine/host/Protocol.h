// korvane-host's protocol. A connection carries frames both ways: a 32-bit
// little-endian length, then that many bytes: a type byte, a 32-bit tag and
// the body. A request's reply carries the request's tag; stream frames carry
// the stream's id as their tag. Numbers are little-endian, text is a 32-bit
// length and UTF-8 bytes. The client begins with Hello; a frame the host
// cannot take ends the connection.
#pragma once

#include <cstdint>

namespace machine::host {

inline constexpr std::uint32_t kMagic = 0x4B56484F;  // "OHVK" on the wire
inline constexpr std::uint32_t kVersion = 1;
// A frame's type and tag.
inline constexpr std::uint32_t kHeaderBytes = 5;
// Larger than any request buffer the driver reads or block of frames.
inline constexpr std::uint32_t kMaxFrameBytes = 4u << 20;

enum class MessageType : std::uint8_t {
  // Request                   body                             reply body
  Hello = 1,           //    magic u32, version u32
  Welcome = 2,         //                                     version u32
  ListDevices = 3,     //    -
  DeviceList = 4,      //    count u32, then per device: instance id, has service u8,
                       //    service, interface count u32, per interface: class, path
  Open = 5,            //    path
  Opened = 6,          //                                     status u32, handle u64
  Control = 7,         //    handle u64, code u32, flags u8, input length u32,
                       //    [input bytes], output length u32, [output's initial bytes]
  ControlDone = 8,     //                                     status u32, information u64,
                       //                                     [output bytes]
  Close = 9,           //    handle u64
  Closed = 10,         //                                     closed u8
  ListEndpoints = 11,  //    -
  EndpointList = 12,   //    count u32, then per endpoint: name, capture u8
  StreamOpen = 13,     //    endpoint name, capture u8
  StreamOpened = 14,   //                                     stream u32 (0: failed), error,
                       //                                     rate u32, bits u32, channels u32
  StreamStart = 15,    //    stream u32
  StreamStarted = 16,  //                                     started u8, error
  StreamStop = 17,     //    stream u32
  StreamStopped = 18,  //                                     frames moved u64
  StreamClose = 19,    //    stream u32
  StreamClosed = 20,   //                                     -
  // Unrequested, tagged with the stream:
  StreamData = 21,    //    frames u32, interleaved 32-bit floats (render: client to
                      //    host; capture: host to client)
  StreamPlayed = 22,  //    host to client: render frames played so far u64
};

// Control flags: which of the caller's buffers exist. A missing buffer's
// bytes are not sent, its length is.
inline constexpr std::uint8_t kHasInput = 1;
inline constexpr std::uint8_t kHasOutput = 2;

// The render frames a client may have sent beyond those played; the host
// drops what comes beyond.
inline constexpr std::uint32_t kRenderWindowFrames = 8192;

}  // namespace machine::host
