#include "Controller.h"

#include "CardContext.h"
#include "CardRegisters.h"

namespace {

VOID PutWord(PUCHAR bytes, ULONG word) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<UCHAR>(word >> (8 * i));
}

ULONG GetWord(const UCHAR* bytes) {
  return static_cast<ULONG>(bytes[0]) | static_cast<ULONG>(bytes[1]) << 8 |
         static_cast<ULONG>(bytes[2]) << 16 | static_cast<ULONG>(bytes[3]) << 24;
}

}  // namespace

UCHAR PacketChecksum(const UCHAR* packet) { return cardctl::packetChecksum(packet); }

VOID SendControllerPacket(const UCHAR* packet, ULONG length) {
  if (length > 0 && packet[0] == kWriteMixerRecord && length >= 9) {
    cardContext.mixerRecord[0] = GetWord(packet + 1);
    cardContext.mixerRecord[1] = GetWord(packet + 5);
  }
  // The mailbox holds one packet; the controller reads it at the doorbell.
  if (length > kPacketBytes) length = kPacketBytes;
  RtlCopyMemory(cardContext.registers + reg::kMailboxRequest, packet, length);
  WriteRegister(cardContext.registers, reg::kMailboxDoorbell, reg::kRingDoorbell);
}

VOID ReadControllerReply(PUCHAR destination) {
  RtlCopyMemory(destination, cardContext.registers + reg::kMailboxReply, kPacketBytes);
}

VOID WriteMixerRecord(ULONG word0, ULONG word1) {
  UCHAR packet[kPacketBytes] = {kWriteMixerRecord};
  PutWord(packet + 1, word0);
  PutWord(packet + 5, word1);
  packet[9] = PacketChecksum(packet);
  SendControllerPacket(packet, kPacketBytes);
}

VOID ReadMixerRecord() {
  PAGED_CODE();
  UCHAR packet[kPacketBytes] = {kReadRequest, kMixerRecordIndex};
  packet[9] = PacketChecksum(packet);
  SendControllerPacket(packet, kPacketBytes);
  LARGE_INTEGER wait;
  wait.QuadPart = -500000;  // 50 ms for the controller to answer
  KeDelayExecutionThread(KernelMode, FALSE, &wait);
  cardContext.mixerRecord[0] = ReadRegister(cardContext.registers, reg::kMailboxReply + 1);
  cardContext.mixerRecord[1] = ReadRegister(cardContext.registers, reg::kMailboxReply + 5);
}
