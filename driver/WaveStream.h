// A render or capture stream of the wave filter. Its samples are moved by the
// service tick; the stream itself only switches the tick's running flags.
#pragma once

#include "WaveMiniport.h"

class WaveStream final : public IMiniportWaveCyclicStream, public IDrmAudioStream,
                         public CUnknown {
 public:
  DEFINE_STD_CONSTRUCTOR(WaveStream)
  ~WaveStream() override;
  DECLARE_STD_UNKNOWN()

  NTSTATUS Init(WaveMiniport* miniport, ULONG index, BOOLEAN capture, PDMACHANNEL dmaChannel,
                PKSDATAFORMAT dataFormat);

  // IMiniportWaveCyclicStream; passive level.
  STDMETHODIMP SetFormat(PKSDATAFORMAT dataFormat) override;
  STDMETHODIMP_(ULONG) SetNotificationFreq(ULONG interval, PULONG framingSize) override;
  STDMETHODIMP SetState(KSSTATE state) override;
  STDMETHODIMP GetPosition(PULONG position) override;
  STDMETHODIMP NormalizePhysicalPosition(PLONGLONG physicalPosition) override;
  STDMETHODIMP_(void) Silence(PVOID buffer, ULONG byteCount) override;

  // IDrmAudioStream.
  STDMETHODIMP SetContentId(ULONG contentId, struct DRMRIGHTS* drmRights) override;

  PSERVICEGROUP ServiceGroup() const { return serviceGroup; }
  KSSTATE State() const { return state; }
  // The miniport published the stream for the service tick.
  VOID Published() { streamPublished = true; }

 private:
  WaveMiniport* miniport = nullptr;  // referenced
  PDMACHANNEL dmaChannel = nullptr;  // referenced
  PSERVICEGROUP serviceGroup = nullptr;
  UCHAR capture = 0;
  ULONG index = 0;
  KSSTATE state = KSSTATE_STOP;
  UCHAR isRender = 0;
  ULONG notificationFrames = 0;
  ULONG channels = 0;
  ULONG sampleRate = 0;
  ULONG bitsPerSample = 0;
  ULONG framingBytes = 0;
  UCHAR pausedFromRun = 0;
  bool streamPublished = false;
};
