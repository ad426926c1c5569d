#include "CardBench.h"

#include <cstring>

#include "card/CardRegisters.h"
#include "kernel/Registers.h"
#include "kernel/host/Bus.h"
#include "kernel/host/Clock.h"

namespace card::testing {

namespace {

volatile ULONG* at(volatile ULONG* window, std::uint32_t offset) {
  return reinterpret_cast<volatile ULONG*>(reinterpret_cast<volatile std::uint8_t*>(window) +
                                           offset);
}

PHYSICAL_ADDRESS physicalAddress(std::uint64_t value) {
  PHYSICAL_ADDRESS address{};
  address.QuadPart = static_cast<LONGLONG>(value);
  return address;
}

std::uint32_t code(std::span<const RateCode> codes, unsigned rate) {
  for (const RateCode& entry : codes) {
    if (entry.sampleRate == rate) return entry.code;
  }
  ADD_FAILURE() << "no rate code for " << rate;
  return 0xFF;
}

}  // namespace

CardOptions inputFrom(InputSetting input, std::string outputPath) {
  CardOptions options;
  options.input = std::move(input);
  options.outputPath = std::move(outputPath);
  return options;
}

CardOptions outputTo(std::string outputPath) {
  return inputFrom(SilenceInput{}, std::move(outputPath));
}

CardOptions cardNamed(std::string cardId) {
  CardOptions options;
  options.cardId = std::move(cardId);
  return options;
}

void CardBench::SetUp() {
  kernel::Clock::instance().setMode(kernel::Clock::Mode::Virtual);
}

void CardBench::TearDown() {
  if (card) {
    kernel::Bus::instance().disconnectInterrupt(card->interruptLine());
    MmUnmapIoSpace(const_cast<ULONG*>(registers), kRegisterWindowBytes);
    MmUnmapIoSpace(const_cast<ULONG*>(auxRegisters), kAuxWindowBytes);
    card.reset();
  }
  for (void* ring : rings) kernel::Bus::instance().freeContiguous(ring);
  rings.clear();
}

VirtualCard& CardBench::makeCard(CardOptions options) {
  card = std::make_unique<VirtualCard>(std::move(options));
  registers =
      static_cast<volatile ULONG*>(MmMapIoSpace(physicalAddress(card->registerWindow().physical),
                                                card->registerWindow().length, MmNonCached));
  auxRegisters = static_cast<volatile ULONG*>(MmMapIoSpace(
      physicalAddress(card->auxWindow().physical), card->auxWindow().length, MmNonCached));
  EXPECT_NE(registers, nullptr);
  EXPECT_NE(auxRegisters, nullptr);
  kernel::Bus::instance().connectInterrupt(card->interruptLine(), [this] { service(); });
  return *card;
}

void CardBench::service() {
  const std::uint32_t status = readRegister(kInterruptStatus);
  if (serviceReadsPositions) {
    serviced.push_back(
        {status, readRegister(kPlaybackReadPosition), readRegister(kCaptureWritePosition)});
  } else {
    serviced.push_back({status, 0, 0});
  }
  if (status & kStatusBit7) writeRegister(kAcknowledgeBit7, kAcknowledgeValue);
  if (status & kStatusBlock) writeRegister(kAcknowledgeBlock, kAcknowledgeValue);
  if (status & kStatusBit5) writeRegister(kAcknowledgeBit5, kAcknowledgeValue);
  if (status & kStatusBit4) writeRegister(kAcknowledgeBit4, kAcknowledgeValue);
  if (afterService) afterService();
}

std::uint32_t CardBench::readRegister(std::uint32_t offset) {
  return READ_REGISTER_ULONG(at(registers, offset));
}

void CardBench::writeRegister(std::uint32_t offset, std::uint32_t value) {
  WRITE_REGISTER_ULONG(at(registers, offset), value);
}

void CardBench::writeAux(std::uint32_t offset, std::uint32_t value) {
  WRITE_REGISTER_ULONG(at(auxRegisters, offset), value);
}

Ring CardBench::allocateRing() {
  Ring ring;
  ring.host = static_cast<std::uint8_t*>(
      kernel::Bus::instance().allocateContiguous(kRingBytes, &ring.physical));
  EXPECT_NE(ring.host, nullptr);
  rings.push_back(ring.host);
  return ring;
}

void CardBench::programPlayback(std::uint64_t ringPhysical, unsigned rate, int bits,
                                std::uint32_t blockBytes) {
  const auto low = static_cast<std::uint32_t>(ringPhysical);
  writeRegister(kPlaybackRingBase, low);
  writeAux(kAuxPlaybackRingLow, low);
  writeAux(kAuxPlaybackRingHigh, 0);
  writeRegister(kPlaybackBitDepth, static_cast<std::uint32_t>(bits));
  writeAux(kAuxDmaEnable, kAuxDmaEnableValue);
  writeRegister(kPlaybackRateCode, code(kPlaybackRateCodes, rate));
  writeRegister(kPlaybackBlockBytes, blockBytes);
  writeRegister(kPlaybackStart, kPlaybackStartValue);
}

void CardBench::programCapture(std::uint64_t ringPhysical, unsigned rate, int bits,
                               std::uint32_t blockBytes) {
  const auto low = static_cast<std::uint32_t>(ringPhysical);
  writeRegister(kCaptureRingBase, low);
  writeAux(kAuxCaptureRingLow, low);
  writeAux(kAuxCaptureRingHigh, 0);
  writeRegister(kCaptureBitDepth, static_cast<std::uint32_t>(bits));
  writeAux(kAuxDmaEnable, kAuxDmaEnableValue);
  writeRegister(kCaptureRateCode, code(kCaptureRateCodes, rate));
  writeRegister(kCaptureBlockBytes, blockBytes);
  writeRegister(kCaptureStart, kCaptureStartValue);
}

void CardBench::stopPlayback() {
  writeRegister(kPlaybackStop, kPlaybackStopValue);
}
void CardBench::stopCapture() {
  writeRegister(kCaptureStop, kCaptureStopValue);
}

void CardBench::sendPacket(const ControllerPacket& packet) {
  std::memcpy(registerBytes() + kMailboxRequest, packet.data(), packet.size());
  writeRegister(kMailboxDoorbell, kDoorbellValue);
}

ControllerPacket CardBench::reply() const {
  ControllerPacket packet;
  std::memcpy(packet.data(), registerBytes() + kMailboxReply, packet.size());
  return packet;
}

void CardBench::writeMixer(const ControllerRecord& record) {
  sendPacket(makeRecordPacket(kMixerRecord, record));
}

}  // namespace card::testing
