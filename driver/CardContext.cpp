#include "CardContext.h"

CardContext cardContext;

namespace {

AudioBlock* const kBlocks[] = {
    &cardContext.sysBlock,          &cardContext.llPlayBlock[0], &cardContext.llPlayBlock[1],
    &cardContext.llCaptureBlock[0], &cardContext.llCaptureBlock[1], &cardContext.mixBlock,
    &cardContext.inBlock,           &cardContext.recBlock,       &cardContext.outBlock,
};

}  // namespace

bool AllocateCardBlocks() {
  for (AudioBlock* block : kBlocks) {
    block->data = static_cast<PUCHAR>(ExAllocatePoolWithTag(NonPagedPool, kMaxBlockBytes,
                                                            kTagAdapter));
    if (!block->data) {
      FreeCardBlocks();
      return false;
    }
    // Cleared, so a block read before it is first written (a low-latency half
    // never reported, say) plays silence.
    RtlZeroMemory(block->data, kMaxBlockBytes);
  }
  SetBlockLengths();
  return true;
}

VOID FreeCardBlocks() {
  for (AudioBlock* block : kBlocks) {
    if (block->data) ExFreePoolWithTag(block->data, kTagAdapter);
    block->data = nullptr;
    block->length = 0;
  }
}

VOID SetBlockLengths() {
  for (AudioBlock* block : kBlocks) block->length = cardContext.blockBytes;
}
