#include <gtest/gtest.h>

#include "Kernel.h"
#include "TestTags.h"
#include "kernel/host/PoolTracker.h"

namespace {

using kernel::PoolTracker;

TEST(Pool, AccountsPerTagAndKeepsThePeak) {
  PoolTracker::resetPeak();
  void* a = ExAllocatePoolWithTag(NonPagedPool, 3072, kTagPcCr);
  void* b = ExAllocatePoolWithTag(NonPagedPool, 1024, kTagPcCr);
  auto byTag = PoolTracker::outstandingByTag();
  EXPECT_EQ(byTag[kTagPcCr].bytes, 4096u);
  EXPECT_EQ(byTag[kTagPcCr].allocations, 2u);
  ExFreePoolWithTag(a, kTagPcCr);
  ExFreePool(b);  // without a tag: any tag is accepted
  EXPECT_EQ(PoolTracker::outstandingByTag().count(kTagPcCr), 0u);
  EXPECT_EQ(PoolTracker::peakByTag()[kTagPcCr].bytes, 4096u);
  EXPECT_EQ(PoolTracker::tagName(kTagPcCr), "PcCr");
}

TEST(Pool, FaultInjectionFailsTheNthAllocationOrATag) {
  PoolTracker::failNthAllocation(2);
  void* first = ExAllocatePoolWithTag(NonPagedPool, 8, kTagA);
  void* second = ExAllocatePoolWithTag(NonPagedPool, 8, kTagA);
  void* third = ExAllocatePoolWithTag(NonPagedPool, 8, kTagA);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(second, nullptr);
  EXPECT_NE(third, nullptr);

  PoolTracker::failTag(kTagAang);
  EXPECT_EQ(ExAllocatePoolWithTag(NonPagedPool, 8, kTagAang), nullptr);
  EXPECT_EQ(ExAllocatePoolWithTag(PagedPool, 8, kTagAang), nullptr);
  void* other = ExAllocatePoolWithTag(NonPagedPool, 8, kTagA);
  EXPECT_NE(other, nullptr);
  PoolTracker::clearFaults();
  void* after = ExAllocatePoolWithTag(NonPagedPool, 8, kTagAang);
  EXPECT_NE(after, nullptr);

  for (void* p : {first, third, other}) ExFreePoolWithTag(p, kTagA);
  ExFreePoolWithTag(after, kTagAang);
}

TEST(Pool, FreshPoolIsNotZeroed) {
  auto* bytes = static_cast<unsigned char*>(ExAllocatePoolWithTag(NonPagedPool, 16, kTagA));
  int zeros = 0;
  for (int i = 0; i < 16; ++i) zeros += bytes[i] == 0;
  EXPECT_EQ(zeros, 0) << "code that forgets to clear its blocks must not pass by luck";
  ExFreePoolWithTag(bytes, kTagA);
}

}  // namespace
