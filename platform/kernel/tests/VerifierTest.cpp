// Each verifier rule catches a snippet that breaks it, and names the rule and
// the place.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <functional>

#include "Kernel.h"
#include "TestTags.h"
#include "KernelTest.h"
#include "kernel/host/Bus.h"
#include "kernel/host/IoManager.h"
#include "kernel/host/PoolTracker.h"
#include "kernel/host/Strings.h"
#include "kernel/host/Verifier.h"

namespace {

using kernel::Rule;

struct RuleCase {
  const char* name;
  Rule rule;
  std::function<void()> snippet;
};

KSPIN_LOCK testLock = 0;
KMUTEX testMutex;
KEVENT testEvent;

void atDispatch(const std::function<void()>& body) {
  KIRQL old;
  KeAcquireSpinLock(&testLock, &old);
  body();
  KeReleaseSpinLock(&testLock, old);
}

std::vector<RuleCase> ruleCases() {
  return {
      {"wait on an event holding a spin lock", Rule::WaitAtRaisedIrql,
       [] {
         KeInitializeEvent(&testEvent, NotificationEvent, FALSE);
         atDispatch([] {
           KeWaitForSingleObject(&testEvent, Executive, KernelMode, FALSE, nullptr);
         });
       }},
      {"mutex taken under a spin lock", Rule::MutexUnderSpinLock,
       [] {
         KeInitializeMutex(&testMutex, 0);
         atDispatch([] {
           KeWaitForSingleObject(&testMutex, Executive, KernelMode, FALSE, nullptr);
         });
       }},
      {"delay at dispatch level", Rule::DelayAtRaisedIrql,
       [] {
         atDispatch([] {
           LARGE_INTEGER interval;
           interval.QuadPart = -10000;
           KeDelayExecutionThread(KernelMode, FALSE, &interval);
         });
       }},
      {"paged pool at dispatch level", Rule::PagedPoolAtRaisedIrql,
       [] { atDispatch([] { EXPECT_EQ(ExAllocatePoolWithTag(PagedPool, 16, kTagA), nullptr); }); }},
      {"registry at dispatch level", Rule::RegistryAtRaisedIrql,
       [] {
         atDispatch([] {
           kernel::OwnedUnicodeString path("\\Registry\\Machine\\Verifier");
           OBJECT_ATTRIBUTES attributes;
           InitializeObjectAttributes(&attributes, path.get(), OBJ_CASE_INSENSITIVE, nullptr,
                                      nullptr);
           HANDLE key;
           ZwCreateKey(&key, KEY_READ, &attributes, 0, nullptr, 0, nullptr);
         });
       }},
      {"pageable code at dispatch level", Rule::PagedCodeAtRaisedIrql,
       [] { atDispatch([] { PAGED_CODE(); }); }},
      {"free with the wrong tag", Rule::PoolWrongTag,
       [] { ExFreePoolWithTag(ExAllocatePoolWithTag(NonPagedPool, 8, kTagA), kTagB); }},
      {"double free", Rule::PoolBadFree,
       [] {
         void* p = ExAllocatePoolWithTag(NonPagedPool, 8, kTagA);
         ExFreePoolWithTag(p, kTagA);
         ExFreePoolWithTag(p, kTagA);
       }},
      {"releasing a spin lock not held", Rule::SpinLockMisuse,
       [] {
         KSPIN_LOCK lock = 0;
         KeReleaseSpinLock(&lock, PASSIVE_LEVEL);
       }},
      {"releasing a mutex not owned", Rule::MutexMisuse,
       [] {
         KeInitializeMutex(&testMutex, 0);
         KeReleaseMutex(&testMutex, FALSE);
       }},
      {"register outside a window", Rule::RegisterOutsideWindow,
       [] {
         ULONG notARegister = 0;
         WRITE_REGISTER_ULONG(&notARegister, 1);
       }},
      {"freeing a locked MDL", Rule::MdlMisuse,
       [] {
         static char buffer[64];
         PMDL mdl = IoAllocateMdl(buffer, sizeof buffer, FALSE, FALSE, nullptr);
         MmProbeAndLockPages(mdl, UserMode, IoWriteAccess);
         IoFreeMdl(mdl);
       }},
      {"lowering IRQL by raising", Rule::IrqlMismatch,
       [] {
         atDispatch([] {
           KIRQL old;
           KeRaiseIrql(PASSIVE_LEVEL, &old);
           KeLowerIrql(old);
         });
       }},
  };
}

TEST(Verifier, EachRuleCatchesASnippetThatBreaksIt) {
  for (const auto& rule : ruleCases()) {
    SCOPED_TRACE(rule.name);
    kernel::ViolationCapture capture;
    rule.snippet();
    ASSERT_TRUE(capture.caught(rule.rule)) << "expected: " << kernel::ruleName(rule.rule);
    const std::string text = capture.violations().front().describe();
    EXPECT_NE(text.find(kernel::ruleName(rule.rule)), std::string::npos) << text;
    EXPECT_NE(text.find("VerifierTest.cpp"), std::string::npos) << "names the place: " << text;
  }
  EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
}

TEST(Verifier, LeakReportNamesEachTag) {
  void* first = ExAllocatePoolWithTag(NonPagedPool, 100, kTagPcCr);
  void* second = ExAllocatePoolWithTag(PagedPool, 20, kTagAang);
  {
    kernel::ViolationCapture capture;
    EXPECT_FALSE(kernel::PoolTracker::reportLeaks());
    std::string report;
    for (const auto& violation : capture.violations()) report += violation.describe() + "\n";
    EXPECT_NE(report.find("\"PcCr\": 100 bytes in 1 allocations"), std::string::npos) << report;
    EXPECT_NE(report.find("\"aang\": 20 bytes in 1 allocations"), std::string::npos) << report;
  }
  ExFreePoolWithTag(first, kTagPcCr);
  ExFreePoolWithTag(second, kTagAang);
  EXPECT_TRUE(kernel::PoolTracker::reportLeaks());
}

void* wrongTagBlock = nullptr;

TEST(Verifier, AViolationFailsTheTestThatCausedIt) {
  wrongTagBlock = ExAllocatePoolWithTag(NonPagedPool, 4, kTagA);
  EXPECT_NONFATAL_FAILURE(ExFreePoolWithTag(wrongTagBlock, kTagB),
                          "pool freed with the wrong tag");
}

}  // namespace
