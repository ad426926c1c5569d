// A card state for measuring the service tick: a register window whose ring
// positions keep one block of input ready, rings and stream buffers, the
// low-latency client's buffers mapped and its events set.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "BlockService.h"
#include "CardContext.h"
#include "LowLatency.h"
#include "kernel/host/Bus.h"
#include "kernel/host/UserObjects.h"

namespace bench {

struct Routing {
  bool effects;
  bool L, R, C, M, P;
  // A record gain to apply and ducking on: the meter, the duck, no plain copies.
  bool gainAndDucking = false;
};

class TickFixture : public kernel::BusDevice {
 public:
  TickFixture(unsigned rate, unsigned bits, unsigned frames, Routing routing);
  ~TickFixture() override;

  // One tick as the service DPC runs it.
  void tick();
  // Bytes the tick reads plus the bytes it writes, pass by pass.
  std::size_t touchedBytes() const { return touched; }

  void registerWritten(int, std::uint32_t, std::uint32_t) override {}
  void registerRead(int, std::uint32_t offset) override;

 private:
  std::vector<std::uint8_t> window = std::vector<std::uint8_t>(0x1000);
  std::vector<std::uint8_t> playRing, captureRing, renderBuffer, captureBuffer;
  std::vector<std::uint8_t> client[2][2][2];  // [capture/play][channel][half]
  HANDLE events[2] = {};
  std::size_t touched = 0;
};

}  // namespace bench
