#include "kernel/host/Bus.h"

#include <cassert>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace kernel {

namespace {

constexpr std::uint64_t kPageSize = 0x1000;
// Device windows sit high in the 32-bit space, DMA memory low, as on a PC.
constexpr std::uint64_t kFirstWindowAddress = 0xF0000000;
constexpr std::uint64_t kFirstDmaAddress = 0x10000000;
constexpr std::uint64_t kDmaLimit = 0xE0000000;

std::uint64_t roundUp(std::uint64_t value, std::uint64_t unit) {
  return (value + unit - 1) / unit * unit;
}

struct Window {
  BusDevice* device;
  int index;
  std::uint8_t* memory;
  std::uint32_t length;
};

struct DmaBlock {
  std::uint8_t* memory;
  std::size_t length;
};

struct Line {
  std::shared_ptr<std::function<void()>> service;
  int inService = 0;
};

}  // namespace

struct Bus::Impl {
  std::mutex lock;
  std::condition_variable serviceDone;
  std::map<std::uint64_t, Window> windows;  // by physical base
  std::uint64_t nextWindowAddress = kFirstWindowAddress;
  std::map<std::uint64_t, DmaBlock> dma;    // by physical base
  std::map<const std::uint8_t*, std::uint64_t> dmaByHost;
  std::uint64_t nextDmaAddress = kFirstDmaAddress;
  std::map<unsigned, Line> lines;
  unsigned nextLine = 16;

  const Window* windowAt(std::uint64_t physical, std::size_t length, std::uint64_t* base) {
    auto found = windows.upper_bound(physical);
    if (found == windows.begin()) return nullptr;
    --found;
    if (physical + length > found->first + found->second.length) return nullptr;
    *base = found->first;
    return &found->second;
  }
};

Bus& Bus::instance() {
  static Bus* bus = new Bus;  // never destroyed: devices may outlive static teardown
  return *bus;
}

Bus::Bus() : impl(new Impl) {}
Bus::~Bus() { delete impl; }

std::uint64_t Bus::attachWindow(BusDevice& device, int window, std::span<std::uint8_t> memory) {
  std::lock_guard held(impl->lock);
  const std::uint64_t base = impl->nextWindowAddress;
  impl->nextWindowAddress += roundUp(memory.size(), 0x10000);
  impl->windows.emplace(base, Window{&device, window, memory.data(),
                                     static_cast<std::uint32_t>(memory.size())});
  return base;
}

void Bus::detachDevice(BusDevice& device) {
  std::lock_guard held(impl->lock);
  for (auto it = impl->windows.begin(); it != impl->windows.end();) {
    it = it->second.device == &device ? impl->windows.erase(it) : std::next(it);
  }
}

std::span<std::uint8_t> Bus::dmaRange(std::uint64_t physical, std::size_t length) {
  std::lock_guard held(impl->lock);
  auto found = impl->dma.upper_bound(physical);
  if (found == impl->dma.begin()) return {};
  --found;
  const std::uint64_t offset = physical - found->first;
  if (offset + length > found->second.length) return {};
  return {found->second.memory + offset, length};
}

unsigned Bus::allocateInterruptLine() {
  std::lock_guard held(impl->lock);
  return impl->nextLine++;
}

bool Bus::raiseInterrupt(unsigned line) {
  std::shared_ptr<std::function<void()>> service;
  {
    std::lock_guard held(impl->lock);
    auto found = impl->lines.find(line);
    if (found == impl->lines.end() || !found->second.service) return false;
    service = found->second.service;
    ++found->second.inService;
  }
  (*service)();
  std::lock_guard held(impl->lock);
  --impl->lines[line].inService;
  impl->serviceDone.notify_all();
  return true;
}

void Bus::connectInterrupt(unsigned line, std::function<void()> service) {
  std::lock_guard held(impl->lock);
  auto& entry = impl->lines[line];
  assert(!entry.service && "one service per interrupt line");
  entry.service = std::make_shared<std::function<void()>>(std::move(service));
}

void Bus::disconnectInterrupt(unsigned line) {
  std::unique_lock held(impl->lock);
  auto& entry = impl->lines[line];
  entry.service.reset();
  impl->serviceDone.wait(held, [&] { return impl->lines[line].inService == 0; });
}

void* Bus::mapWindow(std::uint64_t physical, std::size_t length) {
  std::lock_guard held(impl->lock);
  std::uint64_t base = 0;
  const Window* window = impl->windowAt(physical, length, &base);
  if (!window) return nullptr;
  return window->memory + (physical - base);
}

void Bus::unmapWindow(void*, std::size_t) {}

std::optional<Bus::RegisterTarget> Bus::findRegister(const volatile void* address) {
  const auto* byte = static_cast<const volatile std::uint8_t*>(address);
  std::lock_guard held(impl->lock);
  for (const auto& [base, window] : impl->windows) {
    if (byte >= window.memory && byte + 4 <= window.memory + window.length) {
      return RegisterTarget{window.device, window.index,
                            static_cast<std::uint32_t>(byte - window.memory)};
    }
  }
  return std::nullopt;
}

void* Bus::allocateContiguous(std::size_t length, std::uint64_t* physical) {
  const std::size_t rounded = roundUp(length ? length : 1, kPageSize);
  std::lock_guard held(impl->lock);
  if (impl->nextDmaAddress + rounded > kDmaLimit) return nullptr;
  auto* memory = static_cast<std::uint8_t*>(std::aligned_alloc(kPageSize, rounded));
  if (!memory) return nullptr;
  std::memset(memory, 0, rounded);
  const std::uint64_t base = impl->nextDmaAddress;
  // A guard page between blocks, so an overrun never lands in a neighbour.
  impl->nextDmaAddress += rounded + kPageSize;
  impl->dma.emplace(base, DmaBlock{memory, length});
  impl->dmaByHost.emplace(memory, base);
  *physical = base;
  return memory;
}

void Bus::freeContiguous(void* address) {
  std::lock_guard held(impl->lock);
  auto found = impl->dmaByHost.find(static_cast<std::uint8_t*>(address));
  if (found == impl->dmaByHost.end()) return;
  impl->dma.erase(found->second);
  impl->dmaByHost.erase(found);
  std::free(address);
}

std::optional<std::uint64_t> Bus::physicalAddressOf(const void* address) {
  const auto* byte = static_cast<const std::uint8_t*>(address);
  std::lock_guard held(impl->lock);
  auto found = impl->dmaByHost.upper_bound(byte);
  if (found == impl->dmaByHost.begin()) return std::nullopt;
  --found;
  const auto& block = impl->dma.at(found->second);
  if (byte >= found->first + block.length) return std::nullopt;
  return found->second + static_cast<std::uint64_t>(byte - found->first);
}

}  // namespace kernel
