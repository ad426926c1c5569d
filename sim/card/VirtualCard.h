// The virtual PCI sound card on the host bus: a register window and an
// auxiliary window, one interrupt line, two DMA engines that move one block
// per period between the rings in DMA memory and the analog ends, and the
// controller behind the mailbox. The driver reaches it only through the
// mapped windows and the interrupt; tests also reach the observation and
// fault calls below.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "card/AnalogInput.h"
#include "card/AnalogOutput.h"
#include "card/CardRegisters.h"
#include "card/Controller.h"
#include "card/DmaChannel.h"
#include "card/InputSetting.h"
#include "kernel/host/Bus.h"
#include "kernel/host/Clock.h"

namespace card {

struct CardOptions {
  InputSetting input = SilenceInput{};
  std::string outputPath;  // empty: the output goes nowhere
  std::string cardId = std::string(kDefaultCardId);
};

struct CardCounters {
  std::uint64_t blocksPlayed = 0;     // playback blocks moved, faulted ones included
  std::uint64_t blocksCaptured = 0;   // capture blocks moved, faulted ones included
  std::uint64_t blocksAnnounced = 0;  // writes to the playback block-written register
  std::uint64_t bytesAnnounced = 0;
  std::uint64_t interrupts = 0;      // assertions of the line, spurious ones included
  std::uint64_t lostInterrupts = 0;  // block interrupts swallowed by the fault
  std::uint64_t packetsAnswered = 0;
  std::uint64_t packetsStored = 0;
  std::uint64_t packetsIgnored = 0;    // wrong checksum, unknown command or record
  std::uint64_t doorbellsIgnored = 0;  // while the controller does not answer
  std::uint64_t dmaFaults = 0;         // transfers whose ring range was not DMA memory
  std::uint64_t startsRefused = 0;     // starts of a channel programmed with no valid format
};

// The block timer's period in clock ticks, numerator / denominator.
struct BlockPeriod {
  std::uint64_t numerator = 0;
  std::uint64_t denominator = 1;
  bool operator==(const BlockPeriod&) const = default;
};

// Threads: the BusDevice calls come from any thread (driver threads, the
// interrupt service); block periods run on the clock's thread or on a test's
// thread through runBlock. Three locks, taken in this order and never held
// while the interrupt is raised, because the service re-enters the card:
//   timerLock  - the block timer (held across Clock calls, which wait for a
//                running block period to finish);
//   engineLock - one block period at a time, and the analog ends;
//   stateLock  - registers, channels, controller, faults and counters.
class VirtualCard : public kernel::BusDevice {
 public:
  // Opens the analog ends, then attaches both windows and takes an interrupt
  // line. Throws (std::invalid_argument, wav::WavError) before touching the
  // bus when an option is unusable.
  explicit VirtualCard(CardOptions options = {});
  // Stops the block timer, waiting for a running period, and detaches.
  ~VirtualCard() override;
  VirtualCard(const VirtualCard&) = delete;
  VirtualCard& operator=(const VirtualCard&) = delete;

  // Resources, as a resource list would give them to the driver.
  kernel::WindowResource registerWindow() const { return registers; }
  kernel::WindowResource auxWindow() const { return aux; }
  unsigned interruptLine() const { return line; }

  // Analog ends. Changing one starts it afresh (a file from its beginning).
  void setInput(const InputSetting& input);
  InputSetting input() const;
  void setOutput(const std::string& path);
  std::string outputPath() const;

  // Faults on demand.
  // The card's crystal runs off by ppm: positive is fast (shorter periods).
  // Above -1000000; throws std::invalid_argument otherwise.
  void setClockDrift(std::int32_t ppm);
  // The next `count` block interrupts are not raised; DMA moves on and the
  // status bit is still set.
  void loseInterrupts(unsigned count);
  // Raises the line with the given status bits set and no block moved.
  void raiseSpuriousInterrupt(std::uint32_t statusBits = 0);
  // A controller that does not answer ignores the doorbell.
  void setControllerAnswering(bool answering);

  // One block period now, as the timer would run it: every running channel
  // moves a block, then the block interrupt. False when no channel runs.
  bool runBlock();

  // Observation.
  bool playbackRunning() const;
  bool captureRunning() const;
  std::uint32_t playbackPosition() const;
  std::uint32_t capturePosition() const;
  std::uint32_t interruptStatus() const;
  CardCounters counters() const;
  ControllerRecord record(unsigned index) const;
  // The word in window memory, however it got there.
  std::uint32_t registerValue(std::uint32_t offset) const;
  std::uint32_t auxValue(std::uint32_t offset) const;
  std::uint32_t powerControl() const;
  bool initialConfigurationWritten() const;
  // The period the block timer runs at, or none while it is stopped.
  std::optional<BlockPeriod> timerPeriod() const;

  // kernel::BusDevice
  void registerWritten(int window, std::uint32_t offset, std::uint32_t value) override;
  void registerRead(int window, std::uint32_t offset) override;

 private:
  struct ChannelPlan;

  // stateLock held. Returns whether the block timer may need to change.
  bool handleRegisterWrite(std::uint32_t offset, std::uint32_t value);
  void startChannel(DmaChannel& channel);
  void acknowledge(std::uint32_t bit, std::uint32_t value);
  void ringDoorbell();
  std::optional<BlockPeriod> wantedPeriod() const;

  // No lock held; see the lock order above.
  void syncTimer();
  void applyTimer();  // timerLock held
  void onTimer();

  std::span<std::uint8_t> windowBytes(std::vector<std::uint32_t>& words);

  // Window memory as 32-bit words so that every register is aligned. The bus
  // stores register writes and the driver's plain stores here.
  std::vector<std::uint32_t> registerMemory;
  std::vector<std::uint32_t> auxMemory;
  kernel::WindowResource registers;
  kernel::WindowResource aux;
  unsigned line = 0;

  mutable std::mutex stateLock;
  DmaChannel playback;
  DmaChannel capture;
  Controller controller;
  std::uint32_t status = 0;
  std::uint32_t power = kPowerControlD0;
  CardCounters counts;
  std::int32_t driftPpm = 0;
  unsigned interruptsToLose = 0;
  bool controllerAnswering = true;
  bool closing = false;

  mutable std::mutex engineLock;
  AnalogInput analogInput;
  AnalogOutput analogOutput;
  std::vector<std::uint8_t> playBlock;  // reused between periods
  std::vector<std::uint8_t> captureBlock;
  std::vector<std::int32_t> playSamples;
  std::vector<std::int32_t> captureSamples;

  mutable std::mutex timerLock;
  std::optional<kernel::Clock::TimerId> timer;
  std::optional<BlockPeriod> armedPeriod;
  std::atomic<bool> timerDirty{false};
};

}  // namespace card
