// The mailbox to the card's controller: 10-byte packets with an inverted-sum
// checksum. Record 0x20 is the mixer; the driver caches it in mixerRecord.
#pragma once

#include "Kernel.h"
#include "shared/CardControl.h"

inline constexpr ULONG kPacketBytes = cardctl::kPacketBytes;
inline constexpr UCHAR kReadRequest = cardctl::kReadCommand;
inline constexpr UCHAR kWriteRecordBase = cardctl::kRecordCommandBase;
inline constexpr UCHAR kMixerRecordIndex = 0x20;
inline constexpr UCHAR kWriteMixerRecord = kWriteRecordBase + kMixerRecordIndex;  // 0x60

// The bitwise NOT of the 8-bit sum of the packet's bytes 0 ... 8 (cardctl's).
UCHAR PacketChecksum(const UCHAR* packet);

// Writes the packet to the mailbox and rings the doorbell; a mixer-record
// write also updates mixerRecord. No lock, no reply awaited.
VOID SendControllerPacket(const UCHAR* packet, ULONG length);
// Copies the controller's last 10-byte reply.
VOID ReadControllerReply(PUCHAR destination);
VOID WriteMixerRecord(ULONG word0, ULONG word1);
// Asks the controller for record 0x20, waits 50 ms and caches the answer.
// Passive level.
VOID ReadMixerRecord();
