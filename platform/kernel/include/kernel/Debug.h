// Debug output of the driver.
#pragma once

#include "kernel/Types.h"

ULONG DbgPrint(PCSTR format, ...) __attribute__((format(printf, 1, 2)));
