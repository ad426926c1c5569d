#include "BlockService.h"

VOID ServiceTick() {
  auto& card = cardContext;
  const LONG block = static_cast<LONG>(card.blockBytes);
  if (ReadLongAcquire(&card.interruptCredit) < block) return;
  // One tick serves one block; credit piled up while the DPC was late is not
  // caught up.
  InterlockedExchangeAdd(&card.interruptCredit, -block);
}
