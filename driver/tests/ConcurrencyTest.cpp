// Several programs at the card at once while it streams in real time: the
// verifier and ThreadSanitizer watch for races, lock order and deadlock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "KernelTest.h"
#include "Machine.h"
#include "kernel/host/IoManager.h"
#include "kernel/host/KsFilter.h"
#include "shared/CardControl.h"

namespace {

using namespace cardctl;
using kernel::IoManager;

// The card's format as a program learns it: through the format request
// (another thread changes it all the time).
KSDATAFORMAT_WAVEFORMATEX CardFormat(PFILE_OBJECT handle) {
  ULONG words[4] = {};
  ULONG_PTR returned = 0;
  IoManager::deviceControl(handle, IOCTL_CARD_GET_FORMAT, nullptr, 0, words, sizeof words,
                           &returned);
  KSDATAFORMAT_WAVEFORMATEX format{};
  format.DataFormat = {sizeof format, 0, 0, 0, KSDATAFORMAT_TYPE_AUDIO, KSDATAFORMAT_SUBTYPE_PCM,
                       KSDATAFORMAT_SPECIFIER_WAVEFORMATEX};
  const ULONG rate = words[0];
  const auto bits = static_cast<WORD>(words[1]);
  format.WaveFormatEx = {WAVE_FORMAT_PCM, 2, rate, rate * bits / 4, static_cast<WORD>(bits / 4),
                         bits, 0};
  return format;
}

TEST(Concurrency, RequestsFromManyThreadsWhileTheCardStreams) {
  kernel::Clock::instance().setMode(kernel::Clock::Mode::Real);
  machine::MachineOptions options;
  options.card.input = card::SineInput{440, -6};
  machine::Machine machine(options);
  ASSERT_EQ(machine.boot(), STATUS_SUCCESS);
  PDEVICE_OBJECT device = machine.functionalDevice();

  std::atomic<bool> stop{false};
  std::atomic<unsigned long> requests{0};
  auto worker = [&](auto body) {
    return std::thread([&, body] {
      PFILE_OBJECT handle = nullptr;
      ASSERT_EQ(IoManager::open(device, u"Topology", &handle), STATUS_SUCCESS);
      for (unsigned round = 0; !stop; ++round) {
        body(handle, round);
        ++requests;
      }
      IoManager::close(handle);
    });
  };
  auto call = [](PFILE_OBJECT handle, ULONG code, std::vector<ULONG> input, ULONG outputWords) {
    std::vector<ULONG> output(outputWords + 2, 0);
    ULONG_PTR returned = 0;
    return IoManager::deviceControl(handle, code, input.empty() ? nullptr : input.data(),
                                    static_cast<ULONG>(input.size() * 4), output.data(),
                                    outputWords * 4, &returned);
  };

  std::vector<std::thread> threads;
  // A low-latency client that claims, streams and lets go.
  threads.push_back(worker([&](PFILE_OBJECT handle, unsigned) {
    ULONG token = 0;
    ULONG_PTR returned = 0;
    if (!NT_SUCCESS(IoManager::deviceControl(handle, IOCTL_CARD_LL_CLAIM, nullptr, 0, &token, 4,
                                             &returned))) {
      return;
    }
    auto watchdog = IoManager::deviceControlAsync(handle, IOCTL_CARD_LL_WATCHDOG, nullptr, 0,
                                                  nullptr, 0);
    ULONG owner[2] = {token, 0};
    IoManager::deviceControl(handle, IOCTL_CARD_LL_START, nullptr, 0, owner, 8, &returned);
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    ULONG half = 1;
    IoManager::deviceControl(handle, IOCTL_CARD_LL_BUFFER_DONE, &half, 4, owner, 8, &returned);
    IoManager::deviceControl(handle, IOCTL_CARD_LL_STOP, nullptr, 0, owner, 8, &returned);
    IoManager::deviceControl(handle, IOCTL_CARD_LL_RELEASE, nullptr, 0, owner, 8, &returned);
    // The pending watchdog is cancelled when this handle closes, or by the next claim's round.
  }));
  // The control panel's requests.
  threads.push_back(worker([&](PFILE_OBJECT handle, unsigned round) {
    call(handle, IOCTL_CARD_SET_SWITCH, {((round & 1) << 8) | (1 + round % 3)}, 0);
    call(handle, IOCTL_CARD_SET_REC_VOLUME, {30 + round % 200, 0}, 2);
    call(handle, IOCTL_CARD_SET_DUCKING, {1 + round % 2, 1 + round % 9}, 2);
    call(handle, IOCTL_CARD_GET_FORMAT, {0, 0, 0, 0}, 4);
    call(handle, IOCTL_CARD_GET_SWITCHES, {0, 0, 0, 0}, 4);
  }));
  threads.push_back(worker([&](PFILE_OBJECT handle, unsigned round) {
    const ULONG rates[] = {44100, 48000, 96000};
    call(handle, IOCTL_CARD_SET_FORMAT, {rates[round % 3], round % 2 ? 24u : 16u, 256, 0}, 4);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }));
  threads.push_back(worker([&](PFILE_OBJECT handle, unsigned round) {
    UCHAR packet[10] = {0x41, static_cast<UCHAR>(round % 64)};
    UCHAR sum = 0;
    for (int i = 0; i < 9; ++i) sum = static_cast<UCHAR>(sum + packet[i]);
    packet[9] = static_cast<UCHAR>(~sum);
    UCHAR output[16] = {kMailboxSend};
    ULONG_PTR returned = 0;
    IoManager::deviceControl(handle, IOCTL_CARD_MCU_MAILBOX, packet, 10, output, 16, &returned);
    output[0] = kMailboxReadReply;
    IoManager::deviceControl(handle, IOCTL_CARD_MCU_MAILBOX, packet, 10, output, 16, &returned);
  }));
  // The audio system opening and closing streams.
  threads.push_back(std::thread([&] {
    auto wave = kernel::KsFilter::open(device, u"Wave");
    PFILE_OBJECT control = nullptr;
    ASSERT_EQ(IoManager::open(device, u"Topology", &control), STATUS_SUCCESS);
    while (!stop) {
      auto format = CardFormat(control);
      std::unique_ptr<kernel::KsPin> pin;
      if (NT_SUCCESS(wave->createPin(0, &format.DataFormat, &pin))) {
        pin->setState(KSSTATE_RUN);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        pin->position();
      }
      ++requests;
    }
    IoManager::close(control);
  }));

  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  stop = true;
  for (auto& thread : threads) thread.join();
  EXPECT_GT(requests, 100u);
  EXPECT_GT(machine.card()->counters().interrupts, 10u) << "the card streamed meanwhile";
  const auto report = machine.unload();
  EXPECT_TRUE(report.clean);
}

}  // namespace
