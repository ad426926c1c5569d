#include "Settings.h"

#include <initializer_list>

#include "CardContext.h"

namespace {

// The values in the order they are read and written.
struct SettingValue {
  UNICODE_STRING name;
  void* field;  // a 32-bit field of cardContext
};

SettingValue* Values() {
  static SettingValue values[] = {
      {RTL_CONSTANT_STRING(KTEXT("mode")), &cardContext.routingMode},
      {RTL_CONSTANT_STRING(KTEXT("hearMyVoice")), &cardContext.monitorEnabled},
      {RTL_CONSTANT_STRING(KTEXT("recPlaySndStr")), &cardContext.loopbackEnabled},
      {RTL_CONSTANT_STRING(KTEXT("bitDepth")), &cardContext.bitDepth},
      {RTL_CONSTANT_STRING(KTEXT("sampleRate")), &cardContext.sampleRate},
      {RTL_CONSTANT_STRING(KTEXT("bufferSize")), &cardContext.bufferFrames},
      {RTL_CONSTANT_STRING(KTEXT("recVolume")), &cardContext.recordVolume},
  };
  return values;
}
constexpr ULONG kValueCount = 7;
enum ValueIndex { kMode, kHearMyVoice, kRecPlaySndStr, kBitDepth, kSampleRate, kBufferSize,
                  kRecVolume };

constexpr ULONG kTagSettings = 0x67655270;  // "pReg"

HANDLE OpenServiceKey(ACCESS_MASK access) {
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &cardContext.registryPath, OBJ_CASE_INSENSITIVE,
                             nullptr, nullptr);
  HANDLE key = nullptr;
  if (!NT_SUCCESS(ZwCreateKey(&key, access, &attributes, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              nullptr))) {
    return nullptr;
  }
  return key;
}

bool IsOneOf(ULONG value, std::initializer_list<ULONG> accepted) {
  for (ULONG candidate : accepted) {
    if (value == candidate) return true;
  }
  return false;
}

// A saved switch is restored only as a plain 0 or 1.
VOID RestoreSwitch(LONG* field, ULONG value) {
  if (value <= 1) *field = static_cast<LONG>(value);
}

VOID ApplyLoadedValues(const ULONG* loaded) {
  auto& card = cardContext;
  RestoreSwitch(&card.routingMode, loaded[kMode]);
  RestoreSwitch(&card.monitorEnabled, loaded[kHearMyVoice]);
  RestoreSwitch(&card.loopbackEnabled, loaded[kRecPlaySndStr]);
  if (IsOneOf(loaded[kBitDepth], {16, 24})) card.bitDepth = loaded[kBitDepth];
  if (IsOneOf(loaded[kSampleRate], {44100, 48000, 96000})) card.sampleRate = loaded[kSampleRate];
  if (IsOneOf(loaded[kBufferSize], {128, 256, 512})) card.bufferFrames = loaded[kBufferSize];
  const LONG volume = static_cast<LONG>(loaded[kRecVolume]);
  if (volume >= 30 && volume <= 250) card.recordVolume = volume;
  card.blockBytes = BlockBytesFor(card.bitDepth, card.bufferFrames);
  SetBlockLengths();
}

// Reads the seven values; false when any is missing or not a 4-byte REG_DWORD.
bool ReadAllValues(HANDLE key, ULONG* loaded) {
  PKEY_VALUE_PARTIAL_INFORMATION buffers[kValueCount] = {};
  ULONG sizes[kValueCount] = {};
  bool complete = true;
  for (ULONG i = 0; i < kValueCount && complete; ++i) {
    const NTSTATUS status = ZwQueryValueKey(key, &Values()[i].name, KeyValuePartialInformation,
                                            nullptr, 0, &sizes[i]);
    complete = status == STATUS_SUCCESS || status == STATUS_BUFFER_TOO_SMALL;
  }
  for (ULONG i = 0; i < kValueCount && complete; ++i) {
    buffers[i] = static_cast<PKEY_VALUE_PARTIAL_INFORMATION>(
        ExAllocatePoolWithTag(PagedPool, sizes[i], kTagSettings));
    ULONG size = 0;
    complete = buffers[i] && NT_SUCCESS(ZwQueryValueKey(key, &Values()[i].name,
                                                        KeyValuePartialInformation, buffers[i],
                                                        sizes[i], &size));
    // Another type, or fewer than 4 bytes, counts as missing.
    complete = complete && buffers[i]->Type == REG_DWORD && buffers[i]->DataLength >= 4;
    if (complete) RtlCopyMemory(&loaded[i], buffers[i]->Data, sizeof(ULONG));
  }
  for (auto* buffer : buffers) {
    if (buffer) ExFreePoolWithTag(buffer, kTagSettings);
  }
  return complete;
}

VOID SettingsThread(PVOID) {
  LARGE_INTEGER second;
  second.QuadPart = -10000000;
  for (;;) {
    KeDelayExecutionThread(KernelMode, FALSE, &second);
    SaveSettings();
    if (ReadLongAcquire(&cardContext.saverStop)) PsTerminateSystemThread(STATUS_SUCCESS);
  }
}

}  // namespace

VOID LoadSettings(PUNICODE_STRING registryPath) {
  PAGED_CODE();
  auto& card = cardContext;
  const USHORT capacity = static_cast<USHORT>(registryPath->Length + sizeof(WCHAR));
  card.registryPath.Buffer =
      static_cast<PWCHAR>(ExAllocatePoolWithTag(PagedPool, capacity, kTagSettings));
  if (!card.registryPath.Buffer) return;
  card.registryPath.MaximumLength = capacity;
  RtlCopyUnicodeString(&card.registryPath, registryPath);

  HANDLE key = OpenServiceKey(KEY_READ);
  if (!key) return;
  ULONG loaded[kValueCount] = {};
  if (ReadAllValues(key, loaded)) ApplyLoadedValues(loaded);
  ZwClose(key);
}

VOID SaveSettings() {
  PAGED_CODE();
  if (!cardContext.registryPath.Buffer) return;
  // One consistent snapshot: the requests change these fields under streamLock.
  ULONG values[kValueCount];
  UnderStreamLock([&](CardContext&) {
    for (ULONG i = 0; i < kValueCount; ++i) {
      RtlCopyMemory(&values[i], Values()[i].field, sizeof values[i]);
    }
  });
  HANDLE key = OpenServiceKey(KEY_WRITE);
  if (!key) return;
  for (ULONG i = 0; i < kValueCount; ++i) {
    ZwSetValueKey(key, &Values()[i].name, 0, REG_DWORD, &values[i], sizeof values[i]);
  }
  ZwClose(key);
}

VOID StartSettingsThread() {
  PAGED_CODE();
  HANDLE thread = nullptr;
  if (!NT_SUCCESS(PsCreateSystemThread(&thread, THREAD_ALL_ACCESS, nullptr, nullptr, nullptr,
                                       SettingsThread, &cardContext))) {
    return;
  }
  PVOID object = nullptr;
  if (NT_SUCCESS(ObReferenceObjectByHandle(thread, THREAD_ALL_ACCESS, nullptr, KernelMode,
                                           &object, nullptr))) {
    cardContext.saverThread = static_cast<PKTHREAD>(object);
  }
  ZwClose(thread);
}

VOID StopSettingsThread() {
  PAGED_CODE();
  auto& card = cardContext;
  if (!card.saverThread) return;
  InterlockedExchange(&card.saverStop, 1);
  KeWaitForSingleObject(card.saverThread, Executive, KernelMode, FALSE, nullptr);
  ObDereferenceObject(card.saverThread);
  card.saverThread = nullptr;
}
