// The port class driver as an adapter driver sees it: adapter set-up, ports
// and miniports, DMA channels, interrupt synchronisation, service groups,
// resource lists and adapter power management.
#pragma once

#include "kernel/Interrupt.h"
#include "kernel/Irp.h"
#include "kernel/portcls/Ks.h"
#include "kernel/portcls/Unknown.h"

// Interface and class identifiers of the port class.
extern const GUID IID_IPort;
extern const GUID IID_IPortWaveCyclic;
extern const GUID IID_IPortTopology;
extern const GUID IID_IMiniport;
extern const GUID IID_IMiniportWaveCyclic;
extern const GUID IID_IMiniportWaveCyclicStream;
extern const GUID IID_IMiniportTopology;
extern const GUID IID_IDmaChannel;
extern const GUID IID_IInterruptSync;
extern const GUID IID_IServiceSink;
extern const GUID IID_IServiceGroup;
extern const GUID IID_IResourceList;
extern const GUID IID_IAdapterPowerManagement;
extern const GUID IID_IDrmAudioStream;
extern const GUID CLSID_PortWaveCyclic;
extern const GUID CLSID_PortTopology;

// ---- Resources --------------------------------------------------------------

using CM_RESOURCE_TYPE = UCHAR;
#define CmResourceTypeNull 0
#define CmResourceTypePort 1
#define CmResourceTypeInterrupt 2
#define CmResourceTypeMemory 3
#define CmResourceTypeDma 4

struct CM_PARTIAL_RESOURCE_DESCRIPTOR {
  UCHAR Type;
  UCHAR ShareDisposition;
  USHORT Flags;
  union {
    struct {
      PHYSICAL_ADDRESS Start;
      ULONG Length;
    } Generic;
    struct {
      PHYSICAL_ADDRESS Start;
      ULONG Length;
    } Memory;
    struct {
      ULONG Level;
      ULONG Vector;
      ULONG_PTR Affinity;
    } Interrupt;
  } u;
};
using PCM_PARTIAL_RESOURCE_DESCRIPTOR = CM_PARTIAL_RESOURCE_DESCRIPTOR*;

struct IResourceList : IUnknown {
  STDMETHOD_(ULONG, NumberOfEntries)() = 0;
  STDMETHOD_(ULONG, NumberOfEntriesOfType)(CM_RESOURCE_TYPE type) = 0;
  // The index-th entry of the type, or null.
  STDMETHOD_(PCM_PARTIAL_RESOURCE_DESCRIPTOR, FindTranslatedEntry)(CM_RESOURCE_TYPE type,
                                                                   ULONG index) = 0;
  STDMETHOD_(PCM_PARTIAL_RESOURCE_DESCRIPTOR, FindUntranslatedEntry)(CM_RESOURCE_TYPE type,
                                                                     ULONG index) = 0;
};
using PRESOURCELIST = IResourceList*;

// ---- Power ------------------------------------------------------------------

enum DEVICE_POWER_STATE {
  PowerDeviceUnspecified = 0,
  PowerDeviceD0 = 1,
  PowerDeviceD1 = 2,
  PowerDeviceD2 = 3,
  PowerDeviceD3 = 4,
  PowerDeviceMaximum = 5,
};

union POWER_STATE {
  DEVICE_POWER_STATE DeviceState;
  ULONG SystemState;
};

struct DEVICE_CAPABILITIES;
using PDEVICE_CAPABILITIES = DEVICE_CAPABILITIES*;

struct IAdapterPowerManagement : IUnknown {
  STDMETHOD_(void, PowerChangeState)(POWER_STATE newState) = 0;
  STDMETHOD(QueryPowerChangeState)(POWER_STATE newStateQuery) = 0;
  STDMETHOD(QueryDeviceCapabilities)(PDEVICE_CAPABILITIES powerDeviceCaps) = 0;
};
using PADAPTERPOWERMANAGEMENT = IAdapterPowerManagement*;

// ---- DMA, interrupts, service groups -----------------------------------------

struct IDmaChannel : IUnknown {
  // Allocates the channel's common buffer (contiguous, physical address
  // within the channel's address width).
  STDMETHOD(AllocateBuffer)(ULONG bufferSize, PPHYSICAL_ADDRESS physicalAddressConstraint) = 0;
  STDMETHOD_(void, FreeBuffer)() = 0;
  STDMETHOD_(ULONG, TransferCount)() = 0;
  STDMETHOD_(ULONG, MaximumBufferSize)() = 0;
  STDMETHOD_(ULONG, AllocatedBufferSize)() = 0;
  STDMETHOD_(ULONG, BufferSize)() = 0;
  STDMETHOD_(void, SetBufferSize)(ULONG bufferSize) = 0;
  STDMETHOD_(PVOID, SystemAddress)() = 0;
  STDMETHOD_(PHYSICAL_ADDRESS, PhysicalAddress)() = 0;
  STDMETHOD_(void, CopyTo)(PVOID destination, PVOID source, ULONG byteCount) = 0;
  STDMETHOD_(void, CopyFrom)(PVOID destination, PVOID source, ULONG byteCount) = 0;
};
using PDMACHANNEL = IDmaChannel*;

using PINTERRUPTSYNCROUTINE = NTSTATUS (*)(struct IInterruptSync* interruptSync,
                                           PVOID dynamicContext);

enum INTERRUPTSYNCMODE {
  InterruptSyncModeNormal = 1,
  InterruptSyncModeAll,
  InterruptSyncModeRepeat,
};

struct IInterruptSync : IUnknown {
  // Runs the routine at the interrupt's level, never alongside the service routines.
  STDMETHOD(CallSynchronizedRoutine)(PINTERRUPTSYNCROUTINE routine, PVOID dynamicContext) = 0;
  STDMETHOD_(PKINTERRUPT, GetKInterrupt)() = 0;
  STDMETHOD(Connect)() = 0;
  STDMETHOD_(void, Disconnect)() = 0;
  STDMETHOD(RegisterServiceRoutine)(PINTERRUPTSYNCROUTINE routine, PVOID dynamicContext,
                                    BOOLEAN first) = 0;
};
using PINTERRUPTSYNC = IInterruptSync*;

struct IServiceSink : IUnknown {
  STDMETHOD_(void, RequestService)() = 0;
};
using PSERVICESINK = IServiceSink*;

struct IServiceGroup : IServiceSink {
  STDMETHOD(AddMember)(PSERVICESINK serviceSink) = 0;
  STDMETHOD_(void, RemoveMember)(PSERVICESINK serviceSink) = 0;
  STDMETHOD_(void, SupportDelayedService)() = 0;
  STDMETHOD_(void, RequestDelayedService)(ULONGLONG delay) = 0;
  STDMETHOD_(void, CancelDelayedService)() = 0;
};
using PSERVICEGROUP = IServiceGroup*;

// ---- Filter descriptors ---------------------------------------------------------

struct PCPROPERTY_ITEM;

// A property request as the port hands it to a miniport's handler.
struct PCPROPERTY_REQUEST {
  PUNKNOWN MajorTarget;  // the miniport
  PUNKNOWN MinorTarget;  // the stream, for pin properties
  ULONG Node;            // ULONG(-1) for the filter
  const PCPROPERTY_ITEM* PropertyItem;
  ULONG Verb;            // KSPROPERTY_TYPE_GET, _SET or _BASICSUPPORT
  ULONG InstanceSize;
  PVOID Instance;        // what follows the property (and node) in the request
  ULONG ValueSize;       // in: the buffer's size; out: the bytes answered
  PVOID Value;
  PIRP Irp;
};
using PPCPROPERTY_REQUEST = PCPROPERTY_REQUEST*;
using PCPFNPROPERTY_HANDLER = NTSTATUS (*)(PPCPROPERTY_REQUEST propertyRequest);

#define PCPROPERTY_ITEM_FLAG_GET KSPROPERTY_TYPE_GET
#define PCPROPERTY_ITEM_FLAG_SET KSPROPERTY_TYPE_SET
#define PCPROPERTY_ITEM_FLAG_BASICSUPPORT KSPROPERTY_TYPE_BASICSUPPORT

struct PCPROPERTY_ITEM {
  const GUID* Set;
  ULONG Id;
  ULONG Flags;
  PCPFNPROPERTY_HANDLER Handler;
};

struct PCAUTOMATION_TABLE {
  ULONG PropertyItemSize;
  ULONG PropertyCount;
  const PCPROPERTY_ITEM* Properties;
  ULONG MethodItemSize;
  ULONG MethodCount;
  const void* Methods;
  ULONG EventItemSize;
  ULONG EventCount;
  const void* Events;
  ULONG Reserved;
};
using PPCAUTOMATION_TABLE = const PCAUTOMATION_TABLE*;

// An automation table over a static array of property items.
#define DEFINE_PCAUTOMATION_TABLE_PROP(name, properties)                                 \
  const PCAUTOMATION_TABLE name = {sizeof((properties)[0]),                              \
                                   static_cast<ULONG>(RTL_NUMBER_OF(properties)),        \
                                   (properties), 0, 0, nullptr, 0, 0, nullptr, 0}

struct PCPIN_DESCRIPTOR {
  ULONG MaxGlobalInstanceCount;
  ULONG MaxFilterInstanceCount;
  ULONG MinFilterInstanceCount;
  const PCAUTOMATION_TABLE* AutomationTable;
  KSPIN_DESCRIPTOR KsPinDescriptor;
};

struct PCNODE_DESCRIPTOR {
  ULONG Flags;
  const PCAUTOMATION_TABLE* AutomationTable;
  const GUID* Type;
  const GUID* Name;
};

// A connection between node pins; PCFILTER_NODE as a node means the filter itself.
#define PCFILTER_NODE static_cast<ULONG>(-1)
struct PCCONNECTION_DESCRIPTOR {
  ULONG FromNode;
  ULONG FromNodePin;
  ULONG ToNode;
  ULONG ToNodePin;
};

struct PCFILTER_DESCRIPTOR {
  ULONG Version;
  const PCAUTOMATION_TABLE* AutomationTable;
  ULONG PinSize;
  ULONG PinCount;
  const PCPIN_DESCRIPTOR* Pins;
  ULONG NodeSize;
  ULONG NodeCount;
  const PCNODE_DESCRIPTOR* Nodes;
  ULONG ConnectionCount;
  const PCCONNECTION_DESCRIPTOR* Connections;
  ULONG CategoryCount;
  const GUID* Categories;
};
using PPCFILTER_DESCRIPTOR = PCFILTER_DESCRIPTOR*;

// ---- Ports and miniports ------------------------------------------------------

struct IPort : IUnknown {
  STDMETHOD(Init)(PDEVICE_OBJECT deviceObject, PIRP irp, PUNKNOWN unknownMiniport,
                  PUNKNOWN unknownAdapter, PRESOURCELIST resourceList) = 0;
};
using PPORT = IPort*;

struct IMiniport : IUnknown {
  STDMETHOD(GetDescription)(PPCFILTER_DESCRIPTOR* description) = 0;
  STDMETHOD(DataRangeIntersection)(ULONG pinId, PKSDATARANGE dataRange,
                                   PKSDATARANGE matchingDataRange, ULONG outputBufferLength,
                                   PVOID resultantFormat, PULONG resultantFormatLength) = 0;
};
using PMINIPORT = IMiniport*;

struct IPortWaveCyclic : IPort {
  STDMETHOD_(void, Notify)(PSERVICEGROUP serviceGroup) = 0;
  STDMETHOD(NewMasterDmaChannel)(PDMACHANNEL* dmaChannel, PUNKNOWN outerUnknown,
                                 PRESOURCELIST resourceList, ULONG maximumLength,
                                 BOOLEAN dma32BitAddresses, BOOLEAN dma64BitAddresses,
                                 ULONG dmaWidth, ULONG dmaSpeed) = 0;
};
using PPORTWAVECYCLIC = IPortWaveCyclic*;

struct IPortTopology : IPort {};
using PPORTTOPOLOGY = IPortTopology*;

struct IMiniportWaveCyclicStream : IUnknown {
  STDMETHOD(SetFormat)(PKSDATAFORMAT dataFormat) = 0;
  STDMETHOD_(ULONG, SetNotificationFreq)(ULONG interval, PULONG framingSize) = 0;
  STDMETHOD(SetState)(KSSTATE state) = 0;
  STDMETHOD(GetPosition)(PULONG position) = 0;
  STDMETHOD(NormalizePhysicalPosition)(PLONGLONG physicalPosition) = 0;
  STDMETHOD_(void, Silence)(PVOID buffer, ULONG byteCount) = 0;
};
using PMINIPORTWAVECYCLICSTREAM = IMiniportWaveCyclicStream*;

struct IMiniportWaveCyclic : IMiniport {
  STDMETHOD(Init)(PUNKNOWN unknownAdapter, PRESOURCELIST resourceList,
                  PPORTWAVECYCLIC port) = 0;
  STDMETHOD(NewStream)(PMINIPORTWAVECYCLICSTREAM* stream, PUNKNOWN outerUnknown,
                       POOL_TYPE poolType, ULONG pin, BOOLEAN capture,
                       PKSDATAFORMAT dataFormat, PDMACHANNEL* dmaChannel,
                       PSERVICEGROUP* serviceGroup) = 0;
};
using PMINIPORTWAVECYCLIC = IMiniportWaveCyclic*;

struct IMiniportTopology : IMiniport {
  STDMETHOD(Init)(PUNKNOWN unknownAdapter, PRESOURCELIST resourceList,
                  PPORTTOPOLOGY port) = 0;
};
using PMINIPORTTOPOLOGY = IMiniportTopology*;

struct IDrmAudioStream : IUnknown {
  STDMETHOD(SetContentId)(ULONG contentId, struct DRMRIGHTS* drmRights) = 0;
};

// ---- Port class operations -----------------------------------------------------

using PCPFNSTARTDEVICE = NTSTATUS (*)(PDEVICE_OBJECT deviceObject, PIRP irp,
                                      PRESOURCELIST resourceList);

// Installs the port class's dispatch routines and the adapter's AddDevice.
NTSTATUS PcInitializeAdapterDriver(PDRIVER_OBJECT driverObject, PUNICODE_STRING registryPath,
                                   PDRIVER_ADD_DEVICE addDevice);
NTSTATUS PcAddAdapterDevice(PDRIVER_OBJECT driverObject, PDEVICE_OBJECT physicalDeviceObject,
                            PCPFNSTARTDEVICE startDevice, ULONG maxObjects,
                            ULONG deviceExtensionSize);
NTSTATUS PcNewPort(PPORT* outPort, REFCLSID classId);
NTSTATUS PcNewMiniport(PMINIPORT* outMiniport, REFCLSID classId);
// Publishes the port's filter as a device interface of the device, under name.
NTSTATUS PcRegisterSubdevice(PDEVICE_OBJECT deviceObject, PWSTR name, PUNKNOWN unknown);
NTSTATUS PcRegisterPhysicalConnection(PDEVICE_OBJECT deviceObject, PUNKNOWN fromUnknown,
                                      ULONG fromPin, PUNKNOWN toUnknown, ULONG toPin);
NTSTATUS PcRegisterAdapterPowerManagement(PUNKNOWN unknown, PVOID deviceObject);
NTSTATUS PcNewInterruptSync(PINTERRUPTSYNC* outInterruptSync, PUNKNOWN outerUnknown,
                            PRESOURCELIST resourceList, ULONG resourceIndex,
                            INTERRUPTSYNCMODE mode);
NTSTATUS PcNewServiceGroup(PSERVICEGROUP* outServiceGroup, PUNKNOWN outerUnknown);
// The port class's own handler of requests a driver does not handle itself.
NTSTATUS PcDispatchIrp(PDEVICE_OBJECT deviceObject, PIRP irp);
