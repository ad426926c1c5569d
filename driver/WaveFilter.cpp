#include "WaveFilter.h"

#include "WaveMiniport.h"

namespace {

KSDATARANGE_AUDIO AudioRange(const GUID& subFormat, const GUID& specifier, ULONG minimumBits,
                             ULONG maximumBits, ULONG minimumRate, ULONG maximumRate) {
  return {{sizeof(KSDATARANGE_AUDIO), 0, 0, 0, KSDATAFORMAT_TYPE_AUDIO, subFormat, specifier},
          2, minimumBits, maximumBits, minimumRate, maximumRate};
}

// WAVE_FORMAT_DOLBY_AC3_SPDIF (0x0092) and WAVE_FORMAT_WMASPDIF (0x0164) as subformats.
const KSDATARANGE_AUDIO PcmRange = AudioRange(KSDATAFORMAT_SUBTYPE_PCM,
                                              KSDATAFORMAT_SPECIFIER_WAVEFORMATEX, 16, 32, 44100,
                                              192000);
const KSDATARANGE_AUDIO DigitalRanges[] = {
    AudioRange(KSDATAFORMAT_SUBTYPE_DOLBY_AC3_SPDIF, KSDATAFORMAT_SPECIFIER_WAVEFORMATEX, 16, 24,
               44100, 96000),
    AudioRange(KSDATAFORMAT_SUBTYPE_DOLBY_AC3_SPDIF, KSDATAFORMAT_SPECIFIER_DSOUND, 16, 24, 44100,
               96000),
    AudioRange(KSDATAFORMAT_SUBTYPE_WMA_SPDIF, KSDATAFORMAT_SPECIFIER_WAVEFORMATEX, 16, 24, 44100,
               44100),
    AudioRange(KSDATAFORMAT_SUBTYPE_WMA_SPDIF, KSDATAFORMAT_SPECIFIER_WAVEFORMATEX, 16, 24, 96000,
               96000),
};
const KSDATARANGE AnalogBridgeRange = {sizeof(KSDATARANGE), 0, 0, 0, KSDATAFORMAT_TYPE_AUDIO,
                                       KSDATAFORMAT_SUBTYPE_ANALOG, KSDATAFORMAT_SPECIFIER_NONE};
const KSDATARANGE Ac3BridgeRange = {sizeof(KSDATARANGE), 0, 0, 0, KSDATAFORMAT_TYPE_AUDIO,
                                    KSDATAFORMAT_SUBTYPE_AC3_AUDIO, KSDATAFORMAT_SPECIFIER_NONE};

const PKSDATARANGE PcmRanges[] = {
    const_cast<PKSDATARANGE>(&PcmRange.DataRange)};
const PKSDATARANGE AnalogBridgeRanges[] = {const_cast<PKSDATARANGE>(&AnalogBridgeRange)};
const PKSDATARANGE DigitalRangeList[] = {
    const_cast<PKSDATARANGE>(&DigitalRanges[0].DataRange),
    const_cast<PKSDATARANGE>(&DigitalRanges[1].DataRange),
    const_cast<PKSDATARANGE>(&DigitalRanges[2].DataRange),
    const_cast<PKSDATARANGE>(&DigitalRanges[3].DataRange)};
const PKSDATARANGE Ac3BridgeRanges[] = {const_cast<PKSDATARANGE>(&Ac3BridgeRange)};

constexpr ULONG kAccessGetSetBasic =
    KSPROPERTY_TYPE_GET | KSPROPERTY_TYPE_SET | KSPROPERTY_TYPE_BASICSUPPORT;

KSPIN_DESCRIPTOR PinOf(const PKSDATARANGE* ranges, ULONG rangeCount, KSPIN_DATAFLOW flow,
                       KSPIN_COMMUNICATION communication, const GUID* category,
                       const GUID* name) {
  return {0, nullptr, 0, nullptr, rangeCount, ranges, flow, communication, category, name, 0};
}

const PCPIN_DESCRIPTOR WavePins[] = {
    {1, 1, 0, nullptr,
     PinOf(PcmRanges, 1, KSPIN_DATAFLOW_OUT, KSPIN_COMMUNICATION_SINK, &KSCATEGORY_AUDIO,
           &KSAUDFNAME_RECORDING_CONTROL)},
    {0, 0, 0, nullptr,
     PinOf(AnalogBridgeRanges, 1, KSPIN_DATAFLOW_IN, KSPIN_COMMUNICATION_NONE, &KSCATEGORY_AUDIO,
           nullptr)},
    {1, 1, 0, nullptr,
     PinOf(PcmRanges, 1, KSPIN_DATAFLOW_IN, KSPIN_COMMUNICATION_SINK, &KSCATEGORY_AUDIO,
           &KSAUDFNAME_VOLUME_CONTROL)},
    {0, 0, 0, nullptr,
     PinOf(AnalogBridgeRanges, 1, KSPIN_DATAFLOW_OUT, KSPIN_COMMUNICATION_NONE,
           &KSNODETYPE_SPEAKER, nullptr)},
    {1, 1, 0, nullptr,
     PinOf(DigitalRangeList, 4, KSPIN_DATAFLOW_IN, KSPIN_COMMUNICATION_SINK, &KSCATEGORY_AUDIO,
           nullptr)},
    {0, 0, 0, nullptr,
     PinOf(Ac3BridgeRanges, 1, KSPIN_DATAFLOW_OUT, KSPIN_COMMUNICATION_NONE,
           &KSNODETYPE_SPDIF_INTERFACE, nullptr)},
};

const PCPROPERTY_ITEM DacProperties[] = {
    {&KSPROPSETID_Audio, KSPROPERTY_AUDIO_CHANNEL_CONFIG,
     KSPROPERTY_TYPE_GET | KSPROPERTY_TYPE_SET | KSPROPERTY_TYPE_BASICSUPPORT,
     PropertyChannelConfig},
};
DEFINE_PCAUTOMATION_TABLE_PROP(DacAutomation, DacProperties);

const PCNODE_DESCRIPTOR WaveNodes[] = {
    {0, nullptr, &KSNODETYPE_ADC, nullptr},
    {0, nullptr, &KSNODETYPE_VOLUME, nullptr},
    {0, nullptr, &KSNODETYPE_3D_EFFECTS, nullptr},
    {0, nullptr, &KSNODETYPE_SUPERMIX, nullptr},
    {0, nullptr, &KSNODETYPE_VOLUME, nullptr},
    {0, nullptr, &KSNODETYPE_SRC, nullptr},
    {0, nullptr, &KSNODETYPE_SUM, nullptr},
    {0, &DacAutomation, &KSNODETYPE_DAC, nullptr},
    {0, nullptr, &KSNODETYPE_SPDIF_INTERFACE, nullptr},
};

const PCCONNECTION_DESCRIPTOR WaveConnections[] = {
    {PCFILTER_NODE, kWavePinCaptureBridge, 0, 1},
    {0, 0, PCFILTER_NODE, kWavePinCapture},
    {PCFILTER_NODE, kWavePinRender, kWaveNodeDac, 1},
    {kWaveNodeDac, 0, PCFILTER_NODE, kWavePinRenderBridge},
};

}  // namespace

const PCFILTER_DESCRIPTOR WaveFilterDescriptor = {
    0,
    nullptr,
    sizeof(PCPIN_DESCRIPTOR),
    RTL_NUMBER_OF(WavePins),
    WavePins,
    sizeof(PCNODE_DESCRIPTOR),
    RTL_NUMBER_OF(WaveNodes),
    WaveNodes,
    RTL_NUMBER_OF(WaveConnections),
    WaveConnections,
    0,
    nullptr,
};

NTSTATUS PropertyChannelConfig(PPCPROPERTY_REQUEST request) {
  PAGED_CODE();
  if (request->ValueSize == 0) {
    request->ValueSize = sizeof(LONG);
    return STATUS_BUFFER_OVERFLOW;
  }
  if (request->ValueSize < sizeof(LONG) || !request->Value) {
    request->ValueSize = 0;
    return STATUS_BUFFER_TOO_SMALL;
  }
  WaveMiniport* miniport = WaveMiniport::FromTarget(request->MajorTarget);
  LONG value = 0;
  switch (request->Verb) {
    case KSPROPERTY_TYPE_GET:
      value = static_cast<LONG>(miniport->ChannelConfiguration());
      std::memcpy(request->Value, &value, sizeof value);
      request->ValueSize = sizeof value;
      return STATUS_SUCCESS;
    case KSPROPERTY_TYPE_SET:
      std::memcpy(&value, request->Value, sizeof value);
      return value == KSAUDIO_SPEAKER_STEREO ? STATUS_SUCCESS : STATUS_INVALID_PARAMETER;
    case KSPROPERTY_TYPE_BASICSUPPORT: {
      const ULONG access = kAccessGetSetBasic;
      std::memcpy(request->Value, &access, sizeof access);
      request->ValueSize = sizeof access;
      return STATUS_SUCCESS;
    }
    default:
      return STATUS_INVALID_PARAMETER;
  }
}
