// Kernel-streaming types the port class interfaces carry.
#pragma once

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

enum KSSTATE { KSSTATE_STOP = 0, KSSTATE_ACQUIRE = 1, KSSTATE_PAUSE = 2, KSSTATE_RUN = 3 };
using PKSSTATE = KSSTATE*;

// Interface classes under which filters are published.
extern const GUID KSCATEGORY_AUDIO;
extern const GUID KSCATEGORY_RENDER;
extern const GUID KSCATEGORY_CAPTURE;
extern const GUID KSCATEGORY_TOPOLOGY;
