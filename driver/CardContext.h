// The driver-wide state: one record per driver load, shared by every part of
// the driver. Locks are named where their fields are.
#pragma once

#include "Kernel.h"

class CardCommon;
class WaveMiniport;

// The largest block: 24-bit samples, 512 frames, two channels.
inline constexpr ULONG kMaxBlockBytes = 3072;
// Size of each stream's cyclic buffer and of each of the card's rings.
inline constexpr ULONG kStreamBufferBytes = 0x18000;
inline constexpr ULONG kHardwareRingBytes = 0x18000;

inline constexpr ULONG kDefaultSampleRate = 44100;
inline constexpr ULONG kDefaultBitDepth = 16;
inline constexpr ULONG kDefaultBufferFrames = 256;
inline constexpr LONG kDefaultRecordVolume = 100;
inline constexpr LONG kDefaultDuckingSensitivity = 5;

// Pool tags, as they read in memory: "PcCr", "aang", "aicp".
inline constexpr ULONG kTagAdapter = 0x72436350;
inline constexpr ULONG kTagStream = 0x676E6161;
inline constexpr ULONG kTagRemoveLock = 0x70636961;

inline ULONG BlockBytesFor(ULONG bitDepth, ULONG bufferFrames) {
  return bitDepth / 8 * bufferFrames * 2;
}

// A preallocated audio block; length always equals blockBytes.
struct AudioBlock {
  PUCHAR data;
  ULONG length;
};

struct CardContext {
  CardCommon* cardCommon;
  // Set once by StartEngine (passive level, no lock: its callers serialise).
  LONG engineStarted;
  UNICODE_STRING registryPath;  // paged pool, freed at unload

  LONG duckingEnabled;
  LONG duckingSensitivity;
  ULONG duckingReserved[2];

  // ---- Streams: guarded by streamLock -------------------------------------------
  PUCHAR renderBuffer;
  PUCHAR captureBuffer;
  ULONG streamBufferSize;
  ULONG renderPosition;
  ULONG renderNotifyBytes;
  ULONG capturePosition;
  ULONG captureNotifyBytes;
  AudioBlock sysBlock;
  LONG renderReadOffset;
  UCHAR renderRunning;
  UCHAR captureRunning;
  UCHAR renderPrimed;

  // ---- Low-latency client (buffer addresses under the client's buffer lock) ---
  PUCHAR clientPlay[2][2];  // [channel][half]
  AudioBlock llPlayBlock[2];
  // Written by the buffer-done request without streamLock: interlocked.
  volatile LONG llHalf;
  // Raised by the interrupt routine, lowered by the service DPC: only
  // interlocked operations touch it.
  volatile LONG interruptCredit;
  ULONG llEventIndex;
  PUCHAR clientCapture[2][2];
  AudioBlock llCaptureBlock[2];
  UCHAR llRunning;
  AudioBlock mixBlock;

  // ---- Hardware rings: the service DPC only, after programming -----------------
  PHYSICAL_ADDRESS playRingPhysical;
  PHYSICAL_ADDRESS captureRingPhysical;
  PUCHAR playRing;
  PUCHAR captureRing;
  LONG playFillPos;
  LONG playHwPos;
  LONG captureHwPos;
  LONG captureReadPos;
  ULONG hwRingSize;
  AudioBlock inBlock;

  // ---- Card format and switches: changed under streamLock; the tick reads them
  // with it held, the interrupt routine reads blockBytes alone ---------------------
  LONG routingMode;
  ULONG sampleRate;
  ULONG bitDepth;
  ULONG bufferFrames;
  ULONG blockBytes;

  WaveMiniport* waveMiniport;
  PUCHAR registers;
  PUCHAR auxRegisters;
  // Serialises the DMA programming and stopping sequences; passive level only,
  // never taken while streamLock is held.
  KMUTEX registerLock;
  PKTHREAD saverThread;
  volatile LONG saverStop;  // set once at unload, read by the settings thread
  // The wave miniport has its DMA buffers; the service tick does nothing without.
  UCHAR engineReady;
  LONG monitorEnabled;
  LONG loopbackEnabled;
  AudioBlock recBlock;
  AudioBlock outBlock;
  PDEVICE_OBJECT deviceObject;
  // Guards the stream flags and the whole service tick; taken at dispatch level.
  KSPIN_LOCK streamLock;
  LONG recordVolume;
  ULONG mixerRecord[2];  // the controller's record 0x20 as two little-endian words
};

extern CardContext cardContext;

// Runs change(cardContext) with streamLock held: between two service ticks.
template <typename Change>
VOID UnderStreamLock(Change change) {
  KIRQL old;
  KeAcquireSpinLock(&cardContext.streamLock, &old);
  change(cardContext);
  KeReleaseSpinLock(&cardContext.streamLock, old);
}

// Allocates the nine blocks, cleared; false (with none kept) if any allocation fails.
bool AllocateCardBlocks();
// Frees the blocks that exist; safe to call twice.
VOID FreeCardBlocks();
// Every block length follows blockBytes after a format change.
VOID SetBlockLengths();
