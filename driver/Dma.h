// Programming, starting and stopping the card's two DMA channels. All take
// registerLock: passive level only, never under streamLock.
#pragma once

#include "Kernel.h"

VOID ProgramPlaybackDma();
VOID ProgramCaptureDma();
VOID StopPlaybackDma();
VOID StopCaptureDma();
// Clears both rings and programs both channels; the driver starts writing two
// blocks ahead of the card, so the first two blocks played are silence.
VOID RestartDma();
