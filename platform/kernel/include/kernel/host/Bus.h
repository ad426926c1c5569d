// The PCI bus and the machine's physical memory, as the HAL sees them: devices
// expose memory windows and raise interrupt lines; the kernel maps windows for
// the driver and hands out DMA memory with physical addresses the devices can
// reach.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>

namespace kernel {

// A device model on the bus. Register accesses through READ_REGISTER_ULONG and
// WRITE_REGISTER_ULONG reach it on the accessing thread; plain loads and
// stores land in the window's memory without it noticing.
class BusDevice {
 public:
  virtual ~BusDevice() = default;
  // A 32-bit register write; the value is already stored in window memory.
  virtual void registerWritten(int window, std::uint32_t offset, std::uint32_t value) = 0;
  // A 32-bit register read is about to load the word at offset; the device
  // refreshes window memory with the register's current value.
  virtual void registerRead(int window, std::uint32_t offset) = 0;
};

struct WindowResource {
  std::uint64_t physical = 0;
  std::uint32_t length = 0;
};

class Bus {
 public:
  static Bus& instance();

  // Device side -------------------------------------------------------------
  // Plugs a memory window of the device into physical address space; returns
  // its physical base. The memory stays the device's; it must outlive the window.
  std::uint64_t attachWindow(BusDevice& device, int window, std::span<std::uint8_t> memory);
  // Removes every window of the device (and disconnects nothing else).
  void detachDevice(BusDevice& device);
  // Host view of DMA memory at a physical range, or an empty span when the
  // range is not wholly inside one allocation (a real card would master-abort).
  std::span<std::uint8_t> dmaRange(std::uint64_t physical, std::size_t length);
  // Asserts an interrupt line once; the connected service runs synchronously
  // on the calling thread. Returns false when nothing is connected.
  bool raiseInterrupt(unsigned line);
  // Allocates a free interrupt line number for a device.
  unsigned allocateInterruptLine();

  // Kernel side -------------------------------------------------------------
  // Host address of a window range, or null when the range is not a window.
  void* mapWindow(std::uint64_t physical, std::size_t length);
  void unmapWindow(void* address, std::size_t length);
  struct RegisterTarget {
    BusDevice* device;
    int window;
    std::uint32_t offset;
  };
  // The device and offset behind a mapped address (4-byte access).
  std::optional<RegisterTarget> findRegister(const volatile void* address);

  // Contiguous, zeroed memory below 4 GiB physical; null on exhaustion.
  void* allocateContiguous(std::size_t length, std::uint64_t* physical);
  void freeContiguous(void* address);
  std::optional<std::uint64_t> physicalAddressOf(const void* address);

  // The service runs for each assertion of the line; only one may be
  // connected. disconnect waits for a running service to return.
  void connectInterrupt(unsigned line, std::function<void()> service);
  void disconnectInterrupt(unsigned line);

  Bus(const Bus&) = delete;
  Bus& operator=(const Bus&) = delete;

 private:
  Bus();
  ~Bus();
  struct Impl;
  Impl* impl;
};

}  // namespace kernel
