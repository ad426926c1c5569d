#include "kernel/Pool.h"

#include <cstdlib>
#include <mutex>
#include <unordered_map>

#include "Internal.h"
#include "kernel/host/PoolTracker.h"
#include "kernel/host/Verifier.h"

namespace kernel {

namespace {

struct Allocation {
  ULONG tag;
  POOL_TYPE type;
  SIZE_T size;
};

struct PoolState {
  std::mutex lock;
  std::unordered_map<void*, Allocation> live;
  std::map<ULONG, PoolUsage> byTag;
  std::map<ULONG, PoolUsage> peak;
  std::uint64_t failCountdown = 0;  // 0: no Nth-allocation fault armed
  bool failTagArmed = false;
  ULONG failingTag = 0;
};

PoolState& state() {
  static PoolState* pool = new PoolState;
  return *pool;
}

bool isPaged(POOL_TYPE type) { return (type & 1) != 0; }

}  // namespace

PoolUsage PoolTracker::outstanding() {
  auto& pool = state();
  std::lock_guard held(pool.lock);
  PoolUsage total;
  for (const auto& [tag, usage] : pool.byTag) {
    total.bytes += usage.bytes;
    total.allocations += usage.allocations;
  }
  return total;
}

std::map<ULONG, PoolUsage> PoolTracker::outstandingByTag() {
  auto& pool = state();
  std::lock_guard held(pool.lock);
  std::map<ULONG, PoolUsage> result;
  for (const auto& [tag, usage] : pool.byTag) {
    if (usage.allocations) result.emplace(tag, usage);
  }
  return result;
}

std::map<ULONG, PoolUsage> PoolTracker::peakByTag() {
  auto& pool = state();
  std::lock_guard held(pool.lock);
  return pool.peak;
}

void PoolTracker::resetPeak() {
  auto& pool = state();
  std::lock_guard held(pool.lock);
  pool.peak = pool.byTag;
}

bool PoolTracker::reportLeaks() {
  bool clean = true;
  for (const auto& [tag, usage] : outstandingByTag()) {
    clean = false;
    Verifier::report(Rule::PoolLeak, "tag \"" + tagName(tag) + "\": " +
                                         std::to_string(usage.bytes) + " bytes in " +
                                         std::to_string(usage.allocations) + " allocations");
  }
  return clean;
}

void PoolTracker::failNthAllocation(std::uint64_t n) {
  auto& pool = state();
  std::lock_guard held(pool.lock);
  pool.failCountdown = n;
}

void PoolTracker::failTag(ULONG tag) {
  auto& pool = state();
  std::lock_guard held(pool.lock);
  pool.failTagArmed = true;
  pool.failingTag = tag;
}

void PoolTracker::clearFaults() {
  auto& pool = state();
  std::lock_guard held(pool.lock);
  pool.failCountdown = 0;
  pool.failTagArmed = false;
}

std::string PoolTracker::tagName(ULONG tag) {
  std::string name;
  for (int i = 0; i < 4; ++i) {
    const char c = static_cast<char>((tag >> (8 * i)) & 0xFF);
    name += (c >= 0x20 && c < 0x7F) ? c : '?';
  }
  return name;
}

}  // namespace kernel

using kernel::Rule;
using kernel::Verifier;

PVOID ExAllocatePoolWithTag(POOL_TYPE poolType, SIZE_T numberOfBytes, ULONG tag,
                            ::kernel::SourcePlace where) {
  if (kernel::isPaged(poolType) &&
      kernel::internal::refuseAbovePassive(static_cast<int>(Rule::PagedPoolAtRaisedIrql),
                                           "paged pool allocation", where)) {
    return nullptr;
  }
  auto& pool = kernel::state();
  std::lock_guard held(pool.lock);
  if (pool.failCountdown > 0 && --pool.failCountdown == 0) return nullptr;
  if (pool.failTagArmed && pool.failingTag == tag) return nullptr;
  // Fresh pool is not zeroed on the real kernel; fill it so that code relying
  // on zeroed memory shows itself.
  void* memory = std::malloc(numberOfBytes ? numberOfBytes : 1);
  if (!memory) return nullptr;
  std::memset(memory, 0xA5, numberOfBytes);
  pool.live.emplace(memory, kernel::Allocation{tag, poolType, numberOfBytes});
  auto& usage = pool.byTag[tag];
  usage.bytes += numberOfBytes;
  ++usage.allocations;
  auto& peak = pool.peak[tag];
  if (usage.bytes > peak.bytes) peak = usage;
  return memory;
}

PVOID ExAllocatePool(POOL_TYPE poolType, SIZE_T numberOfBytes, ::kernel::SourcePlace where) {
  return ExAllocatePoolWithTag(poolType, numberOfBytes, POOL_TAG_NONE, where);
}

namespace {

void freePool(PVOID p, bool tagGiven, ULONG tag, ::kernel::SourcePlace where) {
  auto& pool = kernel::state();
  std::unique_lock held(pool.lock);
  auto found = pool.live.find(p);
  if (found == pool.live.end()) {
    held.unlock();
    Verifier::report(Rule::PoolBadFree, "freeing memory the pool does not hold", where);
    return;
  }
  const auto allocation = found->second;
  if (kernel::isPaged(allocation.type)) {
    held.unlock();
    if (kernel::internal::refuseAbovePassive(static_cast<int>(Rule::PagedPoolAtRaisedIrql),
                                             "paged pool free", where)) {
      return;
    }
    held.lock();
    found = pool.live.find(p);
    if (found == pool.live.end()) return;
  }
  if (tagGiven && allocation.tag != tag) {
    held.unlock();
    Verifier::report(Rule::PoolWrongTag,
                     "allocated with \"" + kernel::PoolTracker::tagName(allocation.tag) +
                         "\", freed with \"" + kernel::PoolTracker::tagName(tag) + "\"",
                     where);
    held.lock();
    found = pool.live.find(p);
    if (found == pool.live.end()) return;
  }
  auto& usage = pool.byTag[allocation.tag];
  usage.bytes -= allocation.size;
  --usage.allocations;
  pool.live.erase(found);
  std::free(p);
}

}  // namespace

VOID ExFreePoolWithTag(PVOID p, ULONG tag, ::kernel::SourcePlace where) {
  freePool(p, true, tag, where);
}

VOID ExFreePool(PVOID p, ::kernel::SourcePlace where) { freePool(p, false, 0, where); }
