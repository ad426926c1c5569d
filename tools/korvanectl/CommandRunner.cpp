#include "CommandRunner.h"

#include <chrono>
#include <cstdarg>
#include <thread>

#include "AudioTransfer.h"
#include "CardDiscovery.h"
#include "ErrorText.h"
#include "HexText.h"
#include "ProcessDeviceService.h"
#include "shared/CardControl.h"

namespace korvanectl {

namespace {

using namespace cardctl;

// How long the controller takes to answer a read, as the control panel waits.
constexpr auto kControllerAnswerTime = std::chrono::milliseconds(100);

const char* formatResultName(std::uint32_t result) {
  switch (result) {
    case kFormatApplied:
      return "applied";
    case kFormatBusy:
      return "the card is busy";
    case kFormatUnchanged:
      return "unchanged";
    case kFormatInvalid:
      return "not a format the card has";
    default:
      return "unknown result";
  }
}

}  // namespace

int CommandRunner::run(const std::vector<Command>& commands) {
  for (const auto& command : commands) {
    if (!command.needsHandle() || card) continue;
    const Discovery found = openCard();
    if (found.handle == INVALID_HANDLE_VALUE) {
      // A machine that cannot be reached explains a search that found nothing.
      const std::string why = machine::processDeviceService()->problem();
      std::fprintf(err, "korvanectl: %s\n", why.empty() ? found.problem.c_str() : why.c_str());
      return kExitNoCard;
    }
    card = std::make_unique<CardDevice>(found.handle);
  }
  int status = kExitOk;
  for (const auto& command : commands) {
    const bool ok =
        std::visit([&](const auto& action) { return run(command, action); }, command.action);
    if (!ok) status = kExitRequestFailed;
  }
  return status;
}

void CommandRunner::line(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(out, format, arguments);
  va_end(arguments);
  std::fputc('\n', out);
  // Each line as soon as it is known: a script's later command may block.
  std::fflush(out);
}

void CommandRunner::problem(const Command& command, const std::string& text) {
  std::fprintf(err, "korvanectl: %s: %s\n", command.text.c_str(), text.c_str());
}

bool CommandRunner::request(const Command& command, DWORD code, std::vector<std::uint8_t> input,
                            std::vector<std::uint8_t>& output) {
  const Reply reply = card->control(code, std::move(input), output);
  if (!reply.ok) problem(command, "the request failed: " + errorText(reply.error));
  return reply.ok;
}

bool CommandRunner::run(const Command& command, const StatusCommand&) {
  std::vector<std::uint8_t> info(sizeof(FormatInfo));
  if (!request(command, IOCTL_CARD_GET_FORMAT, {}, info)) return false;
  line("rate=%u bits=%u frames=%u activity=%u", wordAt(info, 0), wordAt(info, 1), wordAt(info, 2),
       wordAt(info, 3));
  return true;
}

bool CommandRunner::run(const Command& command, const FormatCommand& format) {
  std::vector<std::uint8_t> result(4);
  if (!request(command, IOCTL_CARD_SET_FORMAT, words({format.rate, format.bits, format.frames}),
               result)) {
    return false;
  }
  const std::uint32_t answer = wordAt(result, 0);
  line("result=%u", answer);
  if (answer == kFormatApplied || answer == kFormatUnchanged) return true;
  problem(command, formatResultName(answer));
  return false;
}

bool CommandRunner::printSwitches(const Command& command) {
  std::vector<std::uint8_t> switches(sizeof(SwitchesInfo));
  if (!request(command, IOCTL_CARD_GET_SWITCHES, {}, switches)) return false;
  line("mode=%u loopback=%u monitor=%u", wordAt(switches, 0), wordAt(switches, 1),
       wordAt(switches, 2));
  return true;
}

bool CommandRunner::run(const Command& command, const SwitchesCommand&) {
  return printSwitches(command);
}

bool CommandRunner::run(const Command& command, const SwitchCommand& change) {
  std::vector<std::uint8_t> none;
  return request(command, IOCTL_CARD_SET_SWITCH,
                 {change.which, static_cast<std::uint8_t>(change.on ? 1 : 0)}, none) &&
         printSwitches(command);
}

bool CommandRunner::printRecordVolume(const Command& command) {
  std::vector<std::uint8_t> volume(4);
  if (!request(command, IOCTL_CARD_GET_REC_VOLUME, {}, volume)) return false;
  line("recvol=%d", static_cast<std::int32_t>(wordAt(volume, 0)));
  return true;
}

bool CommandRunner::run(const Command& command, const RecordVolumeCommand& volume) {
  std::vector<std::uint8_t> none;
  if (volume.volume &&
      !request(command, IOCTL_CARD_SET_REC_VOLUME, words({*volume.volume}), none)) {
    return false;
  }
  return printRecordVolume(command);
}

bool CommandRunner::printDucking(const Command& command) {
  std::vector<std::uint8_t> ducking(sizeof(DuckingInfo));
  if (!request(command, IOCTL_CARD_GET_DUCKING, {}, ducking)) return false;
  line("enabled=%d sensitivity=%d", static_cast<std::int32_t>(wordAt(ducking, 0)),
       static_cast<std::int32_t>(wordAt(ducking, 1)));
  return true;
}

bool CommandRunner::run(const Command& command, const DuckingCommand& ducking) {
  std::vector<std::uint8_t> none;
  if (ducking.enabled && !request(command, IOCTL_CARD_SET_DUCKING,
                                  words({kDuckingSwitch, *ducking.enabled ? 1u : 0u}), none)) {
    return false;
  }
  if (ducking.sensitivity && !request(command, IOCTL_CARD_SET_DUCKING,
                                      words({kDuckingSensitivity, *ducking.sensitivity}), none)) {
    return false;
  }
  return printDucking(command);
}

bool CommandRunner::readRecord(const Command& command, unsigned index, Record* record) {
  const Packet read = readRequest(index);
  std::vector<std::uint8_t> direction = {kMailboxSend};
  if (!request(command, IOCTL_CARD_MCU_MAILBOX, {read.begin(), read.end()}, direction)) {
    return false;
  }
  std::this_thread::sleep_for(kControllerAnswerTime);
  std::vector<std::uint8_t> reply(kPacketBytes, 0);
  reply[0] = kMailboxReadReply;
  if (!request(command, IOCTL_CARD_MCU_MAILBOX, {read.begin(), read.end()}, reply)) return false;
  Packet packet;
  std::copy(reply.begin(), reply.end(), packet.begin());
  const auto found = recordInReply(packet, index);
  if (!found) {
    problem(command, "the controller did not answer the read of record " + std::to_string(index));
    return false;
  }
  *record = *found;
  return true;
}

bool CommandRunner::run(const Command& command, const RecordReadCommand& read) {
  Record record;
  if (!readRecord(command, read.index, &record)) return false;
  line("data=%s", hexText(record).c_str());
  return true;
}

bool CommandRunner::run(const Command& command, const RecordWriteCommand& write) {
  const Packet packet = writeRequest(write.index, write.data);
  std::vector<std::uint8_t> direction = {kMailboxSend};
  if (!request(command, IOCTL_CARD_MCU_MAILBOX, {packet.begin(), packet.end()}, direction)) {
    return false;
  }
  // What the controller holds now, read back as a read would show it.
  Record record;
  if (!readRecord(command, write.index, &record)) return false;
  line("data=%s", hexText(record).c_str());
  return true;
}

bool CommandRunner::run(const Command& command, const CardIdCommand&) {
  Record first, second;
  if (!readRecord(command, kIdFirstRecord, &first) ||
      !readRecord(command, kIdSecondRecord, &second)) {
    return false;
  }
  std::string id;
  for (const Record* record : {&first, &second}) {
    for (unsigned i = 0; i < kIdCharsPerRecord; ++i) {
      const auto c = static_cast<char>((*record)[i]);
      id += c >= 0x20 && c < 0x7F ? c : '?';
    }
  }
  line("id=%s", id.c_str());
  return true;
}

bool CommandRunner::run(const Command&, const IoctlCommand& ioctl) {
  std::vector<std::uint8_t> input = ioctl.input.value_or(std::vector<std::uint8_t>{});
  std::vector<std::uint8_t> output = ioctl.output.value_or(std::vector<std::uint8_t>{});
  // A buffer that is there but empty still has an address.
  std::uint8_t emptyInput = 0, emptyOutput = 0;
  void* in = !ioctl.input ? nullptr : input.empty() ? &emptyInput : input.data();
  void* outBuffer = !ioctl.output ? nullptr : output.empty() ? &emptyOutput : output.data();
  const Reply reply = card->control(ioctl.code, in, static_cast<DWORD>(input.size()), outBuffer,
                                    static_cast<DWORD>(output.size()));
  line("status=0x%08X returned=%u out=%s", reply.status, reply.returned, hexText(output).c_str());
  return reply.ok;
}

bool CommandRunner::run(const Command& command, const PlayCommand& play) {
  const Transfer played = playFile(*machine::processDeviceService(), play.path);
  if (!played.ok) {
    problem(command, played.problem);
    return false;
  }
  line("frames=%llu rate=%u", static_cast<unsigned long long>(played.frames), played.rate);
  return true;
}

bool CommandRunner::run(const Command& command, const CaptureCommand& capture) {
  const Transfer captured =
      captureFile(*machine::processDeviceService(), capture.path, capture.seconds);
  if (!captured.ok) {
    problem(command, captured.problem);
    return false;
  }
  line("frames=%llu rate=%u bits=%u", static_cast<unsigned long long>(captured.frames),
       captured.rate, captured.bits);
  return true;
}

bool CommandRunner::run(const Command&, const SleepCommand& sleep) {
  std::this_thread::sleep_for(std::chrono::milliseconds(sleep.milliseconds));
  line("slept=%u", sleep.milliseconds);
  return true;
}

}  // namespace korvanectl
