#include "CardStream.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "SampleConversion.h"
#include "kernel/host/PortClassHost.h"

namespace audio {

namespace {

constexpr ULONG kRenderPin = 2;
constexpr ULONG kCapturePin = 0;
// How far ahead of the driver render data is written.
constexpr unsigned kLeadMilliseconds = 60;
// The engine also looks on its own this often, should a notification be late.
constexpr auto kServiceInterval = std::chrono::milliseconds(50);

PDEVICE_OBJECT waveDevice() {
  for (const auto& subdevice : kernel::PortClassHost::subdevices()) {
    if (subdevice.name == u"Wave") return subdevice.device;
  }
  return nullptr;
}

void fail(std::string* error, const std::string& message) {
  if (error) *error = message;
}

std::string hex(NTSTATUS status) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status));
  return text;
}

}  // namespace

std::unique_ptr<CardStream> CardStream::open(bool capture, std::string* error) {
  NTSTATUS status = STATUS_SUCCESS;
  auto filter = kernel::KsFilter::open(waveDevice(), u"Wave", &status);
  if (!filter) {
    fail(error, "the card's wave filter cannot be opened (" + hex(status) + ")");
    return nullptr;
  }
  // Any PCM format the card may have: the driver answers with its own.
  KSDATARANGE_AUDIO range{{sizeof(KSDATARANGE_AUDIO), 0, 0, 0, KSDATAFORMAT_TYPE_AUDIO,
                           KSDATAFORMAT_SUBTYPE_PCM, KSDATAFORMAT_SPECIFIER_WAVEFORMATEX},
                          2, 16, 32, 8000, 192000};
  std::vector<std::uint8_t> format(sizeof(KSDATAFORMAT_WAVEFORMATEXTENSIBLE));
  ULONG length = 0;
  status = filter->intersect(capture ? kCapturePin : kRenderPin, &range.DataRange, format.data(),
                             static_cast<ULONG>(format.size()), &length);
  if (!NT_SUCCESS(status) || length < sizeof(KSDATAFORMAT_WAVEFORMATEX)) {
    fail(error, "no format agreed with the card (" + hex(status) + ")");
    return nullptr;
  }
  format.resize(length);
  return std::unique_ptr<CardStream>(new CardStream(std::move(filter), capture, std::move(format)));
}

CardStream::CardStream(std::unique_ptr<kernel::KsFilter> waveFilter, bool isCaptureStream,
                       std::vector<std::uint8_t> format)
    : filter(std::move(waveFilter)), capture(isCaptureStream), dataFormat(std::move(format)) {
  const auto* wave = reinterpret_cast<const KSDATAFORMAT_WAVEFORMATEX*>(dataFormat.data());
  negotiated = {wave->WaveFormatEx.nSamplesPerSec, wave->WaveFormatEx.wBitsPerSample,
                wave->WaveFormatEx.nChannels};
  frameBytes = negotiated.bitsPerSample / 8 * negotiated.channels;
  leadBytes = negotiated.sampleRate * kLeadMilliseconds / 1000 * frameBytes;
}

CardStream::~CardStream() { stop(); }

void CardStream::setRenderCallback(RenderCallback callback) {
  if (!running()) renderCallback = std::move(callback);
}

void CardStream::setCaptureCallback(CaptureCallback callback) {
  if (!running()) captureCallback = std::move(callback);
}

bool CardStream::start(std::string* error) {
  if (running()) return true;
  const NTSTATUS status = filter->createPin(capture ? kCapturePin : kRenderPin,
                                            reinterpret_cast<KSDATAFORMAT*>(dataFormat.data()),
                                            &pin);
  if (!NT_SUCCESS(status)) {
    fail(error, status == STATUS_DEVICE_BUSY
                    ? "the card's stream is in use by another program"
                    : "the card refused the stream (" + hex(status) + ")");
    return false;
  }
  lastPosition = 0;
  produced = 0;
  cursor = 0;
  moved = 0;
  {
    std::lock_guard held(lock);
    notified = serviced = 0;
    stopping = false;
  }
  const std::size_t bufferBytes = pin->bufferSize();
  scratch.assign(bufferBytes / (negotiated.bitsPerSample / 8), 0.0f);
  std::memset(pin->buffer(), 0, bufferBytes);
  // The driver starts two blocks before the buffer's end: silence there, the
  // client's first frames from offset 0.
  if (!capture) render(leadBytes / frameBytes, 0);

  pin->setNotification([this] {
    std::lock_guard held(lock);
    ++notified;
    wake.notify_one();
  });
  engine = std::thread([this] { engineLoop(); });
  if (kernel::Clock::instance().mode() == kernel::Clock::Mode::Virtual) {
    idleWaiter = kernel::Clock::instance().addIdleWaiter([this] { waitIdle(); });
  }
  if (!NT_SUCCESS(pin->setState(KSSTATE_RUN))) {
    stop();
    fail(error, "the card's stream does not run");
    return false;
  }
  return true;
}

void CardStream::stop() {
  if (idleWaiter) {
    kernel::Clock::instance().removeIdleWaiter(idleWaiter);
    idleWaiter = 0;
  }
  if (engine.joinable()) {
    {
      std::lock_guard held(lock);
      stopping = true;
      wake.notify_one();
    }
    engine.join();
  }
  pin.reset();  // stops and closes the driver's stream
}

void CardStream::waitIdle() {
  std::unique_lock held(lock);
  idle.wait(held, [&] { return serviced >= notified || stopping; });
}

void CardStream::engineLoop() {
  std::unique_lock held(lock);
  while (!stopping) {
    wake.wait_for(held, kServiceInterval, [&] { return notified > serviced || stopping; });
    if (stopping) break;
    const unsigned long long target = notified;
    held.unlock();
    service();
    held.lock();
    serviced = std::max(serviced, target);
    idle.notify_all();
  }
  idle.notify_all();
}

void CardStream::service() {
  const unsigned long size = pin->bufferSize();
  const unsigned long position = pin->position() % size;
  produced += (position + size - lastPosition) % size;
  lastPosition = position;
  if (capture) {
    serviceCapture(size);
  } else {
    serviceRender(size);
  }
}

void CardStream::render(std::size_t frames, std::size_t offset) {
  const std::size_t samples = frames * negotiated.channels;
  std::fill(scratch.begin(), scratch.begin() + static_cast<std::ptrdiff_t>(samples), 0.0f);
  if (renderCallback) renderCallback(scratch.data(), frames);
  floatToCard(scratch.data(), negotiated.bitsPerSample, samples, pin->buffer() + offset);
  moved += frames;
  cursor += frames * frameBytes;
}

// Keeps the data written ahead of the driver's position by the lead.
void CardStream::serviceRender(unsigned long size) {
  const unsigned long long before = cursor;
  while (cursor < produced + leadBytes) {
    const unsigned long offset = static_cast<unsigned long>(cursor % size);
    const unsigned long long wanted = produced + leadBytes - cursor;
    const unsigned long untilWrap = size - offset;
    const auto bytes = static_cast<unsigned long>(std::min<unsigned long long>(wanted, untilWrap));
    const std::size_t frames = bytes / frameBytes;
    if (frames == 0) break;
    render(frames, offset);
  }
  // Asking the position again publishes what was just written: the driver
  // reads it after taking the same lock.
  if (cursor != before) pin->position();
}

// Hands the client everything the driver has written since the last look.
void CardStream::serviceCapture(unsigned long size) {
  while (cursor < produced) {
    const unsigned long offset = static_cast<unsigned long>(cursor % size);
    const auto bytes = static_cast<unsigned long>(
        std::min<unsigned long long>(produced - cursor, size - offset));
    const std::size_t frames = bytes / frameBytes;
    if (frames == 0) break;
    const std::size_t samples = frames * negotiated.channels;
    cardToFloat(pin->buffer() + offset, negotiated.bitsPerSample, samples, scratch.data());
    if (captureCallback) captureCallback(scratch.data(), frames);
    moved += frames;
    cursor += frames * frameBytes;
  }
}

}  // namespace audio
