// The arithmetic of the two hardware rings. Service DPC only (streamLock held).
#pragma once

#include "Kernel.h"

// Copies one block into the playback ring and announces it, first moving the
// writer back to two or three blocks ahead of the card if it drifted.
VOID WritePlayBlock(const UCHAR* source, ULONG length);
// Bytes the card has written and the driver not read; resynchronises the
// reader to one block behind the card when that is under one or over four blocks.
LONG CaptureAvailable();
// Copies the next capture block into inBlock, with the record gain and the
// level meter applied.
VOID ReadCaptureBlock();
