// The port class's own dispatch: handles on filters, and property requests
// routed to the miniports' automation tables.
#include "Ports.h"
#include "kernel/host/PortClassHost.h"

namespace kernel::portcls {

namespace {

NTSTATUS complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

// A handle names a filter by its reference string: the subdevice's name.
NTSTATUS openFilter(PDEVICE_OBJECT device, PIO_STACK_LOCATION stack) {
  PFILE_OBJECT file = stack->FileObject;
  if (!file || !file->FileName.Buffer || file->FileName.Length == 0) return STATUS_SUCCESS;
  const std::u16string name(file->FileName.Buffer, file->FileName.Length / sizeof(WCHAR));
  for (const auto& subdevice : PortClassHost::subdevices()) {
    if (subdevice.device == device && subdevice.name == name) {
      subdevice.port->AddRef();
      file->FsContext = subdevice.port;
      return STATUS_SUCCESS;
    }
  }
  return STATUS_OBJECT_NAME_NOT_FOUND;
}

VOID closeFilter(PIO_STACK_LOCATION stack) {
  PFILE_OBJECT file = stack->FileObject;
  if (file && file->FsContext) {
    static_cast<PUNKNOWN>(file->FsContext)->Release();
    file->FsContext = nullptr;
  }
}

const PCPROPERTY_ITEM* findItem(const PCAUTOMATION_TABLE* table, const KSPROPERTY& property) {
  if (!table || !table->Properties) return nullptr;
  const auto* bytes = reinterpret_cast<const UCHAR*>(table->Properties);
  for (ULONG i = 0; i < table->PropertyCount; ++i) {
    const auto* item = reinterpret_cast<const PCPROPERTY_ITEM*>(bytes + i * table->PropertyItemSize);
    if (item->Set && IsEqualGUIDAligned(*item->Set, property.Set) && item->Id == property.Id) {
      return item;
    }
  }
  return nullptr;
}

// IOCTL_KS_PROPERTY. The request and value stay in the caller's buffers; the
// sizes are checked here so a handler never sees a buffer shorter than stated.
NTSTATUS handleProperty(PIRP irp, PIO_STACK_LOCATION stack) {
  PFILE_OBJECT file = stack->FileObject;
  PortBase* port = file ? portOf(static_cast<PUNKNOWN>(file->FsContext)) : nullptr;
  if (!port) return complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
  const auto& parameters = stack->Parameters.DeviceIoControl;
  auto* input = static_cast<PUCHAR>(parameters.Type3InputBuffer);
  const ULONG inputLength = parameters.InputBufferLength;
  if (!input || inputLength < sizeof(KSPROPERTY)) {
    return complete(irp, STATUS_INVALID_PARAMETER, 0);
  }
  if (parameters.OutputBufferLength && !irp->UserBuffer) {
    return complete(irp, STATUS_INVALID_PARAMETER, 0);
  }
  KSPROPERTY property;
  std::memcpy(&property, input, sizeof property);
  const ULONG verb =
      property.Flags & (KSPROPERTY_TYPE_GET | KSPROPERTY_TYPE_SET | KSPROPERTY_TYPE_BASICSUPPORT);
  if (verb != KSPROPERTY_TYPE_GET && verb != KSPROPERTY_TYPE_SET &&
      verb != KSPROPERTY_TYPE_BASICSUPPORT) {
    return complete(irp, STATUS_INVALID_PARAMETER, 0);
  }
  const PCFILTER_DESCRIPTOR* descriptor = port->description();
  if (!descriptor) return complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);

  ULONG node = PCFILTER_NODE;
  ULONG headerSize = sizeof(KSPROPERTY);
  const PCAUTOMATION_TABLE* table = descriptor->AutomationTable;
  if (property.Flags & KSPROPERTY_TYPE_TOPOLOGY) {
    if (inputLength < sizeof(KSP_NODE)) return complete(irp, STATUS_INVALID_PARAMETER, 0);
    std::memcpy(&node, input + offsetof(KSP_NODE, NodeId), sizeof node);
    if (node >= descriptor->NodeCount) return complete(irp, STATUS_INVALID_PARAMETER, 0);
    const auto* nodes = reinterpret_cast<const UCHAR*>(descriptor->Nodes);
    table = reinterpret_cast<const PCNODE_DESCRIPTOR*>(nodes + node * descriptor->NodeSize)
                ->AutomationTable;
    headerSize = sizeof(KSP_NODE);
  }
  const PCPROPERTY_ITEM* item = findItem(table, property);
  if (!item || !item->Handler || !(item->Flags & verb)) {
    return complete(irp, STATUS_NOT_FOUND, 0);
  }

  PCPROPERTY_REQUEST request{};
  request.MajorTarget = port->miniportInterface();
  request.Node = node;
  request.PropertyItem = item;
  request.Verb = verb;
  request.InstanceSize = inputLength - headerSize;
  request.Instance = request.InstanceSize ? input + headerSize : nullptr;
  request.ValueSize = parameters.OutputBufferLength;
  request.Value = parameters.OutputBufferLength ? irp->UserBuffer : nullptr;
  request.Irp = irp;
  const NTSTATUS status = item->Handler(&request);
  ULONG_PTR returned = 0;
  if (status == STATUS_BUFFER_OVERFLOW) {
    returned = request.ValueSize;  // the size the caller needs
  } else if (NT_SUCCESS(status)) {
    returned = std::min(request.ValueSize, parameters.OutputBufferLength);
  }
  return complete(irp, status, returned);
}

}  // namespace

}  // namespace kernel::portcls

using namespace kernel::portcls;

NTSTATUS PcDispatchIrp(PDEVICE_OBJECT deviceObject, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  switch (stack->MajorFunction) {
    case IRP_MJ_CREATE:
      return complete(irp, openFilter(deviceObject, stack), 0);
    case IRP_MJ_CLOSE:
      closeFilter(stack);
      return complete(irp, STATUS_SUCCESS, 0);
    case IRP_MJ_CLEANUP:
      return complete(irp, STATUS_SUCCESS, 0);
    case IRP_MJ_DEVICE_CONTROL:
      if (stack->Parameters.DeviceIoControl.IoControlCode == IOCTL_KS_PROPERTY) {
        return handleProperty(irp, stack);
      }
      return complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    default:
      return complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
  }
}
