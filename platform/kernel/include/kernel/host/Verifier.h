// The verifier: the rules a real kernel punishes with a bug check. Every
// operation of the stand-in kernel reports a broken rule here; by default a
// violation prints the rule and the place and aborts the process, and a test
// harness replaces that with a test failure.
#pragma once

#include <functional>
#include "kernel/SourcePlace.h"
#include <string>
#include <vector>

namespace kernel {

enum class Rule {
  WaitAtRaisedIrql,        // waiting on a mutex, event or thread above passive level
  DelayAtRaisedIrql,       // KeDelayExecutionThread above passive level
  PagedPoolAtRaisedIrql,   // paged pool allocated or freed above passive level
  PagedCodeAtRaisedIrql,   // pageable code entered above passive level
  RegistryAtRaisedIrql,    // registry operation above passive level
  MutexUnderSpinLock,      // a sleeping mutex taken while a spin lock is held
  IrqlMismatch,            // IRQL lowered to a higher level, or not restored
  SpinLockMisuse,          // releasing a spin lock that is not held
  MutexMisuse,             // releasing a mutex the thread does not own
  PoolWrongTag,            // freeing with another tag than the allocation's
  PoolBadFree,             // double free, or freeing memory the pool never gave
  PoolLeak,                // pool still allocated when the driver unloads
  RegisterOutsideWindow,   // register access outside every mapped window
  MdlMisuse,               // unlocking an unlocked MDL, freeing a locked one
  IrpMisuse,               // completing a request twice or with a cancel routine set
  ObjectMisuse,            // bad reference count or an unknown object
  RemoveLockMisuse,        // releasing more than acquired
  ThreadLeak,              // a system thread still running at shutdown
  ApiMisuse,               // any other call the kernel would not accept
};

// The rule's name as reports print it.
const char* ruleName(Rule rule);

struct Violation {
  Rule rule;
  std::string detail;
  ::kernel::SourcePlace where;

  std::string describe() const;  // "verifier: <rule>: <detail> at file:line"
};

class Verifier {
 public:
  using Handler = std::function<void(const Violation&)>;

  // Reports a violation to the current handler (any thread).
  static void report(Rule rule, std::string detail,
                     ::kernel::SourcePlace where = ::kernel::SourcePlace::current());

  // Replaces the handler; returns the previous one. A null handler restores
  // the default (print and abort).
  static Handler setHandler(Handler handler);
};

// Collects the violations reported while it lives instead of passing them on:
// how a test shows that a snippet breaks a rule.
class ViolationCapture {
 public:
  ViolationCapture();
  ~ViolationCapture();
  ViolationCapture(const ViolationCapture&) = delete;
  ViolationCapture& operator=(const ViolationCapture&) = delete;

  std::vector<Violation> violations() const;
  bool caught(Rule rule) const;

 private:
  struct State;
  State* state;
  Verifier::Handler previous;
};

}  // namespace kernel
