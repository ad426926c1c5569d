// Delays and the performance counter, on the kernel's current clock (real or
// virtual).
#pragma once

#include "kernel/SourcePlace.h"

#include "kernel/Types.h"

// A negative interval is relative, in 100-ns units; a positive one is an
// absolute time on the same clock.
NTSTATUS KeDelayExecutionThread(KPROCESSOR_MODE waitMode, BOOLEAN alertable,
                                PLARGE_INTEGER interval,
                                ::kernel::SourcePlace where = ::kernel::SourcePlace::current());
LARGE_INTEGER KeQueryPerformanceCounter(PLARGE_INTEGER performanceFrequency);
VOID KeQuerySystemTime(PLARGE_INTEGER currentTime);
