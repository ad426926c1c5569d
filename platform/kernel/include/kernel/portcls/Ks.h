// Kernel-streaming types: data formats and ranges, properties and their
// descriptions, pins. Sizes are those every client of a filter relies on.
#pragma once

#include "kernel/Irp.h"
#include "kernel/Types.h"

// A data format: a 64-byte header, usually followed by a format structure.
struct KSDATAFORMAT {
  ULONG FormatSize;
  ULONG Flags;
  ULONG SampleSize;
  ULONG Reserved;
  GUID MajorFormat;
  GUID SubFormat;
  GUID Specifier;
};
static_assert(sizeof(KSDATAFORMAT) == 64);
using PKSDATAFORMAT = KSDATAFORMAT*;
using KSDATARANGE = KSDATAFORMAT;
using PKSDATARANGE = KSDATARANGE*;

struct KSDATARANGE_AUDIO {
  KSDATARANGE DataRange;
  ULONG MaximumChannels;
  ULONG MinimumBitsPerSample;
  ULONG MaximumBitsPerSample;
  ULONG MinimumSampleFrequency;
  ULONG MaximumSampleFrequency;
};
using PKSDATARANGE_AUDIO = KSDATARANGE_AUDIO*;

#pragma pack(push, 1)
struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};
static_assert(sizeof(WAVEFORMATEX) == 18);
using PWAVEFORMATEX = WAVEFORMATEX*;

struct WAVEFORMATEXTENSIBLE {
  WAVEFORMATEX Format;
  union {
    WORD wValidBitsPerSample;
    WORD wSamplesPerBlock;
    WORD wReserved;
  } Samples;
  DWORD dwChannelMask;
  GUID SubFormat;
};
static_assert(sizeof(WAVEFORMATEXTENSIBLE) == 40);

struct KSDATAFORMAT_WAVEFORMATEX {
  KSDATAFORMAT DataFormat;
  WAVEFORMATEX WaveFormatEx;
};
static_assert(sizeof(KSDATAFORMAT_WAVEFORMATEX) == 82);
using PKSDATAFORMAT_WAVEFORMATEX = KSDATAFORMAT_WAVEFORMATEX*;

struct KSDATAFORMAT_WAVEFORMATEXTENSIBLE {
  KSDATAFORMAT DataFormat;
  WAVEFORMATEXTENSIBLE WaveFormatExt;
};
static_assert(sizeof(KSDATAFORMAT_WAVEFORMATEXTENSIBLE) == 104);

struct DSOUND_BUFFERDESC {
  ULONG Flags;
  ULONG Control;
  WAVEFORMATEX WaveFormatEx;
};
struct KSDATAFORMAT_DSOUND {
  KSDATAFORMAT DataFormat;
  DSOUND_BUFFERDESC BufferDesc;
};
static_assert(sizeof(KSDATAFORMAT_DSOUND) == 90);
#pragma pack(pop)

#define WAVE_FORMAT_PCM 0x0001
#define WAVE_FORMAT_EXTENSIBLE 0xFFFE
#define KSAUDIO_SPEAKER_STEREO 0x00000003

enum KSSTATE { KSSTATE_STOP = 0, KSSTATE_ACQUIRE = 1, KSSTATE_PAUSE = 2, KSSTATE_RUN = 3 };
using PKSSTATE = KSSTATE*;

// ---- Properties -------------------------------------------------------------------

struct KSIDENTIFIER {
  GUID Set;
  ULONG Id;
  ULONG Flags;
};
static_assert(sizeof(KSIDENTIFIER) == 24);
using KSPROPERTY = KSIDENTIFIER;
using PKSPROPERTY = KSPROPERTY*;
using KSPIN_INTERFACE = KSIDENTIFIER;
using KSPIN_MEDIUM = KSIDENTIFIER;

struct KSP_NODE {
  KSPROPERTY Property;
  ULONG NodeId;
  ULONG Reserved;
};
static_assert(sizeof(KSP_NODE) == 32);
using KSNODEPROPERTY = KSP_NODE;

struct KSNODEPROPERTY_AUDIO_CHANNEL {
  KSNODEPROPERTY NodeProperty;
  LONG Channel;
  ULONG Reserved;
};

struct KSP_PIN {
  KSPROPERTY Property;
  ULONG PinId;
  ULONG Reserved;
};

// A list of items following a header, as data-intersection requests carry ranges.
struct KSMULTIPLE_ITEM {
  ULONG Size;
  ULONG Count;
};

#define KSPROPERTY_TYPE_GET 0x00000001
#define KSPROPERTY_TYPE_SET 0x00000002
#define KSPROPERTY_TYPE_BASICSUPPORT 0x00000200
#define KSPROPERTY_TYPE_TOPOLOGY 0x10000000

struct KSPROPERTY_DESCRIPTION {
  ULONG AccessFlags;
  ULONG DescriptionSize;
  KSIDENTIFIER PropTypeSet;
  ULONG MembersListCount;
  ULONG Reserved;
};
static_assert(sizeof(KSPROPERTY_DESCRIPTION) == 40);

struct KSPROPERTY_MEMBERSHEADER {
  ULONG MembersFlags;
  ULONG MembersSize;
  ULONG MembersCount;
  ULONG Flags;
};
static_assert(sizeof(KSPROPERTY_MEMBERSHEADER) == 16);

struct KSPROPERTY_BOUNDS_LONG {
  LONG SignedMinimum;
  LONG SignedMaximum;
};
struct KSPROPERTY_STEPPING_LONG {
  ULONG SteppingDelta;
  ULONG Reserved;
  KSPROPERTY_BOUNDS_LONG Bounds;
};
static_assert(sizeof(KSPROPERTY_STEPPING_LONG) == 16);

#define KSPROPERTY_MEMBER_RANGES 0x00000001
#define KSPROPERTY_MEMBER_STEPPEDRANGES 0x00000002
#define KSPROPERTY_MEMBER_VALUES 0x00000003

struct KSCOMPONENTID {
  GUID Manufacturer;
  GUID Product;
  GUID Component;
  GUID Name;
  ULONG Version;
  ULONG Revision;
};
static_assert(sizeof(KSCOMPONENTID) == 72);

// Variant types of property values.
#define VT_I4 3
#define VT_BOOL 11

// Property ids.
#define KSPROPERTY_GENERAL_COMPONENTID 0
#define KSPROPERTY_AUDIO_VOLUMELEVEL 4
#define KSPROPERTY_AUDIO_MUTE 13
#define KSPROPERTY_AUDIO_CPU_RESOURCES 33
#define KSPROPERTY_AUDIO_CHANNEL_CONFIG 3
#define KSPROPERTY_PIN_CTYPES 0
#define KSPROPERTY_PIN_DATAFLOW 1
#define KSPROPERTY_PIN_DATARANGES 2
#define KSPROPERTY_PIN_DATAINTERSECTION 3
#define KSPROPERTY_PIN_NAME 13

#define KSAUDIO_CPU_RESOURCES_NOT_HOST_CPU 0x00000000

// ---- Pins -----------------------------------------------------------------------

enum KSPIN_DATAFLOW { KSPIN_DATAFLOW_IN = 1, KSPIN_DATAFLOW_OUT = 2 };
enum KSPIN_COMMUNICATION {
  KSPIN_COMMUNICATION_NONE = 0,
  KSPIN_COMMUNICATION_SINK = 1,
  KSPIN_COMMUNICATION_SOURCE = 2,
  KSPIN_COMMUNICATION_BOTH = 3,
  KSPIN_COMMUNICATION_BRIDGE = 4,
};

struct KSPIN_DESCRIPTOR {
  ULONG InterfacesCount;
  const KSPIN_INTERFACE* Interfaces;
  ULONG MediumsCount;
  const KSPIN_MEDIUM* Mediums;
  ULONG DataRangesCount;
  const PKSDATARANGE* DataRanges;
  KSPIN_DATAFLOW DataFlow;
  KSPIN_COMMUNICATION Communication;
  const GUID* Category;
  const GUID* Name;
  ULONG Reserved;
};

#define IOCTL_KS_PROPERTY CTL_CODE(FILE_DEVICE_KS, 0x000, METHOD_NEITHER, FILE_ANY_ACCESS)

// ---- Identifiers --------------------------------------------------------------------

extern const GUID GUID_NULL;
// Interface classes under which filters are published.
extern const GUID KSCATEGORY_AUDIO;
extern const GUID KSCATEGORY_RENDER;
extern const GUID KSCATEGORY_CAPTURE;
extern const GUID KSCATEGORY_TOPOLOGY;
// Property sets.
extern const GUID KSPROPSETID_General;
extern const GUID KSPROPSETID_Audio;
extern const GUID KSPROPSETID_Pin;
extern const GUID KSPROPTYPESETID_General;
// Formats.
extern const GUID KSDATAFORMAT_TYPE_AUDIO;
extern const GUID KSDATAFORMAT_SUBTYPE_PCM;
extern const GUID KSDATAFORMAT_SUBTYPE_ANALOG;
extern const GUID KSDATAFORMAT_SUBTYPE_AC3_AUDIO;
extern const GUID KSDATAFORMAT_SUBTYPE_DOLBY_AC3_SPDIF;
extern const GUID KSDATAFORMAT_SUBTYPE_WMA_SPDIF;
extern const GUID KSDATAFORMAT_SPECIFIER_WAVEFORMATEX;
extern const GUID KSDATAFORMAT_SPECIFIER_DSOUND;
extern const GUID KSDATAFORMAT_SPECIFIER_NONE;
// Standard names of pins and nodes.
extern const GUID KSAUDFNAME_MASTER_VOLUME;
extern const GUID KSAUDFNAME_MASTER_MUTE;
extern const GUID KSAUDFNAME_WAVE_VOLUME;
extern const GUID KSAUDFNAME_WAVE_MUTE;
extern const GUID KSAUDFNAME_CD_VOLUME;
extern const GUID KSAUDFNAME_CD_MUTE;
extern const GUID KSAUDFNAME_LINE_MUTE;
extern const GUID KSAUDFNAME_MIC_VOLUME;
extern const GUID KSAUDFNAME_MIC_MUTE;
extern const GUID KSAUDFNAME_RECORDING_SOURCE;
extern const GUID KSAUDFNAME_LINE_IN_VOLUME;
extern const GUID KSAUDFNAME_MIC_IN_VOLUME;
extern const GUID KSAUDFNAME_VOLUME_CONTROL;
extern const GUID KSAUDFNAME_RECORDING_CONTROL;
extern const GUID KSAUDFNAME_AUX_VOLUME;
extern const GUID KSAUDFNAME_AUX_MUTE;
extern const GUID KSAUDFNAME_ALTERNATE_MICROPHONE;
// Node types.
extern const GUID KSNODETYPE_ADC;
extern const GUID KSNODETYPE_DAC;
extern const GUID KSNODETYPE_VOLUME;
extern const GUID KSNODETYPE_MUTE;
extern const GUID KSNODETYPE_SUM;
extern const GUID KSNODETYPE_MUX;
extern const GUID KSNODETYPE_SUPERMIX;
extern const GUID KSNODETYPE_SRC;
extern const GUID KSNODETYPE_3D_EFFECTS;
extern const GUID KSNODETYPE_LOUDNESS;
extern const GUID KSNODETYPE_SPDIF_INTERFACE;
extern const GUID KSNODETYPE_SPEAKER;
extern const GUID KSNODETYPE_MICROPHONE;
extern const GUID KSNODETYPE_CD_PLAYER;
extern const GUID KSNODETYPE_LINE_CONNECTOR;
extern const GUID KSNODETYPE_ANALOG_CONNECTOR;
