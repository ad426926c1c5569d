#include "EmbeddedDeviceService.h"

#include <chrono>
#include <cstdio>
#include <limits>
#include <shared_mutex>
#include <thread>

#include "DevicePaths.h"
#include "DeviceStatus.h"
#include "kernel/host/Clock.h"
#include "kernel/host/KernelHost.h"
#include "kernel/host/PortClassHost.h"
#include "kernel/host/Strings.h"

namespace machine {

static_assert(status::kSuccess == static_cast<std::uint32_t>(STATUS_SUCCESS));
static_assert(status::kUnsuccessful == static_cast<std::uint32_t>(STATUS_UNSUCCESSFUL));
static_assert(status::kInvalidHandle == static_cast<std::uint32_t>(STATUS_INVALID_HANDLE));
static_assert(status::kInvalidParameter == static_cast<std::uint32_t>(STATUS_INVALID_PARAMETER));
static_assert(status::kBufferTooSmall == static_cast<std::uint32_t>(STATUS_BUFFER_TOO_SMALL));
static_assert(status::kObjectNameNotFound ==
              static_cast<std::uint32_t>(STATUS_OBJECT_NAME_NOT_FOUND));
static_assert(status::kCancelled == static_cast<std::uint32_t>(STATUS_CANCELLED));
static_assert(status::kDeviceBusy == static_cast<std::uint32_t>(STATUS_DEVICE_BUSY));

namespace {

std::string classIdOf(const GUID& guid) {
  return classIdText(guid.Data1, guid.Data2, guid.Data3, guid.Data4);
}

}  // namespace

// A request holds the gate shared while it is handed to the driver; closing
// holds it exclusively, so the file object is never closed under a request
// that the I/O manager has not registered yet (and so could not cancel).
struct EmbeddedDeviceService::OpenHandle {
  PFILE_OBJECT file = nullptr;
  std::shared_mutex gate;
  bool closed = false;  // guarded by gate
};

PendingControl PendingControl::finished(ControlResult result) {
  PendingControl done;
  done.result = result;
  return done;
}

PendingControl::PendingControl(std::shared_ptr<kernel::PendingRequest> pending,
                               std::shared_ptr<void> owner)
    : request(std::move(pending)), handle(std::move(owner)) {}

ControlResult PendingControl::wait() {
  if (!request) return result;
  ULONG_PTR information = 0;
  const NTSTATUS final = request->wait(&information);
  return {static_cast<std::uint32_t>(final), information};
}

EmbeddedDeviceService::EmbeddedDeviceService(EmbeddedOptions options)
    : extraDevices(std::move(options.extraDevices)), withCard(options.machine.withCard) {
  kernel::Clock::instance().setMode(kernel::Clock::Mode::Real);
  machine = std::make_unique<Machine>(std::move(options.machine));
  booted = static_cast<std::uint32_t>(machine->boot());
}

EmbeddedDeviceService::~EmbeddedDeviceService() {
  unload();
}

UnloadReport EmbeddedDeviceService::unload() {
  std::map<HandleId, std::shared_ptr<OpenHandle>> open;
  {
    std::lock_guard held(lock);
    if (unloaded) return {};
    unloaded = true;
    open.swap(handles);
  }
  for (auto& [id, handle] : open) {
    std::unique_lock gate(handle->gate);
    handle->closed = true;
    kernel::IoManager::close(handle->file);
  }
  return machine->unload();
}


std::string EmbeddedDeviceService::instanceIdOf(PDEVICE_OBJECT device) const {
  if (device == machine->functionalDevice()) return std::string(kCardInstanceId);
  // Only the card's driver runs on this machine; anything else gets a name of its own.
  char name[48];
  std::snprintf(name, sizeof name, "ROOT\\MEDIA\\%p", static_cast<void*>(device));
  return name;
}

std::vector<DeviceEntry> EmbeddedDeviceService::devices() {
  std::vector<DeviceEntry> entries;
  for (const auto& extra : extraDevices) {
    DeviceEntry entry{extra.instanceId, extra.serviceName, {}};
    for (const auto& face : extra.interfaces) {
      entry.interfaces.push_back(
          {face.classId, interfacePath(extra.instanceId, face.classId, face.reference)});
    }
    entries.push_back(std::move(entry));
  }
  std::map<PDEVICE_OBJECT, std::size_t> entryOf;
  for (const auto& subdevice : kernel::PortClassHost::subdevices()) {
    auto [found, added] = entryOf.emplace(subdevice.device, entries.size());
    if (added) {
      DeviceEntry entry{instanceIdOf(subdevice.device), std::nullopt, {}};
      if (!subdevice.serviceName.empty()) entry.serviceName = kernel::toUtf8(subdevice.serviceName);
      entries.push_back(std::move(entry));
    }
    DeviceEntry& entry = entries[found->second];
    for (const auto& category : subdevice.categories) {
      const std::string classId = classIdOf(category);
      entry.interfaces.push_back(
          {classId, interfacePath(entry.instanceId, classId, kernel::toUtf8(subdevice.name))});
    }
  }
  return entries;
}

std::uint32_t EmbeddedDeviceService::open(const std::string& path, HandleId* handle) {
  for (const auto& subdevice : kernel::PortClassHost::subdevices()) {
    const std::string instanceId = instanceIdOf(subdevice.device);
    for (const auto& category : subdevice.categories) {
      if (!sameName(path, interfacePath(instanceId, classIdOf(category),
                                        kernel::toUtf8(subdevice.name)))) {
        continue;
      }
      PFILE_OBJECT file = nullptr;
      const NTSTATUS opened = kernel::IoManager::open(subdevice.device, subdevice.name, &file);
      if (!NT_SUCCESS(opened)) return static_cast<std::uint32_t>(opened);
      auto entry = std::make_shared<OpenHandle>();
      entry->file = file;
      std::lock_guard held(lock);
      if (unloaded) {
        kernel::IoManager::close(file);
        return status::kNoSuchDevice;
      }
      *handle = nextHandle++;
      handles.emplace(*handle, std::move(entry));
      return status::kSuccess;
    }
  }
  return status::kObjectNameNotFound;
}

std::shared_ptr<EmbeddedDeviceService::OpenHandle> EmbeddedDeviceService::find(HandleId id) {
  std::lock_guard held(lock);
  auto found = handles.find(id);
  return found == handles.end() ? nullptr : found->second;
}

PendingControl EmbeddedDeviceService::startControl(HandleId id, std::uint32_t code,
                                                   const void* input, std::uint32_t inputLength,
                                                   void* output, std::uint32_t outputLength) {
  auto handle = find(id);
  if (!handle) return PendingControl::finished({status::kInvalidHandle, 0});
  std::shared_lock gate(handle->gate);
  if (handle->closed) return PendingControl::finished({status::kInvalidHandle, 0});
  // METHOD_NEITHER: the driver reads the caller's input in place and never writes it.
  auto request = kernel::IoManager::deviceControlAsync(handle->file, code, const_cast<void*>(input),
                                                       inputLength, output, outputLength);
  return PendingControl(std::move(request), std::move(handle));
}

ControlResult EmbeddedDeviceService::deviceControl(HandleId handle, std::uint32_t code,
                                                   const void* input, std::uint32_t inputLength,
                                                   void* output, std::uint32_t outputLength) {
  return startControl(handle, code, input, inputLength, output, outputLength).wait();
}

bool EmbeddedDeviceService::close(HandleId id) {
  std::shared_ptr<OpenHandle> handle;
  {
    std::lock_guard held(lock);
    auto found = handles.find(id);
    if (found == handles.end()) return false;
    handle = std::move(found->second);
    handles.erase(found);
  }
  std::unique_lock gate(handle->gate);
  handle->closed = true;
  kernel::IoManager::close(handle->file);
  handle->file = nullptr;
  return true;
}

std::vector<audio::Endpoint> EmbeddedDeviceService::audioEndpoints() {
  return audio::listEndpoints();
}

std::unique_ptr<audio::AudioStream> EmbeddedDeviceService::openAudioStream(
    const audio::Endpoint& endpoint, std::string* error) {
  return audio::openStream(endpoint, error);
}

std::string EmbeddedDeviceService::problem() const {
  if (!withCard || NT_SUCCESS(static_cast<NTSTATUS>(booted))) return {};
  char text[64];
  std::snprintf(text, sizeof text, "the card's driver did not start (status 0x%08X)", booted);
  return text;
}

}  // namespace machine
