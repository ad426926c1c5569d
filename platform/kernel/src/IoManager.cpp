#include "kernel/host/IoManager.h"

#include <map>
#include <set>

#include "IrpTracking.h"
#include "kernel/host/Strings.h"
#include "kernel/host/Verifier.h"

namespace kernel {

namespace {

struct Requests {
  std::mutex lock;
  std::map<PIRP, std::shared_ptr<internal::RequestRecord>> live;  // not yet completed
  std::map<PFILE_OBJECT, std::set<PIRP>> pendingByFile;
};

Requests& requests() {
  static auto* all = new Requests;
  return *all;
}

class Request final : public PendingRequest {
 public:
  explicit Request(std::shared_ptr<internal::RequestRecord> shared) : record(std::move(shared)) {}

  bool completed() const override {
    std::lock_guard held(internal::requestLock());
    return record->completed;
  }

  NTSTATUS wait(ULONG_PTR* information) override {
    std::unique_lock held(internal::requestLock());
    record->done.wait(held, [&] { return record->completed; });
    if (information) *information = record->irp.IoStatus.Information;
    return record->irp.IoStatus.Status;
  }

 private:
  std::shared_ptr<internal::RequestRecord> record;
};

std::shared_ptr<internal::RequestRecord> newRecord(PFILE_OBJECT file, UCHAR major) {
  auto record = std::make_shared<internal::RequestRecord>();
  IRP& irp = record->irp;
  irp.StackCount = IRP_STACK_LOCATIONS;
  irp.CurrentLocation = IRP_STACK_LOCATIONS + 1;
  irp.Tail.Overlay.CurrentStackLocation = &irp.Stack[IRP_STACK_LOCATIONS];
  irp.Tail.Overlay.OriginalFileObject = file;
  irp.RequestorMode = UserMode;
  irp.IoStatus.Status = STATUS_PENDING;
  PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(&irp);
  next->MajorFunction = major;
  next->FileObject = file;
  auto& all = requests();
  std::lock_guard held(all.lock);
  all.live.emplace(&irp, record);
  all.pendingByFile[file].insert(&irp);
  return record;
}

// Sends a request and checks the driver's answer follows the rules of
// pending: either it completed the request, or it marked it pending and
// returned STATUS_PENDING.
std::shared_ptr<internal::RequestRecord> send(PFILE_OBJECT file, UCHAR major,
                                              std::shared_ptr<internal::RequestRecord> record) {
  PDEVICE_OBJECT device = file->DeviceObject;
  PDRIVER_DISPATCH dispatch = device->DriverObject->MajorFunction[major];
  if (!dispatch) {
    record->irp.IoStatus.Status = STATUS_SUCCESS;
    internal::completeRecord(&record->irp);
    return record;
  }
  const NTSTATUS status = IoCallDriver(device, &record->irp);
  std::lock_guard held(internal::requestLock());
  if (status == STATUS_PENDING) {
    if (!record->completed &&
        !(IoGetCurrentIrpStackLocation(&record->irp)->Control & SL_PENDING_RETURNED)) {
      Verifier::report(Rule::IrpMisuse, "STATUS_PENDING returned without IoMarkIrpPending");
    }
  } else if (!record->completed) {
    Verifier::report(Rule::IrpMisuse, "dispatch returned " + std::to_string(status) +
                                          " without completing the request");
  }
  return record;
}

}  // namespace

namespace internal {

std::mutex& requestLock() {
  static auto* lock = new std::mutex;
  return *lock;
}

bool completeRecord(PIRP irp) {
  std::shared_ptr<RequestRecord> record;
  {
    auto& all = requests();
    std::lock_guard held(all.lock);
    auto found = all.live.find(irp);
    if (found == all.live.end()) return false;
    record = found->second;
    all.live.erase(found);
    auto file = all.pendingByFile.find(irp->Tail.Overlay.OriginalFileObject);
    if (file != all.pendingByFile.end()) file->second.erase(irp);
  }
  std::lock_guard held(requestLock());
  record->completed = true;
  record->done.notify_all();
  return true;
}

}  // namespace internal

NTSTATUS IoManager::open(PDEVICE_OBJECT device, PFILE_OBJECT* file) {
  return open(device, std::u16string(), file);
}

namespace {
void freeFileObject(PFILE_OBJECT file) {
  delete[] file->FileName.Buffer;
  delete file;
}
}  // namespace

NTSTATUS IoManager::open(PDEVICE_OBJECT device, const std::u16string& referenceString,
                         PFILE_OBJECT* file) {
  auto* created = new FILE_OBJECT{};
  created->DeviceObject = device;
  if (!referenceString.empty()) {
    auto* name = new char16_t[referenceString.size() + 1];
    std::char_traits<char16_t>::copy(name, referenceString.c_str(), referenceString.size() + 1);
    created->FileName.Buffer = name;
    created->FileName.Length = static_cast<USHORT>(referenceString.size() * sizeof(char16_t));
    created->FileName.MaximumLength = static_cast<USHORT>(created->FileName.Length + 2);
  }
  auto record = send(created, IRP_MJ_CREATE, newRecord(created, IRP_MJ_CREATE));
  const NTSTATUS status = Request(record).wait(nullptr);
  if (!NT_SUCCESS(status)) {
    freeFileObject(created);
    *file = nullptr;
    return status;
  }
  *file = created;
  return status;
}

std::shared_ptr<PendingRequest> IoManager::deviceControlAsync(PFILE_OBJECT file, ULONG code,
                                                              void* input, ULONG inputLength,
                                                              void* output,
                                                              ULONG outputLength) {
  auto record = newRecord(file, IRP_MJ_DEVICE_CONTROL);
  IRP& irp = record->irp;
  irp.UserBuffer = output;
  PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(&irp);
  next->Parameters.DeviceIoControl.IoControlCode = code;
  next->Parameters.DeviceIoControl.Type3InputBuffer = input;
  next->Parameters.DeviceIoControl.InputBufferLength = inputLength;
  next->Parameters.DeviceIoControl.OutputBufferLength = outputLength;
  return std::make_shared<Request>(send(file, IRP_MJ_DEVICE_CONTROL, record));
}

NTSTATUS IoManager::deviceControl(PFILE_OBJECT file, ULONG code, void* input, ULONG inputLength,
                                  void* output, ULONG outputLength, ULONG_PTR* information) {
  return deviceControlAsync(file, code, input, inputLength, output, outputLength)
      ->wait(information);
}

void IoManager::close(PFILE_OBJECT file) {
  std::vector<PIRP> pending;
  {
    auto& all = requests();
    std::lock_guard held(all.lock);
    auto found = all.pendingByFile.find(file);
    if (found != all.pendingByFile.end()) pending.assign(found->second.begin(), found->second.end());
  }
  for (PIRP irp : pending) {
    // The request may complete on its own meanwhile; keep it alive while cancelling.
    std::shared_ptr<internal::RequestRecord> keep;
    {
      auto& all = requests();
      std::lock_guard held(all.lock);
      auto found = all.live.find(irp);
      if (found == all.live.end()) continue;
      keep = found->second;
    }
    IoCancelIrp(irp);
  }
  Request(send(file, IRP_MJ_CLEANUP, newRecord(file, IRP_MJ_CLEANUP))).wait(nullptr);
  Request(send(file, IRP_MJ_CLOSE, newRecord(file, IRP_MJ_CLOSE))).wait(nullptr);
  {
    auto& all = requests();
    std::lock_guard held(all.lock);
    all.pendingByFile.erase(file);
  }
  freeFileObject(file);
}

int IoManager::pendingRequests(PFILE_OBJECT file) {
  auto& all = requests();
  std::lock_guard held(all.lock);
  auto found = all.pendingByFile.find(file);
  return found == all.pendingByFile.end() ? 0 : static_cast<int>(found->second.size());
}

PDRIVER_OBJECT IoManager::createDriverObject(const char16_t* serviceName) {
  auto* driver = new DRIVER_OBJECT{};
  driver->DriverExtension = new DRIVER_EXTENSION{};
  driver->DriverExtension->DriverObject = driver;
  const std::size_t length = std::char_traits<char16_t>::length(serviceName);
  auto* name = new char16_t[length + 1];
  std::char_traits<char16_t>::copy(name, serviceName, length + 1);
  auto& key = driver->DriverExtension->ServiceKeyName;
  key.Buffer = name;
  key.Length = static_cast<USHORT>(length * sizeof(char16_t));
  key.MaximumLength = static_cast<USHORT>((length + 1) * sizeof(char16_t));
  return driver;
}

void IoManager::deleteDriverObject(PDRIVER_OBJECT driver) {
  delete[] driver->DriverExtension->ServiceKeyName.Buffer;
  delete driver->DriverExtension;
  delete driver;
}

}  // namespace kernel
