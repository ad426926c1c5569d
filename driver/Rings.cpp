#include "Rings.h"

#include "BlockService.h"
#include "CardContext.h"
#include "CardRegisters.h"

VOID WritePlayBlock(const UCHAR* source, ULONG length) {
  if (!source) return;
  auto& card = cardContext;
  const LONG ringSize = static_cast<LONG>(card.hwRingSize);
  const LONG block = static_cast<LONG>(card.blockBytes);
  card.playHwPos = static_cast<LONG>(ReadRegister(card.registers, reg::kPlayReadPosition));
  LONG lead = card.playFillPos - card.playHwPos;
  if (lead < 0) lead += ringSize;
  if (lead > 4 * block) {
    DbgPrint("fix play fill pos > ts*5\n");
    DbgPrint("ppos:%d, fpos:%d\n", card.playHwPos, card.playFillPos);
    const LONG ahead = (card.playHwPos + 2 * block) % ringSize;
    card.playFillPos = (ahead / block * block + block) % ringSize;
  }
  RtlCopyMemory(card.playRing + card.playFillPos, source, length);
  WriteRegister(card.registers, reg::kPlayBlockWritten, length);
  card.playFillPos = static_cast<LONG>((card.playFillPos + length) % card.hwRingSize);
}

LONG CaptureAvailable() {
  auto& card = cardContext;
  const LONG ringSize = static_cast<LONG>(card.hwRingSize);
  const LONG block = static_cast<LONG>(card.blockBytes);
  card.captureHwPos =
      static_cast<LONG>(ReadRegister(card.registers, reg::kCaptureWritePosition));
  LONG available = card.captureHwPos - card.captureReadPos;
  if (available < 0) available += ringSize;
  if (available < block || available > 4 * block) {
    LONG behind = card.captureHwPos - block;
    if (behind < 0) behind += ringSize;
    card.captureReadPos = behind / block * block;
  }
  return available;
}

VOID ReadCaptureBlock() {
  auto& card = cardContext;
  CaptureAvailable();  // only for its resynchronisation
  // The copy and the record gain in one pass.
  CopyGained(card.inBlock, card.captureRing + card.captureReadPos);
  MeasureInputLevel(card.inBlock);
  card.captureReadPos = static_cast<LONG>((card.captureReadPos + card.blockBytes) %
                                          card.hwRingSize);
}
