// A test bench that plays the driver's part: it maps the card's windows,
// programs the channels and rings the mailbox through registers alone, owns
// DMA rings, and connects an interrupt service that records the status and
// positions it sees and acknowledges every bit, as the driver's does.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "ScratchDir.h"
#include "card/ControllerPacket.h"
#include "card/VirtualCard.h"
#include "kernel/Types.h"

namespace card::testing {

struct Ring {
  std::uint8_t* host = nullptr;
  std::uint64_t physical = 0;
  std::span<std::uint8_t> bytes() const { return {host, kRingBytes}; }
};

CardOptions inputFrom(InputSetting input, std::string outputPath = {});
CardOptions outputTo(std::string outputPath);
CardOptions cardNamed(std::string cardId);

// What the interrupt service saw at one interrupt.
struct ServicedInterrupt {
  std::uint32_t status;
  std::uint32_t playbackPosition;
  std::uint32_t capturePosition;
};

class CardBench : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Creates the card, maps its windows and connects the interrupt service.
  VirtualCard& makeCard(CardOptions options = {});

  std::uint32_t readRegister(std::uint32_t offset);
  void writeRegister(std::uint32_t offset, std::uint32_t value);
  void writeAux(std::uint32_t offset, std::uint32_t value);
  std::uint8_t* registerBytes() const {
    return reinterpret_cast<std::uint8_t*>(const_cast<ULONG*>(registers));
  }

  Ring allocateRing();
  // The driver's programming sequences, register by register.
  void programPlayback(std::uint64_t ringPhysical, unsigned rate, int bits,
                       std::uint32_t blockBytes);
  void programCapture(std::uint64_t ringPhysical, unsigned rate, int bits,
                      std::uint32_t blockBytes);
  void stopPlayback();
  void stopCapture();

  // Stores the packet at the mailbox with plain stores and rings the doorbell.
  void sendPacket(const ControllerPacket& packet);
  ControllerPacket reply() const;
  void writeMixer(const ControllerRecord& record);

  machine::testing::ScratchDir temp;
  std::unique_ptr<VirtualCard> card;
  std::vector<ServicedInterrupt> serviced;
  // Called at the end of each service run, on the interrupting thread.
  std::function<void()> afterService;
  // The driver's own service reads only the status; reading the positions
  // too lets tests see them at each interrupt.
  bool serviceReadsPositions = true;

 private:
  void service();

  volatile ULONG* registers = nullptr;
  volatile ULONG* auxRegisters = nullptr;
  std::vector<void*> rings;
};

}  // namespace card::testing
