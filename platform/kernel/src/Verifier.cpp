#include "kernel/host/Verifier.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace kernel {

namespace {

std::mutex handlerLock;
Verifier::Handler currentHandler;  // guarded by handlerLock; empty = default

void defaultHandler(const Violation& violation) {
  std::fprintf(stderr, "%s\n", violation.describe().c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace

const char* ruleName(Rule rule) {
  switch (rule) {
    case Rule::WaitAtRaisedIrql: return "wait at raised IRQL";
    case Rule::DelayAtRaisedIrql: return "delay at raised IRQL";
    case Rule::PagedPoolAtRaisedIrql: return "paged pool at raised IRQL";
    case Rule::PagedCodeAtRaisedIrql: return "pageable code at raised IRQL";
    case Rule::RegistryAtRaisedIrql: return "registry at raised IRQL";
    case Rule::MutexUnderSpinLock: return "sleeping mutex under a spin lock";
    case Rule::IrqlMismatch: return "IRQL mismatch";
    case Rule::SpinLockMisuse: return "spin lock misuse";
    case Rule::MutexMisuse: return "mutex misuse";
    case Rule::PoolWrongTag: return "pool freed with the wrong tag";
    case Rule::PoolBadFree: return "pool double or bad free";
    case Rule::PoolLeak: return "pool leaked at unload";
    case Rule::RegisterOutsideWindow: return "register access outside a mapped window";
    case Rule::MdlMisuse: return "MDL misuse";
    case Rule::IrpMisuse: return "IRP misuse";
    case Rule::ObjectMisuse: return "object reference misuse";
    case Rule::RemoveLockMisuse: return "remove lock misuse";
    case Rule::ThreadLeak: return "system thread still running";
    case Rule::ApiMisuse: return "kernel call misuse";
  }
  return "unknown rule";
}

std::string Violation::describe() const {
  return std::string("verifier: ") + ruleName(rule) + ": " + detail + " at " +
         where.file_name() + ":" + std::to_string(where.line());
}

void Verifier::report(Rule rule, std::string detail, ::kernel::SourcePlace where) {
  Violation violation{rule, std::move(detail), where};
  Handler handler;
  {
    std::lock_guard lock(handlerLock);
    handler = currentHandler;
  }
  if (handler) {
    handler(violation);
  } else {
    defaultHandler(violation);
  }
}

Verifier::Handler Verifier::setHandler(Handler handler) {
  std::lock_guard lock(handlerLock);
  Handler previous = std::move(currentHandler);
  currentHandler = std::move(handler);
  return previous;
}

struct ViolationCapture::State {
  mutable std::mutex lock;
  std::vector<Violation> violations;
};

ViolationCapture::ViolationCapture() : state(new State) {
  previous = Verifier::setHandler([s = state](const Violation& violation) {
    std::lock_guard lock(s->lock);
    s->violations.push_back(violation);
  });
}

ViolationCapture::~ViolationCapture() {
  Verifier::setHandler(std::move(previous));
  delete state;
}

std::vector<Violation> ViolationCapture::violations() const {
  std::lock_guard lock(state->lock);
  return state->violations;
}

bool ViolationCapture::caught(Rule rule) const {
  std::lock_guard lock(state->lock);
  for (const auto& violation : state->violations) {
    if (violation.rule == rule) return true;
  }
  return false;
}

}  // namespace kernel
