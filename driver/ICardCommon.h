// The adapter object's own interface, handed to both miniports.
#pragma once

#include "Kernel.h"

struct IWaveNotify;
class TopologyMiniport;

// {34B338A2-BB40-4ECD-B97A-AEB03F325825}
inline constexpr GUID IID_ICardCommon = {0x34B338A2, 0xBB40, 0x4ECD,
                                         {0xB9, 0x7A, 0xAE, 0xB0, 0x3F, 0x32, 0x58, 0x25}};

// The words the adapter shares with the miniports.
struct HardwareBlock {
  PUCHAR registers;
  PUCHAR auxRegisters;
  IWaveNotify* waveNotify;     // set by the wave miniport's Init
  TopologyMiniport* topology;  // set by the topology miniport's Init, cleared by its destructor
};

struct ICardCommon : IUnknown {
  STDMETHOD(Init)(PRESOURCELIST resourceList, PDEVICE_OBJECT deviceObject) = 0;
  STDMETHOD_(PINTERRUPTSYNC, GetInterruptSync)() = 0;
  STDMETHOD_(PDEVICE_OBJECT, GetDeviceObject)() = 0;
  STDMETHOD_(HardwareBlock*, GetHardwareBlock)() = 0;
};
using PCARDCOMMON = ICardCommon*;

// The wave miniport's private interface, reached through the hardware block.
struct IWaveNotify : IUnknown {
  STDMETHOD_(void, NotifyStream)(ULONG index) = 0;
  STDMETHOD_(void, RestoreStreamStates)() = 0;
  STDMETHOD_(void, PowerDown)() = 0;
};
