// The topology filter's property handlers, as its automation tables name them.
// All run at passive level, on the thread of the caller's request.
#pragma once

#include "Kernel.h"

// Before the first request: the miniport's Init.
VOID initializeMixerLock();

// Master and microphone volume: a 16.16 fixed-point decibel value per channel.
NTSTATUS handleVolumeLevel(PPCPROPERTY_REQUEST request);
// Master mute: a boolean in the mixer record.
NTSTATUS handleMute(PPCPROPERTY_REQUEST request);
// Where the node's processing runs: never on the host processor.
NTSTATUS handleCpuResources(PPCPROPERTY_REQUEST request);
// The filter's manufacturer, product and component identity.
NTSTATUS handleComponentId(PPCPROPERTY_REQUEST request);
// The private property set: a fixed-size placeholder that carries no data.
NTSTATUS handleCardPrivate(PPCPROPERTY_REQUEST request);
