// The port class's own objects. Each is allocated in pool under its own tag,
// so the verifier's accounting shows whose memory is left at unload.
#pragma once

#include <vector>

#include "kernel/portcls/PortCls.h"

namespace kernel::portcls {

inline constexpr ULONG kTagResourceList = 0x4C526350;  // "PcRL"
inline constexpr ULONG kTagDmaChannel = 0x43446350;    // "PcDC"
inline constexpr ULONG kTagInterruptSync = 0x53496350; // "PcIS"
inline constexpr ULONG kTagServiceGroup = 0x47536350;  // "PcSG"
inline constexpr ULONG kTagPort = 0x74506350;          // "PcPt"

class ResourceList final : public IResourceList, public CUnknown {
 public:
  ResourceList(PUNKNOWN outer, const std::vector<CM_PARTIAL_RESOURCE_DESCRIPTOR>& entries);
  ~ResourceList() override;
  DECLARE_STD_UNKNOWN()

  STDMETHODIMP_(ULONG) NumberOfEntries() override;
  STDMETHODIMP_(ULONG) NumberOfEntriesOfType(CM_RESOURCE_TYPE type) override;
  STDMETHODIMP_(PCM_PARTIAL_RESOURCE_DESCRIPTOR) FindTranslatedEntry(CM_RESOURCE_TYPE type,
                                                                     ULONG index) override;
  STDMETHODIMP_(PCM_PARTIAL_RESOURCE_DESCRIPTOR) FindUntranslatedEntry(CM_RESOURCE_TYPE type,
                                                                       ULONG index) override;

 private:
  PCM_PARTIAL_RESOURCE_DESCRIPTOR entries = nullptr;  // pool copy
  ULONG count = 0;
};

class DmaChannel final : public IDmaChannel, public CUnknown {
 public:
  DmaChannel(PUNKNOWN outer, ULONG maximumLength, bool addresses32);
  ~DmaChannel() override;
  DECLARE_STD_UNKNOWN()

  STDMETHODIMP AllocateBuffer(ULONG bufferSize, PPHYSICAL_ADDRESS constraint) override;
  STDMETHODIMP_(void) FreeBuffer() override;
  STDMETHODIMP_(ULONG) TransferCount() override;
  STDMETHODIMP_(ULONG) MaximumBufferSize() override;
  STDMETHODIMP_(ULONG) AllocatedBufferSize() override;
  STDMETHODIMP_(ULONG) BufferSize() override;
  STDMETHODIMP_(void) SetBufferSize(ULONG bufferSize) override;
  STDMETHODIMP_(PVOID) SystemAddress() override;
  STDMETHODIMP_(PHYSICAL_ADDRESS) PhysicalAddress() override;
  STDMETHODIMP_(void) CopyTo(PVOID destination, PVOID source, ULONG byteCount) override;
  STDMETHODIMP_(void) CopyFrom(PVOID destination, PVOID source, ULONG byteCount) override;

 private:
  ULONG maximumLength;
  bool addresses32;
  PVOID buffer = nullptr;
  PHYSICAL_ADDRESS physical{};
  ULONG allocatedSize = 0;
  ULONG bufferSize = 0;
};

class InterruptSync final : public IInterruptSync, public CUnknown {
 public:
  InterruptSync(PUNKNOWN outer, ULONG vector, INTERRUPTSYNCMODE mode);
  ~InterruptSync() override;
  DECLARE_STD_UNKNOWN()

  STDMETHODIMP CallSynchronizedRoutine(PINTERRUPTSYNCROUTINE routine,
                                       PVOID dynamicContext) override;
  STDMETHODIMP_(PKINTERRUPT) GetKInterrupt() override;
  STDMETHODIMP Connect() override;
  STDMETHODIMP_(void) Disconnect() override;
  STDMETHODIMP RegisterServiceRoutine(PINTERRUPTSYNCROUTINE routine, PVOID dynamicContext,
                                      BOOLEAN first) override;

 private:
  static BOOLEAN service(PKINTERRUPT interrupt, PVOID context);

  struct Routine {
    PINTERRUPTSYNCROUTINE routine;
    PVOID context;
  };
  ULONG vector;
  INTERRUPTSYNCMODE mode;
  KSPIN_LOCK lock = 0;
  PKINTERRUPT interrupt = nullptr;
  std::vector<Routine> routines;
};

class ServiceGroup final : public IServiceGroup, public CUnknown {
 public:
  explicit ServiceGroup(PUNKNOWN outer);
  ~ServiceGroup() override;
  DECLARE_STD_UNKNOWN()

  STDMETHODIMP_(void) RequestService() override;
  STDMETHODIMP AddMember(PSERVICESINK serviceSink) override;
  STDMETHODIMP_(void) RemoveMember(PSERVICESINK serviceSink) override;
  STDMETHODIMP_(void) SupportDelayedService() override;
  STDMETHODIMP_(void) RequestDelayedService(ULONGLONG delay) override;
  STDMETHODIMP_(void) CancelDelayedService() override;

 private:
  KSPIN_LOCK lock = 0;
  std::vector<PSERVICESINK> members;  // referenced
};

}  // namespace kernel::portcls
