// Changing the card's sample format while it is idle.
#pragma once

#include "Kernel.h"

// Result codes: 0 applied, 1 busy (a stream, the client or a claim), 2
// unchanged, 3 invalid values. Passive level.
ULONG ChangeCardFormat(ULONG bits, ULONG rate, ULONG frames);
