#include "TopologyFilter.h"

#include "TopologyProperties.h"

namespace {

// The card's own names: one family of identifiers that differ in the last byte.
constexpr GUID cardName(UCHAR last) {
  return {0x2B81CDBB, 0xEE6C, 0x4ECC, {0x8A, 0xA5, 0x9A, 0x18, 0x8B, 0x02, 0x3D, last}};
}

constexpr GUID kCardNameF0 = cardName(0xF0);
constexpr GUID kCardNameF1 = cardName(0xF1);
constexpr GUID kCardNameF2 = cardName(0xF2);
constexpr GUID kCardNameF3 = cardName(0xF3);
constexpr GUID kCardNameF4 = cardName(0xF4);
constexpr GUID kCardNameF5 = cardName(0xF5);
constexpr GUID kCardNameF6 = cardName(0xF6);
constexpr GUID kCardNameF7 = cardName(0xF7);
constexpr GUID kCardNameF8 = cardName(0xF8);
constexpr GUID kCardNameF9 = cardName(0xF9);
constexpr GUID kCardNameFA = cardName(0xFA);
constexpr GUID kCardNameFB = cardName(0xFB);
constexpr GUID kCardNameFC = cardName(0xFC);
constexpr GUID kCardNameFD = cardName(0xFD);

const PCPROPERTY_ITEM kFilterProperties[] = {
    {&KSPROPSETID_General, KSPROPERTY_GENERAL_COMPONENTID,
     PCPROPERTY_ITEM_FLAG_GET | PCPROPERTY_ITEM_FLAG_BASICSUPPORT, handleComponentId},
    {&KSPROPSETID_CardPrivate, kCardPrivateGetId, PCPROPERTY_ITEM_FLAG_GET, handleCardPrivate},
    {&KSPROPSETID_CardPrivate, kCardPrivateSetId, PCPROPERTY_ITEM_FLAG_SET, handleCardPrivate},
};
DEFINE_PCAUTOMATION_TABLE_PROP(kFilterAutomation, kFilterProperties);

// The pin's range pointer type is not const; nothing writes through it.
const KSDATARANGE kAnalogRange = {.FormatSize = sizeof(KSDATARANGE),
                                  .Flags = 0,
                                  .SampleSize = 0,
                                  .Reserved = 0,
                                  .MajorFormat = KSDATAFORMAT_TYPE_AUDIO,
                                  .SubFormat = KSDATAFORMAT_SUBTYPE_ANALOG,
                                  .Specifier = KSDATAFORMAT_SPECIFIER_NONE};
const KSDATARANGE kAc3Range = {.FormatSize = sizeof(KSDATARANGE),
                               .Flags = 0,
                               .SampleSize = 0,
                               .Reserved = 0,
                               .MajorFormat = KSDATAFORMAT_TYPE_AUDIO,
                               .SubFormat = KSDATAFORMAT_SUBTYPE_AC3_AUDIO,
                               .Specifier = KSDATAFORMAT_SPECIFIER_NONE};
const PKSDATARANGE kAnalogRanges[] = {const_cast<PKSDATARANGE>(&kAnalogRange)};
const PKSDATARANGE kAc3Ranges[] = {const_cast<PKSDATARANGE>(&kAc3Range)};

constexpr PCPIN_DESCRIPTOR bridgePin(const PKSDATARANGE* ranges, KSPIN_DATAFLOW dataFlow,
                                     const GUID* category, const GUID* name = nullptr) {
  const KSPIN_DESCRIPTOR pin = {
      0, nullptr, 0, nullptr, 1, ranges, dataFlow, KSPIN_COMMUNICATION_NONE, category, name, 0};
  return {0, 0, 0, nullptr, pin};
}

const PCPIN_DESCRIPTOR kPins[] = {
    bridgePin(kAnalogRanges, KSPIN_DATAFLOW_IN, &KSCATEGORY_AUDIO),
    bridgePin(kAnalogRanges, KSPIN_DATAFLOW_IN, &KSNODETYPE_SPDIF_INTERFACE),
    bridgePin(kAnalogRanges, KSPIN_DATAFLOW_IN, &KSNODETYPE_MICROPHONE),
    bridgePin(kAnalogRanges, KSPIN_DATAFLOW_IN, &KSNODETYPE_CD_PLAYER),
    bridgePin(kAnalogRanges, KSPIN_DATAFLOW_IN, &KSNODETYPE_LINE_CONNECTOR),
    bridgePin(kAnalogRanges, KSPIN_DATAFLOW_IN, &KSNODETYPE_ANALOG_CONNECTOR),
    bridgePin(kAnalogRanges, KSPIN_DATAFLOW_IN, &KSNODETYPE_ANALOG_CONNECTOR, &kCardNameF4),
    bridgePin(kAnalogRanges, KSPIN_DATAFLOW_OUT, &KSNODETYPE_SPEAKER),
    bridgePin(kAnalogRanges, KSPIN_DATAFLOW_OUT, &KSCATEGORY_AUDIO),
    bridgePin(kAc3Ranges, KSPIN_DATAFLOW_IN, &KSCATEGORY_AUDIO),
    bridgePin(kAc3Ranges, KSPIN_DATAFLOW_OUT, nullptr),
};

const PCPROPERTY_ITEM kVolumeProperties[] = {
    {&KSPROPSETID_Audio, KSPROPERTY_AUDIO_VOLUMELEVEL,
     PCPROPERTY_ITEM_FLAG_GET | PCPROPERTY_ITEM_FLAG_SET | PCPROPERTY_ITEM_FLAG_BASICSUPPORT,
     handleVolumeLevel},
    {&KSPROPSETID_Audio, KSPROPERTY_AUDIO_CPU_RESOURCES,
     PCPROPERTY_ITEM_FLAG_GET | PCPROPERTY_ITEM_FLAG_BASICSUPPORT, handleCpuResources},
};
DEFINE_PCAUTOMATION_TABLE_PROP(kVolumeAutomation, kVolumeProperties);

const PCPROPERTY_ITEM kMuteProperties[] = {
    {&KSPROPSETID_Audio, KSPROPERTY_AUDIO_MUTE,
     PCPROPERTY_ITEM_FLAG_GET | PCPROPERTY_ITEM_FLAG_SET | PCPROPERTY_ITEM_FLAG_BASICSUPPORT,
     handleMute},
    {&KSPROPSETID_Audio, KSPROPERTY_AUDIO_CPU_RESOURCES,
     PCPROPERTY_ITEM_FLAG_GET | PCPROPERTY_ITEM_FLAG_BASICSUPPORT, handleCpuResources},
};
DEFINE_PCAUTOMATION_TABLE_PROP(kMuteAutomation, kMuteProperties);

constexpr PCNODE_DESCRIPTOR kNodes[] = {
    {0, nullptr, &KSNODETYPE_VOLUME, &KSAUDFNAME_WAVE_VOLUME},
    {0, nullptr, &KSNODETYPE_MUTE, &KSAUDFNAME_WAVE_MUTE},
    {0, nullptr, &KSNODETYPE_VOLUME, &KSAUDFNAME_MIC_VOLUME},
    {0, nullptr, &KSNODETYPE_SUM, nullptr},
    {0, &kVolumeAutomation, &KSNODETYPE_VOLUME, &KSAUDFNAME_MASTER_VOLUME},
    {0, nullptr, &KSNODETYPE_SUM, &KSAUDFNAME_RECORDING_SOURCE},
    {0, nullptr, &KSNODETYPE_VOLUME, &KSAUDFNAME_CD_VOLUME},
    {0, nullptr, &KSNODETYPE_VOLUME, &KSAUDFNAME_LINE_IN_VOLUME},
    {0, nullptr, &KSNODETYPE_VOLUME, &KSAUDFNAME_AUX_VOLUME},
    {0, &kVolumeAutomation, &KSNODETYPE_VOLUME, &KSAUDFNAME_MIC_IN_VOLUME},
    {0, nullptr, &KSNODETYPE_LOUDNESS, &KSAUDFNAME_ALTERNATE_MICROPHONE},
    {0, nullptr, &KSNODETYPE_LOUDNESS, &KSAUDFNAME_ALTERNATE_MICROPHONE},
    {0, nullptr, &KSNODETYPE_MUTE, &KSAUDFNAME_CD_MUTE},
    {0, nullptr, &KSNODETYPE_MUTE, &KSAUDFNAME_LINE_MUTE},
    {0, nullptr, &KSNODETYPE_MUTE, &KSAUDFNAME_MIC_MUTE},
    {0, nullptr, &KSNODETYPE_MUTE, &KSAUDFNAME_AUX_MUTE},
    {0, nullptr, &KSNODETYPE_MUTE, &KSAUDFNAME_LINE_MUTE},
    {0, nullptr, &KSNODETYPE_MUTE, &KSAUDFNAME_MIC_MUTE},
    {0, nullptr, &KSNODETYPE_MUTE, &KSAUDFNAME_CD_MUTE},
    {0, nullptr, &KSNODETYPE_MUTE, &KSAUDFNAME_AUX_MUTE},
    {0, nullptr, &KSNODETYPE_MUTE, &KSAUDFNAME_WAVE_MUTE},
    {0, nullptr, &KSNODETYPE_LOUDNESS, &kCardNameF0},
    {0, nullptr, &KSNODETYPE_LOUDNESS, &kCardNameF1},
    {0, nullptr, &KSNODETYPE_LOUDNESS, &kCardNameF2},
    {0, nullptr, &KSNODETYPE_LOUDNESS, &kCardNameF3},
    {0, nullptr, &KSNODETYPE_LOUDNESS, &kCardNameF5},
    {0, nullptr, &KSNODETYPE_MUTE, nullptr},
    {0, nullptr, &KSNODETYPE_MUX, nullptr},
    {0, nullptr, &KSNODETYPE_LOUDNESS, &kCardNameF6},
    {0, nullptr, &KSNODETYPE_LOUDNESS, &kCardNameF7},
    {0, nullptr, &KSNODETYPE_LOUDNESS, &kCardNameF8},
    {0, nullptr, &KSNODETYPE_LOUDNESS, &kCardNameF9},
    {0, nullptr, &KSNODETYPE_LOUDNESS, &kCardNameFA},
    {0, nullptr, &KSNODETYPE_LOUDNESS, &kCardNameFB},
    {0, nullptr, &KSNODETYPE_LOUDNESS, &kCardNameFC},
    {0, nullptr, &KSNODETYPE_LOUDNESS, &kCardNameFD},
    {0, &kMuteAutomation, &KSNODETYPE_MUTE, &KSAUDFNAME_MASTER_MUTE},
};
static_assert(RTL_NUMBER_OF(kNodes) == kTopologyNodeCount);
static_assert(kNodes[kMasterVolumeNode].AutomationTable == &kVolumeAutomation);
static_assert(kNodes[kMicInVolumeNode].AutomationTable == &kVolumeAutomation);
static_assert(kNodes[kMasterMuteNode].AutomationTable == &kMuteAutomation);

// Playback runs from the wave pin through wave volume and mute, the sum, the
// master mute and master volume to the speaker; capture from the microphone
// through its volume and mute and the recording source to the wave pin.
const PCCONNECTION_DESCRIPTOR kConnections[] = {
    {PCFILTER_NODE, 0, 0, 1},
    {0, 0, 1, 1},
    {1, 0, 3, 1},
    {3, 0, kMasterMuteNode, 1},
    {kMasterMuteNode, 0, kMasterVolumeNode, 1},
    {kMasterVolumeNode, 0, PCFILTER_NODE, 7},
    {PCFILTER_NODE, 2, kMicInVolumeNode, 1},
    {kMicInVolumeNode, 0, 17, 1},
    {17, 0, 5, 1},
    {5, 0, PCFILTER_NODE, 8},
};

}  // namespace

const PCFILTER_DESCRIPTOR kTopologyFilterDescriptor = {
    0,
    &kFilterAutomation,
    sizeof(PCPIN_DESCRIPTOR),
    RTL_NUMBER_OF(kPins),
    kPins,
    sizeof(PCNODE_DESCRIPTOR),
    RTL_NUMBER_OF(kNodes),
    kNodes,
    RTL_NUMBER_OF(kConnections),
    kConnections,
    0,
    nullptr,
};
