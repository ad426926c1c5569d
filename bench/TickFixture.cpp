#include "TickFixture.h"

#include "CardRegisters.h"

namespace bench {

TickFixture::TickFixture(unsigned rate, unsigned bits, unsigned frames, Routing routing) {
  std::memset(&cardContext, 0, sizeof cardContext);
  auto& card = cardContext;
  kernel::Bus::instance().attachWindow(*this, 0, window);
  card.registers = window.data();
  card.sampleRate = rate;
  card.bitDepth = bits;
  card.bufferFrames = frames;
  card.blockBytes = BlockBytesFor(bits, frames);
  card.streamBufferSize = kStreamBufferBytes;
  card.hwRingSize = kHardwareRingBytes;
  AllocateCardBlocks();
  ClearInputLevelHistory();
  // The costliest settings when asked: a gain to apply, ducking on (meter and duck).
  card.recordVolume = routing.gainAndDucking ? 150 : 100;
  card.duckingEnabled = routing.gainAndDucking ? 1 : 0;
  // Input at a fair level through a sensitivity of 200 keeps the ducking gain
  // between 50 and 100: every render sample is scaled, never just cleared.
  card.duckingSensitivity = 200;
  // Full-scale noise everywhere: the mix saturates often, in no pattern.
  std::uint32_t noise = 12345;
  for (auto* ring : {&playRing, &captureRing, &renderBuffer, &captureBuffer}) {
    ring->assign(kStreamBufferBytes, 0);
    for (auto& byte : *ring) {
      noise = noise * 1664525u + 1013904223u;
      byte = static_cast<std::uint8_t>(noise >> 24);
    }
  }
  card.playRing = playRing.data();
  card.captureRing = captureRing.data();
  card.renderBuffer = renderBuffer.data();
  card.captureBuffer = captureBuffer.data();
  card.playFillPos = static_cast<LONG>(2 * card.blockBytes);
  card.engineReady = 1;
  card.routingMode = routing.effects;
  card.llRunning = routing.L;
  card.renderRunning = routing.R;
  card.renderPrimed = 1;
  card.captureRunning = routing.C;
  card.monitorEnabled = routing.M;
  card.loopbackEnabled = routing.P;

  std::memset(&lowLatency, 0, sizeof lowLatency);
  lowLatency.mappedLength = frames * bits / 8;
  for (int kind = 0; kind < 2; ++kind) {
    for (int channel = 0; channel < 2; ++channel) {
      for (int half = 0; half < 2; ++half) {
        client[kind][channel][half].assign(lowLatency.mappedLength, 0x11);
        (kind ? card.clientPlay : card.clientCapture)[channel][half] =
            client[kind][channel][half].data();
      }
    }
  }
  for (int half = 0; half < 2; ++half) {
    events[half] = kernel::UserObjects::createEvent(SynchronizationEvent, false, EVENT_ALL_ACCESS);
    lowLatency.events[half] = kernel::UserObjects::eventOf(events[half]);
  }

  // What the tick moves, pass by pass: reads and writes of whole blocks.
  const std::size_t B = card.blockBytes;
  const bool L = routing.L, R = routing.R, C = routing.C, M = routing.M, P = routing.P;
  touched = 2 * B;           // input: ring to IN (the gain in the same pass)
  touched += 2 * B;          // the block written to the playback ring
  if (R) touched += 2 * B;   // the render block taken (ducked in the same pass)
  if (!routing.effects) {
    if (P && (L || R)) touched += 3 * B;  // REC mixed
    if (C) touched += 2 * B;
    if (L) touched += 4 * B;              // to the client's half, then split
    if (L && R) touched += 3 * B + (M ? 2 * B : 0);  // MIX and OUT in one pass
    else if ((L || R) && M) touched += 3 * B;
  } else {
    if (L) touched += 4 * B;              // the input to the client
    if (L && C && R && (P || M)) touched += 3 * B + 2 * B;
    else if (C) touched += 2 * B;
  }
}

TickFixture::~TickFixture() {
  lowLatency.events[0] = lowLatency.events[1] = nullptr;
  for (HANDLE event : events) kernel::UserObjects::closeHandle(event);
  FreeCardBlocks();
  kernel::Bus::instance().detachDevice(*this);
  std::memset(&cardContext, 0, sizeof cardContext);
}

void TickFixture::registerRead(int, std::uint32_t offset) {
  auto& card = cardContext;
  std::uint32_t value = 0;
  if (offset == reg::kCaptureWritePosition) {  // one block of input is always ready
    value = static_cast<std::uint32_t>((card.captureReadPos + card.blockBytes) % card.hwRingSize);
  } else if (offset == reg::kPlayReadPosition) {  // the card two blocks behind the writer
    value = static_cast<std::uint32_t>((card.playFillPos + card.hwRingSize - 2 * card.blockBytes) %
                                       card.hwRingSize);
  }
  std::memcpy(window.data() + offset, &value, 4);
}

void TickFixture::tick() {
  auto& card = cardContext;
  card.interruptCredit = static_cast<LONG>(card.blockBytes);
  KIRQL old;
  KeAcquireSpinLock(&card.streamLock, &old);
  ServiceTick();
  KeReleaseSpinLock(&card.streamLock, old);
}

}  // namespace bench
