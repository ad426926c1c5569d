// One tick per block interrupt: the capture part decides what the recording
// side receives, the playback part what the card plays. Both routings follow
// their tables row by row. Dispatch level, streamLock held.
#include "BlockService.h"
#include "LowLatency.h"
#include "Rings.h"
#include "WaveMiniport.h"

namespace {

struct Tick {
  CardContext& card;
  ULONG block;
  ULONG unit;  // bytes of 10 ms of stereo audio: one notification
  ULONG half;  // the client's half this tick plays and fills (one read of llHalf)
  bool R, C, L, M, P;
  AudioBlock& IN;
  AudioBlock& SYS;
  AudioBlock& MIX;
  AudioBlock& REC;
  AudioBlock& OUT;
  AudioBlock& LLP;
};

VOID Notify(ULONG index) {
  if (cardContext.waveMiniport) cardContext.waveMiniport->NotifyStream(index);
}

VOID Zero(AudioBlock& block, ULONG length) { RtlZeroMemory(block.data, length); }

VOID FetchInput(Tick& t) {
  if (CaptureAvailable() >= static_cast<LONG>(t.block)) {
    ReadCaptureBlock();
  } else {
    Zero(t.IN, t.block);
  }
}

// The render block lies in one piece of the cyclic buffer (the usual case).
const UCHAR* ContiguousRender(Tick& t) {
  const auto offset = static_cast<ULONG>(t.card.renderReadOffset);
  return offset + t.block <= t.card.streamBufferSize ? t.card.renderBuffer + offset : nullptr;
}

// What taking a render block does besides the samples.
VOID AdvanceRender(Tick& t) {
  auto& card = t.card;
  card.renderReadOffset =
      static_cast<LONG>((static_cast<ULONG>(card.renderReadOffset) + t.block) %
                        card.streamBufferSize);
  card.renderPrimed = 1;
}

VOID TakeRenderBlock(Tick& t) {
  auto& card = t.card;
  const ULONG offset = static_cast<ULONG>(card.renderReadOffset);
  if (offset + t.block <= card.streamBufferSize) {
    // The usual case: one piece, copied and ducked in one pass.
    CopyDucked(t.SYS, card.renderBuffer + offset, t.block);
  } else {
    const ULONG first = card.streamBufferSize - offset;
    RtlCopyMemory(t.SYS.data, card.renderBuffer + offset, first);
    RtlCopyMemory(t.SYS.data + first, card.renderBuffer, t.block - first);
    DuckBlock(t.SYS);
  }
  AdvanceRender(t);
}

VOID CopyToCapture(Tick& t, const AudioBlock& source) {
  auto& card = t.card;
  const ULONG position = card.capturePosition;
  const ULONG first = position + t.block <= card.streamBufferSize
                          ? t.block
                          : card.streamBufferSize - position;
  RtlCopyMemory(card.captureBuffer + position, source.data, first);
  RtlCopyMemory(card.captureBuffer, source.data + first, t.block - first);
}

// A stream's position moves one block; a notification for each 10 ms passed.
VOID AdvanceStream(Tick& t, ULONG& position, ULONG& notifyBytes, ULONG index) {
  position = (position + t.block) % t.card.streamBufferSize;
  notifyBytes += t.block;
  while (notifyBytes >= t.unit) {
    Notify(index);
    notifyBytes -= t.unit;
  }
}

VOID AdvanceCapture(Tick& t) {
  AdvanceStream(t, t.card.capturePosition, t.card.captureNotifyBytes, kCaptureIndex);
}

VOID DeliverCapture(Tick& t, const AudioBlock& source) {
  CopyToCapture(t, source);
  AdvanceCapture(t);
}

VOID FeedClient(Tick& t, const AudioBlock& source) {
  RtlCopyMemory(t.card.llCaptureBlock[t.half].data, source.data, t.block);
  DeinterleaveCaptureHalf(t.half);
}

// ---- Normal routing ----------------------------------------------------------------

// The normal rows with the client and the render stream running, the
// capture part's mix and the playback part's in one pass over the samples;
// what each part delivers and plays is as the table says.
const AudioBlock* NormalClientRenderFused(Tick& t) {
  const UCHAR* render = ContiguousRender(t);
  if (!render) return nullptr;
  FetchInput(t);
  NormalClientRenderBlocks(render, t.LLP, t.P, t.M);
  AdvanceRender(t);
  const AudioBlock& rec = t.P ? t.REC : t.IN;
  if (t.C) DeliverCapture(t, rec);
  FeedClient(t, rec);
  return t.M ? &t.OUT : &t.MIX;
}

VOID NormalCapture(Tick& t) {
  FetchInput(t);
  // MIX and SYS still hold the previous tick's blocks here.
  const AudioBlock* rec = &t.IN;
  if (t.P && t.L && t.R) {
    Mix(t.REC, t.MIX, t.IN);
    rec = &t.REC;
  } else if (t.P && t.L) {
    Mix(t.REC, t.LLP, t.IN);
    rec = &t.REC;
  } else if (t.P && t.R) {
    Mix(t.REC, t.SYS, t.IN);
    rec = &t.REC;
  }
  if (t.C) DeliverCapture(t, *rec);
  if (t.L) FeedClient(t, *rec);
}

const AudioBlock& NormalPlayback(Tick& t) {
  if (t.L && t.R) {
    TakeRenderBlock(t);
    if (!t.M) {
      Mix(t.MIX, t.LLP, t.SYS);
      return t.MIX;
    }
    Mix(t.MIX, t.LLP, t.SYS);
    Mix(t.OUT, t.MIX, t.IN);
    return t.OUT;
  }
  if (t.L) {
    if (!t.M) return t.LLP;
    Mix(t.OUT, t.LLP, t.IN);
    return t.OUT;
  }
  if (t.R) {
    TakeRenderBlock(t);
    if (!t.M) return t.SYS;
    Mix(t.OUT, t.SYS, t.IN);
    return t.OUT;
  }
  if (t.M) return t.IN;
  Zero(t.MIX, t.block);
  return t.MIX;
}

// ---- Effects routing: the client sits between the input and the recording --------

// TakeRenderBlock, then REC = LLP + SYS: one pass when the block is in one piece.
VOID TakeAndMixClient(Tick& t) {
  if (const UCHAR* render = ContiguousRender(t)) {
    ClientRenderMixBlocks(render, t.LLP);
    AdvanceRender(t);
  } else {
    TakeRenderBlock(t);
    Mix(t.REC, t.LLP, t.SYS);
  }
}

VOID EffectsCapture(Tick& t) {
  FetchInput(t);
  if (t.L) {
    FeedClient(t, t.IN);  // the capture stream is served by the playback part
  } else if (t.C) {
    if (t.P && t.R) {
      Mix(t.REC, t.SYS, t.IN);
      DeliverCapture(t, t.REC);
    } else {
      DeliverCapture(t, t.IN);
    }
  }
}

// Returns the block to play; sets advanceCaptureAfterPlay for the rows whose
// capture position moves once the block is in the playback ring.
const AudioBlock& EffectsPlayback(Tick& t, bool* advanceCaptureAfterPlay) {
  if (t.L && t.C) {
    *advanceCaptureAfterPlay = true;
    if ((t.P || t.M) && t.R) {
      TakeAndMixClient(t);
      CopyToCapture(t, t.P ? t.REC : t.LLP);
      return t.M ? t.REC : t.SYS;
    }
    if (t.R) {
      CopyToCapture(t, t.LLP);
      TakeRenderBlock(t);
      return t.SYS;
    }
    CopyToCapture(t, t.LLP);
    if (t.M) return t.LLP;
    Zero(t.OUT, t.block);
    return t.OUT;
  }
  if (t.L) {
    if (t.M && t.R) {
      TakeAndMixClient(t);
      return t.REC;
    }
    if (t.M) return t.LLP;
    if (t.R) {
      TakeRenderBlock(t);
      return t.SYS;
    }
    Zero(t.OUT, t.block);
    return t.OUT;
  }
  if (t.R) {
    TakeRenderBlock(t);
    if (!t.M) return t.SYS;
    Mix(t.OUT, t.IN, t.SYS);
    return t.OUT;
  }
  if (t.M) return t.IN;
  Zero(t.OUT, t.block);
  return t.OUT;
}

}  // namespace

VOID ServiceTick() {
  auto& card = cardContext;
  const LONG block = static_cast<LONG>(card.blockBytes);
  if (ReadLongAcquire(&card.interruptCredit) < block) return;

  const ULONG half = static_cast<ULONG>(ReadLongAcquire(&card.llHalf)) & 1;
  Tick t{card,
         card.blockBytes,
         card.bitDepth / 8 * card.sampleRate * 2 / 100,
         half,
         card.renderRunning != 0,
         card.captureRunning != 0,
         card.llRunning != 0,
         card.monitorEnabled != 0,
         card.loopbackEnabled != 0,
         card.inBlock,
         card.sysBlock,
         card.mixBlock,
         card.recBlock,
         card.outBlock,
         card.llPlayBlock[half]};

  if (t.R && card.renderPrimed) {
    AdvanceStream(t, card.renderPosition, card.renderNotifyBytes, kRenderIndex);
  }

  if (card.routingMode == 0) {
    const AudioBlock* played = t.L && t.R ? NormalClientRenderFused(t) : nullptr;
    if (!played) {
      NormalCapture(t);
      played = &NormalPlayback(t);
    }
    WritePlayBlock(played->data, t.block);
  } else {
    EffectsCapture(t);
    bool advanceCaptureAfterPlay = false;
    const AudioBlock& played = EffectsPlayback(t, &advanceCaptureAfterPlay);
    WritePlayBlock(played.data, t.block);
    if (advanceCaptureAfterPlay) AdvanceCapture(t);
  }

  if (t.L) SignalClient();
  // One tick serves one block; credit piled up while the DPC was late is not
  // caught up.
  InterlockedExchangeAdd(&card.interruptCredit, -block);
}
