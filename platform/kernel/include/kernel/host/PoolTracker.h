// Pool accounting per tag, leak reports and allocation fault injection.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "kernel/Types.h"

namespace kernel {

struct PoolUsage {
  std::uint64_t bytes = 0;
  std::uint64_t allocations = 0;
};

class PoolTracker {
 public:
  // What is allocated now, in all and per tag.
  static PoolUsage outstanding();
  static std::map<ULONG, PoolUsage> outstandingByTag();
  // The most allocated at once since the last resetPeak, per tag.
  static std::map<ULONG, PoolUsage> peakByTag();
  static void resetPeak();
  // Reports one PoolLeak violation per tag still allocated; true when clean.
  static bool reportLeaks();

  // Fault injection: the nth allocation from now on fails (1 = the next one),
  // or every allocation with the tag fails. clearFaults ends both.
  static void failNthAllocation(std::uint64_t n);
  static void failTag(ULONG tag);
  static void clearFaults();

  // "PcCr" for 0x72436350: the tag as it reads in memory.
  static std::string tagName(ULONG tag);
};

}  // namespace kernel
