// The per-block service: one tick per block interrupt, at dispatch level with
// streamLock held, and the sample operations it uses.
#pragma once

#include "CardContext.h"

// Moves one block in each direction when a block of credit is there.
VOID ServiceTick();

// Each sample s becomes s * recordVolume / 100, limited to the format's range.
VOID ApplyRecordGain(AudioBlock& block);
// Adds the block's input level to the history while ducking is on.
VOID MeasureInputLevel(const AudioBlock& block);
// While ducking is on, scales playback down by the average input level of
// the history.
VOID DuckBlock(AudioBlock& block);
// destination = a + b, sample by sample, saturating (16-bit at +-32,700).
VOID Mix(AudioBlock& destination, const AudioBlock& a, const AudioBlock& b);
// The fused forms the tick uses, one pass each:
// destination = source with the record gain (source: blockBytes in the capture ring).
VOID CopyGained(AudioBlock& destination, const UCHAR* source);
// destination = source ducked (a copy while ducking is off); length:
// blockBytes (whole groups of samples).
VOID CopyDucked(AudioBlock& destination, const UCHAR* source, ULONG length);
// The normal routing with the client and the render stream running, in one
// pass: REC = MIX + IN (loopback, before MIX changes), SYS = ducked render,
// MIX = LLP + SYS, OUT = MIX + IN (monitor). render: blockBytes in one piece.
VOID NormalClientRenderBlocks(const UCHAR* render, const AudioBlock& llp, bool loopback,
                              bool monitor);
// SYS = ducked render, REC = LLP + SYS, in one pass.
VOID ClientRenderMixBlocks(const UCHAR* render, const AudioBlock& llp);
// Empties the input-level history (driver load).
VOID ClearInputLevelHistory();
