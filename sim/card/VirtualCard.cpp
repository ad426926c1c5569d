#include "card/VirtualCard.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <numeric>
#include <stdexcept>

#include "card/BlockFormat.h"
#include "card/Mixer.h"

namespace card {

namespace {

constexpr std::uint64_t kPartsPerMillion = 1'000'000;

// Set while this thread runs a block period for the clock: a register write
// from the interrupt service that then reaches syncTimer must not wait for
// timerLock, whose holder may itself be waiting in Clock::stop for this very
// period to end.
thread_local bool insideBlockTimer = false;

// The card's DMA is not ordered with the processor, as on the bus: a block
// the driver writes while the card reads it comes out torn, a glitch its
// positions exist to prevent (the playback and capture tests compare samples
// exactly). ThreadSanitizer, which would call that a data race in the model,
// is told these copies are the device's own.
#if defined(__SANITIZE_THREAD__)
#define KORVANE_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KORVANE_THREAD_SANITIZER 1
#endif
#endif
#if defined(KORVANE_THREAD_SANITIZER)
extern "C" void AnnotateIgnoreReadsBegin(const char* file, int line);
extern "C" void AnnotateIgnoreReadsEnd(const char* file, int line);
extern "C" void AnnotateIgnoreWritesBegin(const char* file, int line);
extern "C" void AnnotateIgnoreWritesEnd(const char* file, int line);
class DeviceAccess {
 public:
  DeviceAccess() {
    AnnotateIgnoreReadsBegin(__FILE__, __LINE__);
    AnnotateIgnoreWritesBegin(__FILE__, __LINE__);
  }
  ~DeviceAccess() {
    AnnotateIgnoreWritesEnd(__FILE__, __LINE__);
    AnnotateIgnoreReadsEnd(__FILE__, __LINE__);
  }
  DeviceAccess(const DeviceAccess&) = delete;
  DeviceAccess& operator=(const DeviceAccess&) = delete;
};
#else
struct DeviceAccess {};
#endif

std::uint32_t& wordAt(std::vector<std::uint32_t>& memory, std::uint32_t offset) {
  assert(offset % sizeof(std::uint32_t) == 0 && offset < memory.size() * sizeof(std::uint32_t));
  return memory[offset / sizeof(std::uint32_t)];
}

std::uint32_t loadWord(const std::vector<std::uint32_t>& memory, std::uint32_t offset) {
  // atomic_ref has no read-only form; the load does not write.
  auto& word = wordAt(const_cast<std::vector<std::uint32_t>&>(memory), offset);
  return std::atomic_ref<std::uint32_t>(word).load(std::memory_order_relaxed);
}

}  // namespace

struct VirtualCard::ChannelPlan {
  bool running = false;
  std::uint64_t epoch = 0;
  BlockFormat format;
  std::uint64_t address = 0;
  std::span<std::uint8_t> ring;  // the block in DMA memory; empty when it is not DMA memory

  static ChannelPlan of(const DmaChannel& channel) {
    ChannelPlan plan;
    plan.running = channel.running();
    plan.epoch = channel.epoch();
    plan.format = channel.format();
    plan.address = channel.ringBase() + channel.position();
    return plan;
  }
};

VirtualCard::VirtualCard(CardOptions options)
    : registerMemory(kRegisterWindowBytes / sizeof(std::uint32_t)),
      auxMemory(kAuxWindowBytes / sizeof(std::uint32_t)),
      playback(kPlaybackRateCodes),
      capture(kCaptureRateCodes),
      controller(options.cardId),
      analogInput(options.input),
      analogOutput(options.outputPath) {
  auto& bus = kernel::Bus::instance();
  registers = {bus.attachWindow(*this, kRegisterWindowIndex, windowBytes(registerMemory)),
               kRegisterWindowBytes};
  aux = {bus.attachWindow(*this, kAuxWindowIndex, windowBytes(auxMemory)), kAuxWindowBytes};
  line = bus.allocateInterruptLine();
}

VirtualCard::~VirtualCard() {
  {
    std::lock_guard held(stateLock);
    closing = true;
  }
  syncTimer();
  kernel::Bus::instance().detachDevice(*this);
}

std::span<std::uint8_t> VirtualCard::windowBytes(std::vector<std::uint32_t>& words) {
  return {reinterpret_cast<std::uint8_t*>(words.data()), words.size() * sizeof(std::uint32_t)};
}

// Register access --------------------------------------------------------------

void VirtualCard::registerWritten(int window, std::uint32_t offset, std::uint32_t value) {
  // The auxiliary window only keeps what is written, which its memory does.
  if (window != kRegisterWindowIndex) return;
  bool timerAffected = false;
  {
    std::lock_guard held(stateLock);
    timerAffected = handleRegisterWrite(offset, value);
  }
  if (timerAffected) syncTimer();
}

bool VirtualCard::handleRegisterWrite(std::uint32_t offset, std::uint32_t value) {
  // Channel formats and run states decide the block timer's period: those
  // writes answer true.
  switch (offset) {
    case kPlaybackBlockWritten:
      ++counts.blocksAnnounced;
      counts.bytesAnnounced += value;
      return false;
    case kPlaybackRingBase:
      playback.setRingBase(value);
      return false;
    case kPlaybackBlockBytes:
      playback.setBlockBytes(value);
      return true;
    case kPlaybackBitDepth:
      playback.setBitDepth(value);
      return true;
    case kPlaybackRateCode:
      playback.setRateCode(value);
      return true;
    case kPlaybackStart:
      if (value != kPlaybackStartValue) return false;
      startChannel(playback);
      return true;
    case kPlaybackStop:
      if (value != kPlaybackStopValue) return false;
      playback.stop();
      return true;
    case kCaptureRingBase:
      capture.setRingBase(value);
      return false;
    case kCaptureBlockBytes:
      capture.setBlockBytes(value);
      return true;
    case kCaptureBitDepth:
      capture.setBitDepth(value);
      return true;
    case kCaptureRateCode:
      capture.setRateCode(value);
      return true;
    case kCaptureStart:
      if (value != kCaptureStartValue) return false;
      startChannel(capture);
      return true;
    case kCaptureStop:
      if (value != kCaptureStopValue) return false;
      capture.stop();
      return true;
    case kAcknowledgeBit7:
      acknowledge(kStatusBit7, value);
      return false;
    case kAcknowledgeBlock:
      acknowledge(kStatusBlock, value);
      return false;
    case kAcknowledgeBit5:
      acknowledge(kStatusBit5, value);
      return false;
    case kAcknowledgeBit4:
      acknowledge(kStatusBit4, value);
      return false;
    case kPowerControl:
      power = value;
      return false;
    case kMailboxDoorbell:
      if (value == kDoorbellValue) ringDoorbell();
      return false;
    default:
      return false;
  }
}

void VirtualCard::startChannel(DmaChannel& channel) {
  if (!channel.start()) ++counts.startsRefused;
}

void VirtualCard::acknowledge(std::uint32_t bit, std::uint32_t value) {
  if (value == kAcknowledgeValue) status &= ~bit;
}

void VirtualCard::ringDoorbell() {
  if (!controllerAnswering) {
    ++counts.doorbellsIgnored;
    return;
  }
  std::uint8_t* window = windowBytes(registerMemory).data();
  ControllerPacket request;
  std::memcpy(request.data(), window + kMailboxRequest, request.size());
  ControllerPacket reply{};
  switch (controller.handle(request, reply)) {
    case Controller::Outcome::Answered:
      std::memcpy(window + kMailboxReply, reply.data(), reply.size());
      ++counts.packetsAnswered;
      break;
    case Controller::Outcome::Stored:
      ++counts.packetsStored;
      break;
    case Controller::Outcome::Ignored:
      ++counts.packetsIgnored;
      break;
  }
}

void VirtualCard::registerRead(int window, std::uint32_t offset) {
  if (window != kRegisterWindowIndex) return;
  std::lock_guard held(stateLock);
  std::uint32_t value = 0;
  switch (offset) {
    case kInterruptStatus:
      value = status;
      break;
    case kPlaybackReadPosition:
      value = playback.position();
      break;
    case kCaptureWritePosition:
      value = capture.position();
      break;
    default:
      return;  // every other word reads back as stored
  }
  std::atomic_ref<std::uint32_t>(wordAt(registerMemory, offset))
      .store(value, std::memory_order_relaxed);
}

// Block periods ------------------------------------------------------------------

bool VirtualCard::runBlock() {
  std::unique_lock engine(engineLock);
  ChannelPlan play;
  ChannelPlan record;
  MixerSettings mixer;
  {
    std::lock_guard held(stateLock);
    play = ChannelPlan::of(playback);
    record = ChannelPlan::of(capture);
    mixer = controller.mixer();
  }
  if (!play.running && !record.running) return false;

  // The slow parts (bus look-ups, the analog input) happen outside the state
  // lock so that the interrupt service and the driver are not held up.
  auto& bus = kernel::Bus::instance();
  if (play.running) {
    play.ring = bus.dmaRange(play.address, play.format.blockBytes);
    playBlock.resize(play.format.blockBytes);
    playSamples.resize(play.format.samples());
  }
  if (record.running) {
    record.ring = bus.dmaRange(record.address, record.format.blockBytes);
    captureBlock.resize(record.format.blockBytes);
    captureSamples.resize(record.format.samples());
    analogInput.fill(captureSamples, record.format.sampleRate, record.format.bitDepth);
    applyMicrophoneStage(mixer, captureSamples);
    packBlock(captureSamples, record.format.bitDepth, captureBlock);
  }

  bool played = false;
  bool captured = false;
  bool raise = false;
  {
    std::lock_guard held(stateLock);
    // A channel reprogrammed since the plan was made skips this period.
    if (play.running && playback.running() && playback.epoch() == play.epoch) {
      if (play.ring.empty()) {
        ++counts.dmaFaults;
        std::fill(playBlock.begin(), playBlock.end(), 0);
      } else {
        [[maybe_unused]] const DeviceAccess dma;
        std::copy(play.ring.begin(), play.ring.end(), playBlock.begin());
      }
      playback.advance();
      ++counts.blocksPlayed;
      played = true;
    }
    if (record.running && capture.running() && capture.epoch() == record.epoch) {
      if (record.ring.empty()) {
        ++counts.dmaFaults;
      } else {
        [[maybe_unused]] const DeviceAccess dma;
        std::copy(captureBlock.begin(), captureBlock.end(), record.ring.begin());
      }
      capture.advance();
      ++counts.blocksCaptured;
      captured = true;
    }
    if (played || captured) {
      status |= kStatusBlock;
      if (interruptsToLose > 0) {
        --interruptsToLose;
        ++counts.lostInterrupts;
      } else {
        ++counts.interrupts;
        raise = true;
      }
    }
  }

  if (played) {
    unpackBlock(playBlock, play.format.bitDepth, playSamples);
    applyMasterStage(mixer, playSamples);
    analogOutput.play(playSamples, play.format.sampleRate, play.format.bitDepth);
  }
  engine.unlock();
  if (raise) bus.raiseInterrupt(line);
  return played || captured;
}

void VirtualCard::onTimer() {
  const bool outer = insideBlockTimer;
  insideBlockTimer = true;
  runBlock();
  insideBlockTimer = outer;
}

// The block timer ----------------------------------------------------------------

std::optional<BlockPeriod> VirtualCard::wantedPeriod() const {
  if (closing) return std::nullopt;
  // Playback paces the card when it runs, capture otherwise.
  const DmaChannel* pacing =
      playback.running() ? &playback : (capture.running() ? &capture : nullptr);
  if (!pacing) return std::nullopt;
  const BlockFormat format = pacing->format();
  // frames / (rate * (1 + ppm / 10^6)) seconds, in ticks.
  BlockPeriod period{
      std::uint64_t{format.frames()} * kernel::kTicksPerSecond * kPartsPerMillion,
      std::uint64_t{format.sampleRate} *
          static_cast<std::uint64_t>(static_cast<std::int64_t>(kPartsPerMillion) + driftPpm)};
  const std::uint64_t common = std::gcd(period.numerator, period.denominator);
  period.numerator /= common;
  period.denominator /= common;
  return period;
}

void VirtualCard::syncTimer() {
  timerDirty.store(true);
  std::unique_lock held(timerLock, std::defer_lock);
  if (insideBlockTimer) {
    // Whoever holds the lock re-reads the wanted state before letting go.
    if (!held.try_lock()) return;
  } else {
    held.lock();
  }
  for (;;) {
    while (timerDirty.exchange(false)) applyTimer();
    held.unlock();
    // A request that arrived between the last check and the unlock is ours
    // to apply, unless another thread took the lock and will.
    if (!timerDirty.load() || !held.try_lock()) return;
  }
}

void VirtualCard::applyTimer() {
  std::optional<BlockPeriod> wanted;
  {
    std::lock_guard held(stateLock);
    wanted = wantedPeriod();
  }
  if (wanted == armedPeriod) return;
  auto& clock = kernel::Clock::instance();
  if (timer) clock.stop(*timer);
  timer.reset();
  if (wanted) {
    timer = clock.startPeriodic(wanted->numerator, wanted->denominator, [this] { onTimer(); });
  }
  armedPeriod = wanted;
}

std::optional<BlockPeriod> VirtualCard::timerPeriod() const {
  std::lock_guard held(timerLock);
  return armedPeriod;
}

// Analog ends --------------------------------------------------------------------

void VirtualCard::setInput(const InputSetting& input) {
  AnalogInput replacement(input);
  std::lock_guard held(engineLock);
  analogInput = std::move(replacement);
}

InputSetting VirtualCard::input() const {
  std::lock_guard held(engineLock);
  return analogInput.setting();
}

void VirtualCard::setOutput(const std::string& path) {
  AnalogOutput replacement(path);
  std::lock_guard held(engineLock);
  analogOutput = std::move(replacement);
}

std::string VirtualCard::outputPath() const {
  std::lock_guard held(engineLock);
  return analogOutput.path();
}

// Faults -------------------------------------------------------------------------

void VirtualCard::setClockDrift(std::int32_t ppm) {
  if (ppm <= -static_cast<std::int32_t>(kPartsPerMillion)) {
    throw std::invalid_argument("clock drift must be above -1000000 ppm");
  }
  {
    std::lock_guard held(stateLock);
    driftPpm = ppm;
  }
  syncTimer();
}

void VirtualCard::loseInterrupts(unsigned count) {
  std::lock_guard held(stateLock);
  interruptsToLose = count;
}

void VirtualCard::raiseSpuriousInterrupt(std::uint32_t statusBits) {
  {
    std::lock_guard held(stateLock);
    status |= statusBits & kStatusMask;
    ++counts.interrupts;
  }
  kernel::Bus::instance().raiseInterrupt(line);
}

void VirtualCard::setControllerAnswering(bool answering) {
  std::lock_guard held(stateLock);
  controllerAnswering = answering;
}

// Observation --------------------------------------------------------------------

bool VirtualCard::playbackRunning() const {
  std::lock_guard held(stateLock);
  return playback.running();
}

bool VirtualCard::captureRunning() const {
  std::lock_guard held(stateLock);
  return capture.running();
}

std::uint32_t VirtualCard::playbackPosition() const {
  std::lock_guard held(stateLock);
  return playback.position();
}

std::uint32_t VirtualCard::capturePosition() const {
  std::lock_guard held(stateLock);
  return capture.position();
}

std::uint32_t VirtualCard::interruptStatus() const {
  std::lock_guard held(stateLock);
  return status;
}

CardCounters VirtualCard::counters() const {
  std::lock_guard held(stateLock);
  return counts;
}

ControllerRecord VirtualCard::record(unsigned index) const {
  std::lock_guard held(stateLock);
  return controller.record(index);
}

std::uint32_t VirtualCard::registerValue(std::uint32_t offset) const {
  return loadWord(registerMemory, offset);
}

std::uint32_t VirtualCard::auxValue(std::uint32_t offset) const {
  return loadWord(auxMemory, offset);
}

std::uint32_t VirtualCard::powerControl() const {
  std::lock_guard held(stateLock);
  return power;
}

bool VirtualCard::initialConfigurationWritten() const {
  return std::all_of(
      kInitialConfiguration.begin(), kInitialConfiguration.end(),
      [this](const ConfigurationWord& word) { return registerValue(word.offset) == word.value; });
}

}  // namespace card
