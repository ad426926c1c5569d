// Arbitrary private and other device-control requests, with arbitrary codes,
// lengths, bytes and missing buffers, through the driver's dispatcher on a
// booted machine whose card streams in virtual time. The verifier aborts on
// any broken kernel rule; at exit the driver must unload leaving nothing.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "Machine.h"
#include "kernel/host/Clock.h"
#include "kernel/host/IoManager.h"
#include "kernel/host/KsFilter.h"
#include "kernel/host/UserObjects.h"
#include "shared/CardControl.h"

namespace {

using namespace cardctl;

// Reads the fuzzer's bytes as the program's choices.
class Choices {
 public:
  Choices(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}
  bool empty() const { return used >= size; }
  std::uint8_t byte() { return used < size ? data[used++] : 0; }
  std::uint32_t word() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(byte()) << (8 * i);
    return value;
  }
  std::vector<std::uint8_t> bytes(std::size_t count) {
    std::vector<std::uint8_t> out(count);
    for (auto& b : out) b = byte();
    return out;
  }

 private:
  const std::uint8_t* data;
  std::size_t size;
  std::size_t used = 0;
};

constexpr std::uint32_t kCodes[] = {
    IOCTL_CARD_LL_START,      IOCTL_CARD_LL_STOP,        IOCTL_CARD_LL_SET_EVENTS,
    IOCTL_CARD_LL_MAP_BUFFERS, IOCTL_CARD_LL_BUFFER_DONE, IOCTL_CARD_LL_CLIENT_VALUE,
    IOCTL_CARD_MCU_MAILBOX,   IOCTL_CARD_SET_SWITCH,     IOCTL_CARD_LL_CLAIM,
    IOCTL_CARD_LL_RELEASE,    IOCTL_CARD_SET_FORMAT,     IOCTL_CARD_GET_FORMAT,
    IOCTL_CARD_SET_REC_VOLUME, IOCTL_CARD_NOP,           IOCTL_CARD_GET_SWITCHES,
    IOCTL_CARD_GET_REC_VOLUME, IOCTL_CARD_SET_DUCKING,   IOCTL_CARD_GET_DUCKING,
    IOCTL_CARD_LL_WATCHDOG,   IOCTL_CARD_START_ENGINE,   IOCTL_KS_PROPERTY,
};

// The client's own buffers and events: a real client hands the driver its
// own memory, so the harness never hands it anyone else's.
constexpr std::size_t kClientBufferBytes = 8192;
std::vector<std::uint8_t> clientBuffers[8];
HANDLE events[2];

machine::Machine* theMachine;
std::unique_ptr<kernel::KsFilter> wave;
std::unique_ptr<kernel::KsPin> pins[2];

void unloadAtExit() {
  for (auto& pin : pins) pin.reset();
  wave.reset();
  const auto report = theMachine->unload();
  std::fprintf(stderr, "pool outstanding: %llu bytes in %llu allocations\n",
               static_cast<unsigned long long>(report.outstanding.bytes),
               static_cast<unsigned long long>(report.outstanding.allocations));
  if (!report.clean) std::abort();
}

void makeClientInput(std::uint32_t code, Choices& choices, std::vector<std::uint8_t>& input) {
  if (code == IOCTL_CARD_LL_MAP_BUFFERS && input.size() >= kMapInputBytes) {
    for (int slot = 0; slot < 8; ++slot) {
      const std::uint64_t address =
          choices.byte() & 1 ? reinterpret_cast<std::uintptr_t>(clientBuffers[slot].data()) : 0;
      std::memcpy(input.data() + 8 * slot, &address, 8);
    }
    const std::uint64_t length = choices.word() % (kClientBufferBytes + 1);
    std::memcpy(input.data() + 64, &length, 8);
  } else if (code == IOCTL_CARD_LL_SET_EVENTS && input.size() >= kEventsInputBytes) {
    for (int half = 0; half < 2; ++half) {
      const std::uint8_t pick = choices.byte();
      // One of the client's events, or whatever value the bytes make.
      if (pick % 3 != 2) {
        const std::uint64_t handle = reinterpret_cast<std::uintptr_t>(events[pick % 2]);
        std::memcpy(input.data() + 8 * half, &handle, 8);
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kernel::Clock::instance().setMode(kernel::Clock::Mode::Virtual);
  machine::MachineOptions options;
  options.card.input = card::SineInput{1000, -3};
  theMachine = new machine::Machine(options);
  if (!NT_SUCCESS(theMachine->boot())) std::abort();
  for (auto& buffer : clientBuffers) buffer.assign(kClientBufferBytes, 0);
  for (auto& event : events) {
    event = kernel::UserObjects::createEvent(SynchronizationEvent, false, EVENT_ALL_ACCESS);
  }
  // The audio system plays and records while requests arrive.
  wave = kernel::KsFilter::open(theMachine->functionalDevice(), u"Wave");
  for (int i = 0; i < 2; ++i) {
    KSDATAFORMAT_WAVEFORMATEX format{};
    format.DataFormat = {sizeof format, 0, 0, 0, KSDATAFORMAT_TYPE_AUDIO,
                         KSDATAFORMAT_SUBTYPE_PCM, KSDATAFORMAT_SPECIFIER_WAVEFORMATEX};
    format.WaveFormatEx = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    if (NT_SUCCESS(wave->createPin(i == 0 ? 0 : 2, &format.DataFormat, &pins[i]))) {
      pins[i]->setState(KSSTATE_RUN);
    }
  }
  std::atexit(unloadAtExit);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Choices choices(data, size);
  PFILE_OBJECT handle = nullptr;
  if (!NT_SUCCESS(kernel::IoManager::open(theMachine->functionalDevice(), u"Topology", &handle))) {
    std::abort();
  }
  std::vector<std::shared_ptr<kernel::PendingRequest>> pending;
  for (int step = 0; step < 16 && !choices.empty(); ++step) {
    const std::uint8_t action = choices.byte();
    if (action % 8 == 7) {
      for (int block = choices.byte() % 4; block >= 0; --block) {
        kernel::Clock::instance().advanceToNextEvent();
      }
      continue;
    }
    const std::uint8_t pick = choices.byte();
    const std::uint32_t code = pick < 2 * std::size(kCodes) ? kCodes[pick % std::size(kCodes)]
                                                             : choices.word();
    const std::uint8_t flags = choices.byte();
    std::vector<std::uint8_t> input = choices.bytes(choices.byte() % 100);
    std::vector<std::uint8_t> output = choices.bytes(choices.byte() % 140);
    makeClientInput(code, choices, input);
    // Lengths may claim a missing buffer; the driver must not touch one then.
    void* in = flags & 1 ? nullptr : input.data();
    void* out = flags & 2 ? nullptr : output.data();
    const auto inLength = static_cast<ULONG>(flags & 4 ? input.size() : input.size());
    const auto outLength = static_cast<ULONG>(output.size());
    if ((!in && inLength) || (!out && outLength)) {
      if (flags & 8) continue;  // a missing buffer with a length: only sometimes
    }
    auto request = kernel::IoManager::deviceControlAsync(handle, code, in, inLength, out,
                                                         outLength);
    if (!request->completed()) pending.push_back(request);
  }
  kernel::IoManager::close(handle);  // cancels what is still pending
  return 0;
}
