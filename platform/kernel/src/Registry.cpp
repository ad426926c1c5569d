#include "kernel/Registry.h"

#include <string>

#include "Internal.h"
#include "kernel/host/RegistryStore.h"
#include "kernel/host/Strings.h"
#include "kernel/host/Verifier.h"

namespace {

struct KeyObject {
  std::string* path;
};

void destroyKey(void* body) { delete static_cast<KeyObject*>(body)->path; }

bool refused(const char* what, ::kernel::SourcePlace where) {
  return kernel::internal::refuseAbovePassive(
      static_cast<int>(kernel::Rule::RegistryAtRaisedIrql), what, where);
}

NTSTATUS createOrOpen(PHANDLE keyHandle, ACCESS_MASK desiredAccess,
                      POBJECT_ATTRIBUTES objectAttributes, bool create, PULONG disposition) {
  if (!objectAttributes || !objectAttributes->ObjectName ||
      !objectAttributes->ObjectName->Buffer) {
    return STATUS_INVALID_PARAMETER;
  }
  const std::string path = kernel::toUtf8(*objectAttributes->ObjectName);
  const bool existed = kernel::RegistryStore::keyExists(path);
  if (!existed && !create) return STATUS_OBJECT_NAME_NOT_FOUND;
  if (!existed) kernel::RegistryStore::createKey(path);
  if (disposition) *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
  auto* key = static_cast<KeyObject*>(kernel::internal::createObject(
      kernel::internal::ObjectKind::Key, sizeof(KeyObject), destroyKey));
  key->path = new std::string(path);
  *keyHandle = kernel::internal::createHandle(key, desiredAccess, true);
  ObfDereferenceObject(key);  // the handle keeps it
  return STATUS_SUCCESS;
}

// The key behind a handle, if the handle grants the access; referenced.
NTSTATUS keyOf(HANDLE handle, ACCESS_MASK needed, KeyObject** key) {
  ACCESS_MASK granted = 0;
  *key = static_cast<KeyObject*>(
      kernel::internal::referenceHandle(handle, kernel::internal::ObjectKind::Key, &granted));
  if (!*key) return STATUS_INVALID_HANDLE;
  if ((granted & needed) != needed) {
    ObfDereferenceObject(*key);
    *key = nullptr;
    return STATUS_ACCESS_DENIED;
  }
  return STATUS_SUCCESS;
}

}  // namespace

NTSTATUS ZwCreateKey(PHANDLE keyHandle, ACCESS_MASK desiredAccess,
                     POBJECT_ATTRIBUTES objectAttributes, ULONG, PUNICODE_STRING, ULONG,
                     PULONG disposition, ::kernel::SourcePlace where) {
  if (refused("ZwCreateKey", where)) return STATUS_UNSUCCESSFUL;
  return createOrOpen(keyHandle, desiredAccess, objectAttributes, true, disposition);
}

NTSTATUS ZwOpenKey(PHANDLE keyHandle, ACCESS_MASK desiredAccess,
                   POBJECT_ATTRIBUTES objectAttributes, ::kernel::SourcePlace where) {
  if (refused("ZwOpenKey", where)) return STATUS_UNSUCCESSFUL;
  return createOrOpen(keyHandle, desiredAccess, objectAttributes, false, nullptr);
}

NTSTATUS ZwQueryValueKey(HANDLE keyHandle, PUNICODE_STRING valueName,
                         KEY_VALUE_INFORMATION_CLASS informationClass,
                         PVOID keyValueInformation, ULONG length, PULONG resultLength,
                         ::kernel::SourcePlace where) {
  if (refused("ZwQueryValueKey", where)) return STATUS_UNSUCCESSFUL;
  if (informationClass != KeyValuePartialInformation || !valueName || !resultLength) {
    return STATUS_INVALID_PARAMETER;
  }
  KeyObject* key = nullptr;
  if (NTSTATUS status = keyOf(keyHandle, KEY_QUERY_VALUE, &key); !NT_SUCCESS(status)) {
    return status;
  }
  auto value = kernel::RegistryStore::value(*key->path, kernel::toUtf8(*valueName));
  ObfDereferenceObject(key);
  if (!value) return STATUS_OBJECT_NAME_NOT_FOUND;

  constexpr ULONG fixedPart = offsetof(KEY_VALUE_PARTIAL_INFORMATION, Data);
  const ULONG needed = fixedPart + static_cast<ULONG>(value->data.size());
  *resultLength = needed;
  if (length < fixedPart) return STATUS_BUFFER_TOO_SMALL;
  auto* information = static_cast<PKEY_VALUE_PARTIAL_INFORMATION>(keyValueInformation);
  information->TitleIndex = 0;
  information->Type = value->type;
  information->DataLength = static_cast<ULONG>(value->data.size());
  if (length < needed) return STATUS_BUFFER_OVERFLOW;
  if (!value->data.empty()) std::memcpy(information->Data, value->data.data(), value->data.size());
  return STATUS_SUCCESS;
}

NTSTATUS ZwSetValueKey(HANDLE keyHandle, PUNICODE_STRING valueName, ULONG, ULONG type,
                       PVOID data, ULONG dataSize, ::kernel::SourcePlace where) {
  if (refused("ZwSetValueKey", where)) return STATUS_UNSUCCESSFUL;
  if (!valueName || (dataSize && !data)) return STATUS_INVALID_PARAMETER;
  KeyObject* key = nullptr;
  if (NTSTATUS status = keyOf(keyHandle, KEY_SET_VALUE, &key); !NT_SUCCESS(status)) {
    return status;
  }
  kernel::RegistryValue value{type, {}};
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  value.data.assign(bytes, bytes + dataSize);
  kernel::RegistryStore::setValue(*key->path, kernel::toUtf8(*valueName), value);
  ObfDereferenceObject(key);
  return STATUS_SUCCESS;
}
