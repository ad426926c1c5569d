// The machine a card-client test talks to, kept apart from the Windows
// declarations (the kernel's and Windows' names would clash in one file).
#pragma once

// Makes this process's Windows calls reach a fresh embedded machine, with or
// without the card.
void startCardMachine(bool withCard);
// Unloads it; true when the driver left nothing behind.
bool stopCardMachine();
