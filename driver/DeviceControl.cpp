// The driver's private device-control codes. Every request is bracketed by
// the remove lock; its buffers are the caller's own (METHOD_NEITHER), so the
// dispatcher probes them, copies what it reads in and what it answers out,
// and checks that each is as long as the code's layout before anything happens.
#include "DeviceControl.h"

#include "CardCommon.h"
#include "CardContext.h"
#include "Controller.h"
#include "FormatChange.h"
#include "LowLatency.h"
#include "shared/CardControl.h"

using namespace cardctl;

namespace {

PDRIVER_DISPATCH portClassDeviceControl;
PVOID const kRemoveLockTag = reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(kTagRemoveLock));

// What a code's layout needs of the buffers. The output's first bytes may be
// read (the owner token, the action byte) as well as written.
struct Layout {
  ULONG code;
  ULONG inputBytes;    // read from the input
  ULONG outputRead;    // read from the output before the action
  ULONG outputWritten; // written to the output on success
  bool ownerChecked;
};

constexpr Layout kLayouts[] = {
    {IOCTL_CARD_LL_START, 0, kTokenBytes, 0, true},
    {IOCTL_CARD_LL_STOP, 0, kTokenBytes, 0, true},
    {IOCTL_CARD_LL_SET_EVENTS, 0, kActionOffset + 1, 0, true},
    {IOCTL_CARD_LL_MAP_BUFFERS, 0, kActionOffset + 1, 0, true},
    {IOCTL_CARD_LL_BUFFER_DONE, 4, kTokenBytes, 0, true},
    {IOCTL_CARD_LL_CLIENT_VALUE, 1, 8, 0, true},
    {IOCTL_CARD_MCU_MAILBOX, 0, 1, 0, false},
    {IOCTL_CARD_SET_SWITCH, 2, 0, 0, false},
    {IOCTL_CARD_LL_CLAIM, 0, 0, 4, false},
    {IOCTL_CARD_LL_RELEASE, 0, kTokenBytes, 0, true},
    {IOCTL_CARD_SET_FORMAT, 12, 0, 4, false},
    {IOCTL_CARD_GET_FORMAT, 0, 0, 16, false},
    {IOCTL_CARD_SET_REC_VOLUME, 4, 0, 0, false},
    {IOCTL_CARD_NOP, 0, 0, 0, false},
    {IOCTL_CARD_GET_SWITCHES, 0, 0, 12, false},
    {IOCTL_CARD_GET_REC_VOLUME, 0, 0, 4, false},
    {IOCTL_CARD_SET_DUCKING, 8, 0, 0, false},
    {IOCTL_CARD_GET_DUCKING, 0, 0, 16, false},
    {IOCTL_CARD_LL_WATCHDOG, 0, 0, 0, false},
    {IOCTL_CARD_START_ENGINE, 0, 0, 0, false},
};

const Layout* FindLayout(ULONG code) {
  for (const auto& layout : kLayouts) {
    if (layout.code == code) return &layout;
  }
  return nullptr;
}

// The request as the action sees it: copies of the caller's bytes.
struct Request {
  ULONG code;
  UCHAR input[kMapInputBytes];
  ULONG inputLength;
  UCHAR output[16];
  ULONG outputLength;
  ULONG answered;  // bytes of output to copy back on success
};

ULONG Word(const UCHAR* bytes, ULONG index) {
  ULONG value;
  RtlCopyMemory(&value, bytes + 4 * index, sizeof value);
  return value;
}

VOID PutWord(Request& request, ULONG index, ULONG value) {
  RtlCopyMemory(request.output + 4 * index, &value, sizeof value);
  if (request.answered < 4 * (index + 1)) request.answered = 4 * (index + 1);
}

bool OwnerMatches(ULONG token) {
  KIRQL old;
  KeAcquireSpinLock(&lowLatency.claimLock, &old);
  const bool owner = lowLatency.claimed && lowLatency.ownerToken == token;
  KeReleaseSpinLock(&lowLatency.claimLock, old);
  return owner;
}

NTSTATUS Claim(Request& request) {
  StartEngine();  // a no-op once started
  static ULONG lastToken;
  KIRQL old;
  KeAcquireSpinLock(&lowLatency.claimLock, &old);
  if (lowLatency.claimed) {
    KeReleaseSpinLock(&lowLatency.claimLock, old);
    return STATUS_UNSUCCESSFUL;
  }
  // The counter's low word; never the token just given up, so that an old
  // owner cannot pass for the new one when the counter has not moved.
  ULONG token = KeQueryPerformanceCounter(nullptr).u.LowPart;
  if (token == lastToken) ++token;
  lastToken = token;
  lowLatency.ownerToken = token;
  InterlockedExchange(&lowLatency.claimed, 1);
  KeReleaseSpinLock(&lowLatency.claimLock, old);
  PutWord(request, 0, token);
  return STATUS_SUCCESS;
}

// Switches, volume, ducking and the format are the service tick's to read:
// they change, and are read back, under streamLock (UnderStreamLock).
NTSTATUS Act(Request& request) {
  auto& card = cardContext;
  const UCHAR action = request.output[kActionOffset];
  switch (request.code) {
    case IOCTL_CARD_LL_START:
      LlStart();
      return STATUS_SUCCESS;
    case IOCTL_CARD_LL_STOP:
      LlStop();
      return STATUS_SUCCESS;
    case IOCTL_CARD_LL_SET_EVENTS:
      if (action == 0) {
        ReleaseEvents();
        return STATUS_SUCCESS;
      }
      if (request.inputLength != kEventsInputBytes) return STATUS_INVALID_PARAMETER;
      return SetEvents(request.input, request.inputLength);
    case IOCTL_CARD_LL_MAP_BUFFERS:
      if (action == 0) {
        UnmapClientBuffers();
        return STATUS_SUCCESS;
      }
      if (request.inputLength != kMapInputBytes) return STATUS_INVALID_PARAMETER;
      return MapClientBuffers(request.input, request.inputLength);
    case IOCTL_CARD_LL_BUFFER_DONE: {
      const ULONG half = Word(request.input, 0);
      if (half > 1) return STATUS_INVALID_PARAMETER;
      InterlockedExchange(&card.llHalf, static_cast<LONG>(half));
      InterleavePlayHalf(half);
      return STATUS_SUCCESS;
    }
    case IOCTL_CARD_LL_CLIENT_VALUE:
      if (request.input[0] != 0) {
        lowLatency.clientValue = Word(request.output, 1);
      } else {
        PutWord(request, 1, lowLatency.clientValue);
      }
      return STATUS_SUCCESS;
    case IOCTL_CARD_MCU_MAILBOX:
      if (request.output[0] == kMailboxReadReply) {
        if (request.outputLength < cardctl::kPacketBytes) return STATUS_BUFFER_TOO_SMALL;
        ReadControllerReply(request.output);
        request.answered = cardctl::kPacketBytes;
        return STATUS_SUCCESS;
      }
      // The mailbox holds one packet: exactly one is accepted.
      if (request.inputLength != cardctl::kPacketBytes) return STATUS_INVALID_PARAMETER;
      SendControllerPacket(request.input, cardctl::kPacketBytes);
      return STATUS_SUCCESS;
    case IOCTL_CARD_SET_SWITCH: {
      const LONG value = request.input[1] ? 1 : 0;
      switch (request.input[0]) {
        case kSwitchMonitor: UnderStreamLock([value](CardContext& c) { c.monitorEnabled = value; }); break;
        case kSwitchLoopback: UnderStreamLock([value](CardContext& c) { c.loopbackEnabled = value; }); break;
        case kSwitchMode: UnderStreamLock([value](CardContext& c) { c.routingMode = value; }); break;
        default: break;
      }
      return STATUS_SUCCESS;
    }
    case IOCTL_CARD_LL_CLAIM:
      return Claim(request);
    case IOCTL_CARD_LL_RELEASE:
      InterlockedExchange(&lowLatency.claimed, 0);
      return STATUS_SUCCESS;
    case IOCTL_CARD_SET_FORMAT:
      PutWord(request, 0,
              ChangeCardFormat(Word(request.input, 1), Word(request.input, 0),
                               Word(request.input, 2)));
      return STATUS_SUCCESS;
    case IOCTL_CARD_GET_FORMAT: {
      // One snapshot: a format change writes the three together.
      UnderStreamLock([&](CardContext& c) {
        PutWord(request, 0, c.sampleRate);
        PutWord(request, 1, c.bitDepth);
        PutWord(request, 2, c.bufferFrames);
        PutWord(request, 3, (c.renderRunning ? kActivityRender : 0) |
                                (c.captureRunning ? kActivityCapture : 0) |
                                ((c.llRunning || ReadLongAcquire(&lowLatency.claimed))
                                     ? kActivityLowLatency
                                     : 0));
      });
      return STATUS_SUCCESS;
    }
    case IOCTL_CARD_SET_REC_VOLUME: {
      const auto volume = static_cast<LONG>(Word(request.input, 0));
      if (volume < kMinRecordVolume || volume > kMaxRecordVolume) return STATUS_INVALID_PARAMETER;
      UnderStreamLock([volume](CardContext& c) { c.recordVolume = volume; });
      return STATUS_SUCCESS;
    }
    case IOCTL_CARD_NOP:
      return STATUS_SUCCESS;
    case IOCTL_CARD_GET_SWITCHES:
      UnderStreamLock([&](CardContext& c) {
        PutWord(request, 0, c.routingMode ? 1 : 0);
        PutWord(request, 1, c.loopbackEnabled ? 1 : 0);
        PutWord(request, 2, c.monitorEnabled ? 1 : 0);
      });
      return STATUS_SUCCESS;
    case IOCTL_CARD_GET_REC_VOLUME:
      UnderStreamLock([&](CardContext& c) { PutWord(request, 0, static_cast<ULONG>(c.recordVolume)); });
      return STATUS_SUCCESS;
    case IOCTL_CARD_SET_DUCKING: {
      const ULONG type = Word(request.input, 0);
      const auto value = static_cast<LONG>(Word(request.input, 1));
      if (type == kDuckingSwitch) {
        UnderStreamLock([value](CardContext& c) { c.duckingEnabled = value; });
      } else if (type == kDuckingSensitivity) {
        // A sensitivity of 0 or less would turn ducking into amplification.
        if (value <= 0) return STATUS_INVALID_PARAMETER;
        UnderStreamLock([value](CardContext& c) { c.duckingSensitivity = value; });
      }
      return STATUS_SUCCESS;
    }
    case IOCTL_CARD_GET_DUCKING:
      UnderStreamLock([&](CardContext& c) {
        PutWord(request, 0, static_cast<ULONG>(c.duckingEnabled));
        PutWord(request, 1, static_cast<ULONG>(c.duckingSensitivity));
        PutWord(request, 2, c.duckingReserved[0]);
        PutWord(request, 3, c.duckingReserved[1]);
      });
      return STATUS_SUCCESS;
    case IOCTL_CARD_START_ENGINE:
      StartEngine();  // a no-op once started
      return STATUS_SUCCESS;
    default:
      return STATUS_INVALID_DEVICE_REQUEST;
  }
}

// The watchdog's cancellation tears the low-latency client down, in this
// order, with the cancel spin lock held.
VOID CancelWatchdog(PDEVICE_OBJECT, PIRP irp) {
  InterlockedExchange(&lowLatency.claimed, 0);
  LlStop();
  UnmapClientBuffers();
  ReleaseEvents();
  irp->IoStatus.Information = 0;
  irp->IoStatus.Status = STATUS_CANCELLED;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  IoReleaseCancelSpinLock(irp->CancelIrql);
}

NTSTATUS PendWatchdog(PIRP irp) {
  IoMarkIrpPending(irp);
  IoSetCancelRoutine(irp, CancelWatchdog);
  // Cancelled before the routine was in place: tear down now.
  if (irp->Cancel && IoSetCancelRoutine(irp, nullptr)) {
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    irp->CancelIrql = irql;
    CancelWatchdog(nullptr, irp);
  }
  return STATUS_PENDING;
}

NTSTATUS Complete(PIRP irp, NTSTATUS status) {
  irp->IoStatus.Information = 0;
  irp->IoStatus.Status = status;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

// Copies in what the layout reads and checks the lengths; nothing has
// happened yet when this fails.
NTSTATUS Capture(const Layout& layout, PVOID input, ULONG inputLength, PVOID output,
                 ULONG outputLength, Request& request) {
  if (inputLength < layout.inputBytes || (layout.inputBytes && !input)) {
    return STATUS_INVALID_PARAMETER;
  }
  if (outputLength < layout.outputRead || (layout.outputRead && !output)) {
    return STATUS_INVALID_PARAMETER;
  }
  if (outputLength < layout.outputWritten || (layout.outputWritten && !output)) {
    return STATUS_BUFFER_TOO_SMALL;
  }
  // The layouts read at most 72 input bytes and 16 output bytes.
  const ULONG inputBytes = inputLength < sizeof request.input ? inputLength : sizeof request.input;
  const ULONG outputBytes =
      outputLength < sizeof request.output ? outputLength : sizeof request.output;
  __try {
    if (input && inputBytes) {
      ProbeForRead(input, inputBytes, 1);
      RtlCopyMemory(request.input, input, inputBytes);
    }
    if (output && outputBytes) {
      ProbeForWrite(output, outputBytes, 1);
      RtlCopyMemory(request.output, output, outputBytes);
    }
  } __except (EXCEPTION_EXECUTE_HANDLER) {
    return GetExceptionCode();
  }
  return STATUS_SUCCESS;
}

}  // namespace

VOID HookDeviceControl(PDRIVER_OBJECT driverObject) {
  portClassDeviceControl = driverObject->MajorFunction[IRP_MJ_DEVICE_CONTROL];
  driverObject->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DeviceControlDispatch;
}

NTSTATUS DeviceControlDispatch(PDEVICE_OBJECT deviceObject, PIRP irp) {
  NTSTATUS status =
      IoAcquireRemoveLockEx(&lowLatency.removeLock, kRemoveLockTag, __FILE__, __LINE__,
                            kRemoveLockSize);
  if (!NT_SUCCESS(status)) return Complete(irp, status);

  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  const auto& parameters = stack->Parameters.DeviceIoControl;
  const Layout* layout = FindLayout(parameters.IoControlCode);
  if (!layout) {
    IoReleaseRemoveLockEx(&lowLatency.removeLock, kRemoveLockTag, kRemoveLockSize);
    return portClassDeviceControl(deviceObject, irp);
  }
  if (layout->code == IOCTL_CARD_LL_WATCHDOG) {
    status = PendWatchdog(irp);
    IoReleaseRemoveLockEx(&lowLatency.removeLock, kRemoveLockTag, kRemoveLockSize);
    return status;
  }

  Request request{};
  request.code = layout->code;
  request.inputLength = parameters.InputBufferLength;
  request.outputLength = parameters.OutputBufferLength;
  status = Capture(*layout, parameters.Type3InputBuffer, parameters.InputBufferLength,
                   irp->UserBuffer, parameters.OutputBufferLength, request);
  if (NT_SUCCESS(status) && layout->ownerChecked && !OwnerMatches(Word(request.output, 0))) {
    status = STATUS_UNSUCCESSFUL;
  }
  if (NT_SUCCESS(status)) status = Act(request);
  if (NT_SUCCESS(status) && request.answered) {
    __try {
      RtlCopyMemory(irp->UserBuffer, request.output, request.answered);
    } __except (EXCEPTION_EXECUTE_HANDLER) {
      status = GetExceptionCode();
    }
  }
  Complete(irp, status);
  IoReleaseRemoveLockEx(&lowLatency.removeLock, kRemoveLockTag, kRemoveLockSize);
  return status;
}
