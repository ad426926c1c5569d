// The "Wave" subdevice's miniport: the render and capture streams, the four
// DMA buffers (two stream buffers, the card's two rings) and the engine's teardown.
#pragma once

#include "ICardCommon.h"

inline constexpr ULONG kRenderIndex = 0;
inline constexpr ULONG kCaptureIndex = 1;

class WaveStream;

class WaveMiniport final : public IMiniportWaveCyclic, public IWaveNotify, public CUnknown {
 public:
  DEFINE_STD_CONSTRUCTOR(WaveMiniport)
  ~WaveMiniport() override;
  DECLARE_STD_UNKNOWN()

  // The miniport behind the target of a property request.
  static WaveMiniport* FromTarget(PUNKNOWN target);

  // IMiniport / IMiniportWaveCyclic; passive level.
  STDMETHODIMP GetDescription(PPCFILTER_DESCRIPTOR* description) override;
  STDMETHODIMP DataRangeIntersection(ULONG pinId, PKSDATARANGE dataRange,
                                     PKSDATARANGE matchingDataRange, ULONG outputBufferLength,
                                     PVOID resultantFormat,
                                     PULONG resultantFormatLength) override;
  STDMETHODIMP Init(PUNKNOWN unknownAdapter, PRESOURCELIST resourceList,
                    PPORTWAVECYCLIC port) override;
  STDMETHODIMP NewStream(PMINIPORTWAVECYCLICSTREAM* stream, PUNKNOWN outerUnknown,
                         POOL_TYPE poolType, ULONG pin, BOOLEAN capture,
                         PKSDATAFORMAT dataFormat, PDMACHANNEL* dmaChannel,
                         PSERVICEGROUP* serviceGroup) override;

  // IWaveNotify. NotifyStream runs in the service tick (streamLock held).
  STDMETHODIMP_(void) NotifyStream(ULONG index) override;
  STDMETHODIMP_(void) RestoreStreamStates() override;
  STDMETHODIMP_(void) PowerDown() override;

  // STATUS_SUCCESS when the format is stereo PCM in the card's rate and depth.
  static NTSTATUS ValidateFormat(PKSDATAFORMAT dataFormat, ULONG pin);

  ULONG ChannelConfiguration() const { return channelConfiguration; }
  PKMUTEX FormatLock() { return &formatLock; }
  // A stream's end: its index is free again.
  VOID StreamClosed(ULONG index);

 private:
  NTSTATUS CreateDmaChannel(PDMACHANNEL* channel);

  HardwareBlock* hardwareBlock = nullptr;
  PPORTWAVECYCLIC port = nullptr;
  PDMACHANNEL streamDmaChannels[2] = {};  // render, capture: the streams' cyclic buffers
  PDMACHANNEL ringDmaChannels[2] = {};    // the card's playback and capture rings
  ULONG notificationInterval = 0;
  ULONG channelConfiguration = 0;
  // Guarded by streamLock, so the service tick sees a stream whole or not at all.
  WaveStream* streams[2] = {};
  UCHAR streamAllocated[2] = {};
  KMUTEX formatLock;  // held while a stream's format fields change
  PCARDCOMMON cardCommon = nullptr;

  friend class WaveStream;
};

NTSTATUS CreateWaveMiniport(PUNKNOWN* unknown, REFCLSID classId, PUNKNOWN outerUnknown,
                            POOL_TYPE poolType);
