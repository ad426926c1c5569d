#include "TopologyProperties.h"

#include "CardContext.h"
#include "Controller.h"
#include "TopologyFilter.h"

namespace {

// Data byte 4 of the mixer record, the low byte of its second word: the
// master level in bits 0 ... 6 and the master mute in bit 7.
constexpr ULONG kMasterByteMask = 0xFF;
constexpr ULONG kMasterLevelMask = 0x7F;
constexpr ULONG kMasterMuteBit = 0x80;

constexpr LONGLONG kTopLevel = 99;
// Volumes are 16.16 fixed-point decibels: the top level is 30.0 dB.
constexpr LONGLONG kTopVolume = 0x1E0000;
constexpr ULONG kVolumeStep = 0x20000;  // 2.0 dB

// One master level serves both channels: only the second channel's value
// reaches the card, so a stereo update sends one packet.
constexpr LONG kLevelChannel = 1;

constexpr ULONG kAccessGetSetBasic =
    KSPROPERTY_TYPE_GET | KSPROPERTY_TYPE_SET | KSPROPERTY_TYPE_BASICSUPPORT;
constexpr ULONG kAccessGetBasic = KSPROPERTY_TYPE_GET | KSPROPERTY_TYPE_BASICSUPPORT;

constexpr ULONG kCardPrivateBytes = 104;

// The whole basic-support answer of a volume: the description, then one
// stepped range.
struct VolumeSupport {
  KSPROPERTY_DESCRIPTION description;
  KSPROPERTY_MEMBERSHEADER members;
  KSPROPERTY_STEPPING_LONG stepping;
};
static_assert(sizeof(VolumeSupport) == 72);

constexpr KSCOMPONENTID kComponentId = {
    {0x9DB14E9A, 0x7BE7, 0x480D, {0xA2, 0xFA, 0x32, 0x93, 0x24, 0x89, 0xDE, 0x9E}},
    {0x9DB14E9A, 0x7BE7, 0x480D, {0xA2, 0xFA, 0x32, 0x93, 0x24, 0x89, 0xDE, 0x9C}},
    {0x9DB14E9A, 0x7BE7, 0x480D, {0xA2, 0xFA, 0x32, 0x93, 0x24, 0x89, 0xDE, 0x9D}},
    {},
    0,
    1,
};

// Serialises the read-modify-write of the cached mixer record, so that a
// volume and a mute set at once do not undo each other. Passive level only.
KMUTEX mixerLock;

bool isNode(ULONG node) {
  return node != PCFILTER_NODE && node < kTopologyNodeCount;
}

// A caller's value buffer that claims bytes but has none.
bool valueMissing(const PCPROPERTY_REQUEST& request) {
  return request.ValueSize != 0 && request.Value == nullptr;
}

bool holdsLong(PVOID source, ULONG size) {
  return source != nullptr && size >= sizeof(LONG);
}

// The caller's buffers need not be aligned: values are copied, never cast.
bool readLong(PVOID source, ULONG size, LONG* value) {
  if (!holdsLong(source, size)) return false;
  RtlCopyMemory(value, source, sizeof(LONG));
  return true;
}

template <typename T>
VOID answer(PCPROPERTY_REQUEST& request, const T& value) {
  RtlCopyMemory(request.Value, &value, sizeof(T));
  request.ValueSize = sizeof(T);
}

KSPROPERTY_DESCRIPTION describe(ULONG accessFlags, ULONG descriptionSize, ULONG type,
                                ULONG membersLists) {
  return {accessFlags, descriptionSize, {KSPROPTYPESETID_General, type, 0}, membersLists, 0};
}

// The description when the buffer holds one, else the access flags alone
// when it holds a ULONG; false when it holds neither.
bool answerBasicSupport(PCPROPERTY_REQUEST& request, ULONG accessFlags, ULONG type) {
  if (request.ValueSize >= sizeof(KSPROPERTY_DESCRIPTION)) {
    answer(request, describe(accessFlags, sizeof(KSPROPERTY_DESCRIPTION), type, 0));
  } else if (request.ValueSize >= sizeof(ULONG)) {
    answer(request, accessFlags);
  } else {
    return false;
  }
  return true;
}

ULONG masterByte() {
  return cardContext.mixerRecord[1] & kMasterByteMask;
}

VOID writeMasterByte(ULONG byte) {
  WriteMixerRecord(cardContext.mixerRecord[0],
                   (cardContext.mixerRecord[1] & ~kMasterByteMask) | byte);
}

LONG volumeFromLevel(ULONG level) {
  return static_cast<LONG>(static_cast<LONGLONG>(level) * kTopVolume / kTopLevel);
}

ULONG levelFromVolume(LONG volume) {
  const LONGLONG level = static_cast<LONGLONG>(volume) * kTopLevel / kTopVolume;
  if (level < 0) return 0;
  if (level > kTopLevel) return static_cast<ULONG>(kTopLevel);
  return static_cast<ULONG>(level);
}

NTSTATUS describeVolume(PCPROPERTY_REQUEST& request) {
  const VolumeSupport support = {
      describe(kAccessGetSetBasic, sizeof(VolumeSupport), VT_I4, 1),
      {KSPROPERTY_MEMBER_STEPPEDRANGES, sizeof(KSPROPERTY_STEPPING_LONG), 1, 0},
      {kVolumeStep, 0, {0, static_cast<LONG>(kTopVolume)}},
  };
  if (request.ValueSize >= sizeof(VolumeSupport)) {
    answer(request, support);
  } else if (request.ValueSize >= sizeof(KSPROPERTY_DESCRIPTION)) {
    answer(request, support.description);
  } else if (request.ValueSize >= sizeof(ULONG)) {
    answer(request, kAccessGetSetBasic);
  } else {
    request.ValueSize = 0;
  }
  return STATUS_SUCCESS;
}

}  // namespace

VOID initializeMixerLock() {
  KeInitializeMutex(&mixerLock, 0);
}

NTSTATUS handleVolumeLevel(PPCPROPERTY_REQUEST request) {
  PAGED_CODE();
  const ULONG node = request->Node;
  if (!isNode(node) || request->PropertyItem->Id != KSPROPERTY_AUDIO_VOLUMELEVEL ||
      valueMissing(*request)) {
    return STATUS_INVALID_PARAMETER;
  }
  if (request->Verb == KSPROPERTY_TYPE_BASICSUPPORT) return describeVolume(*request);
  if (request->Verb != KSPROPERTY_TYPE_GET && request->Verb != KSPROPERTY_TYPE_SET) {
    return STATUS_INVALID_DEVICE_REQUEST;
  }

  LONG channel = 0;
  if (!readLong(request->Instance, request->InstanceSize, &channel) ||
      request->ValueSize < sizeof(LONG)) {
    return STATUS_INVALID_PARAMETER;
  }
  // The microphone volume is mono; the others are stereo.
  const LONG lastChannel = node == kMicVolumeNode ? 0 : 1;
  if (channel < 0 || channel > lastChannel) return STATUS_INVALID_PARAMETER;

  // Only the master volume is wired to the card; the others read 0 and
  // accept any value.
  if (request->Verb == KSPROPERTY_TYPE_GET) {
    const LONG volume =
        node == kMasterVolumeNode ? volumeFromLevel(masterByte() & kMasterLevelMask) : 0;
    answer(*request, volume);
    return STATUS_SUCCESS;
  }
  if (node == kMasterVolumeNode && channel == kLevelChannel) {
    LONG volume = 0;
    readLong(request->Value, request->ValueSize, &volume);
    KeWaitForSingleObject(&mixerLock, Executive, KernelMode, FALSE, nullptr);
    writeMasterByte((masterByte() & kMasterMuteBit) | levelFromVolume(volume));
    KeReleaseMutex(&mixerLock, FALSE);
  }
  return STATUS_SUCCESS;
}

NTSTATUS handleMute(PPCPROPERTY_REQUEST request) {
  PAGED_CODE();
  if (request->Node == PCFILTER_NODE || valueMissing(*request)) return STATUS_INVALID_PARAMETER;
  if (request->Verb == KSPROPERTY_TYPE_BASICSUPPORT) {
    return answerBasicSupport(*request, kAccessGetSetBasic, VT_BOOL) ? STATUS_SUCCESS
                                                                     : STATUS_INVALID_PARAMETER;
  }
  if (request->Verb != KSPROPERTY_TYPE_GET && request->Verb != KSPROPERTY_TYPE_SET) {
    return STATUS_INVALID_DEVICE_REQUEST;
  }

  // One mute serves both channels: the channel must be there but does not matter.
  if (!holdsLong(request->Instance, request->InstanceSize) || request->ValueSize < sizeof(LONG)) {
    return STATUS_INVALID_PARAMETER;
  }
  if (request->Verb == KSPROPERTY_TYPE_GET) {
    const LONG muted = (masterByte() & kMasterMuteBit) != 0;
    answer(*request, muted);
    return STATUS_SUCCESS;
  }
  LONG mute = 0;
  readLong(request->Value, request->ValueSize, &mute);
  KeWaitForSingleObject(&mixerLock, Executive, KernelMode, FALSE, nullptr);
  writeMasterByte((mute != 0 ? kMasterMuteBit : 0) | (masterByte() & kMasterLevelMask));
  KeReleaseMutex(&mixerLock, FALSE);
  return STATUS_SUCCESS;
}

NTSTATUS handleCpuResources(PPCPROPERTY_REQUEST request) {
  PAGED_CODE();
  if (!isNode(request->Node)) return STATUS_INVALID_DEVICE_REQUEST;
  if (valueMissing(*request)) return STATUS_INVALID_PARAMETER;
  switch (request->Verb) {
    case KSPROPERTY_TYPE_GET:
      if (request->ValueSize < sizeof(LONG)) {
        request->ValueSize = 0;
        return STATUS_BUFFER_TOO_SMALL;
      }
      answer(*request, static_cast<LONG>(KSAUDIO_CPU_RESOURCES_NOT_HOST_CPU));
      return STATUS_SUCCESS;
    case KSPROPERTY_TYPE_BASICSUPPORT:
      return answerBasicSupport(*request, kAccessGetBasic, VT_I4) ? STATUS_SUCCESS
                                                                  : STATUS_INVALID_DEVICE_REQUEST;
    default:
      return STATUS_INVALID_DEVICE_REQUEST;
  }
}

NTSTATUS handleComponentId(PPCPROPERTY_REQUEST request) {
  PAGED_CODE();
  if (valueMissing(*request)) return STATUS_INVALID_PARAMETER;
  switch (request->Verb) {
    case KSPROPERTY_TYPE_GET:
      // An empty buffer asks for the size.
      if (request->ValueSize == 0) {
        request->ValueSize = sizeof(KSCOMPONENTID);
        return STATUS_BUFFER_OVERFLOW;
      }
      if (request->ValueSize < sizeof(KSCOMPONENTID)) {
        request->ValueSize = 0;
        return STATUS_BUFFER_TOO_SMALL;
      }
      answer(*request, kComponentId);
      return STATUS_SUCCESS;
    case KSPROPERTY_TYPE_BASICSUPPORT:
      if (request->ValueSize < sizeof(ULONG)) {
        request->ValueSize = 0;
        return STATUS_BUFFER_TOO_SMALL;
      }
      answer(*request, kAccessGetBasic);
      return STATUS_SUCCESS;
    default:
      return STATUS_INVALID_DEVICE_REQUEST;
  }
}

NTSTATUS handleCardPrivate(PPCPROPERTY_REQUEST request) {
  PAGED_CODE();
  if (valueMissing(*request)) return STATUS_INVALID_PARAMETER;
  const ULONG id = request->PropertyItem->Id;
  switch (request->Verb) {
    case KSPROPERTY_TYPE_GET:
    case KSPROPERTY_TYPE_SET: {
      const ULONG expectedId =
          request->Verb == KSPROPERTY_TYPE_GET ? kCardPrivateGetId : kCardPrivateSetId;
      if (id != expectedId) return STATUS_INVALID_DEVICE_REQUEST;
      if (request->ValueSize == 0) {
        request->ValueSize = kCardPrivateBytes;
        return STATUS_BUFFER_OVERFLOW;
      }
      if (request->ValueSize < kCardPrivateBytes) {
        request->ValueSize = 0;
        return STATUS_BUFFER_TOO_SMALL;
      }
      if (request->Verb == KSPROPERTY_TYPE_GET) request->ValueSize = kCardPrivateBytes;
      return STATUS_SUCCESS;
    }
    case KSPROPERTY_TYPE_BASICSUPPORT:
      if (request->ValueSize < sizeof(ULONG)) {
        request->ValueSize = 0;
        return STATUS_BUFFER_TOO_SMALL;
      }
      answer(*request, kAccessGetSetBasic);
      return STATUS_SUCCESS;
    default:
      return STATUS_INVALID_DEVICE_REQUEST;
  }
}
