// korvane-boot: boots the driver on the virtual card in real time, lets the
// card run for a moment, and unloads it, printing what happened.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "CardCommon.h"
#include "CardContext.h"
#include "Machine.h"
#include "kernel/host/Clock.h"
#include "kernel/host/KernelHost.h"
#include "kernel/host/PoolTracker.h"

namespace {

void printPool(const char* when) {
  std::printf("%s:", when);
  for (const auto& [tag, usage] : kernel::PoolTracker::outstandingByTag()) {
    std::printf(" %s=%llu bytes/%llu", kernel::PoolTracker::tagName(tag).c_str(),
                static_cast<unsigned long long>(usage.bytes),
                static_cast<unsigned long long>(usage.allocations));
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  int milliseconds = 500;
  if (argc > 1) milliseconds = std::atoi(argv[1]);
  kernel::Clock::instance().setMode(kernel::Clock::Mode::Real);

  machine::MachineOptions options;
  if (const char* input = std::getenv("KORVANE_CARD_INPUT")) {
    try {
      options.card.input = card::parseInputSetting(input);
    } catch (const std::exception& error) {
      std::fprintf(stderr, "korvane-boot: %s\n", error.what());
      return 2;
    }
  }
  if (const char* output = std::getenv("KORVANE_CARD_OUTPUT")) options.card.outputPath = output;
  machine::Machine machine(options);

  const auto started = std::chrono::steady_clock::now();
  const NTSTATUS status = machine.boot();
  const auto booted = std::chrono::steady_clock::now();
  std::printf("boot: status 0x%08X in %.2f ms\n", static_cast<unsigned>(status),
              std::chrono::duration<double, std::milli>(booted - started).count());
  if (!NT_SUCCESS(status)) return 1;
  printPool("pool after boot");
  std::printf("card: %u Hz, %u bits, %u frames, block %u bytes\n", cardContext.sampleRate,
              cardContext.bitDepth, cardContext.bufferFrames, cardContext.blockBytes);

  StartEngine();
  const auto dpcs = kernel::KernelHost::dpcRuns();
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  const auto counters = machine.card()->counters();
  std::printf("engine: %llu interrupts, %llu service DPCs, %llu blocks played, %llu captured in %d ms\n",
              static_cast<unsigned long long>(counters.interrupts),
              static_cast<unsigned long long>(kernel::KernelHost::dpcRuns() - dpcs),
              static_cast<unsigned long long>(counters.blocksPlayed),
              static_cast<unsigned long long>(counters.blocksCaptured), milliseconds);

  const auto report = machine.unload();
  std::printf("pool outstanding: %llu bytes in %llu allocations\n",
              static_cast<unsigned long long>(report.outstanding.bytes),
              static_cast<unsigned long long>(report.outstanding.allocations));
  return report.clean ? 0 : 1;
}
