// The topology filter as the port reads it: pins, nodes, connections and the
// automation tables that route property requests to the handlers.
#pragma once

#include "Kernel.h"

// {2B81CDBB-EE6C-4ECC-8AA5-9A188B023DFF}
inline constexpr GUID KSPROPSETID_CardPrivate = {
    0x2B81CDBB, 0xEE6C, 0x4ECC, {0x8A, 0xA5, 0x9A, 0x18, 0x8B, 0x02, 0x3D, 0xFF}};
inline constexpr ULONG kCardPrivateGetId = 1;
inline constexpr ULONG kCardPrivateSetId = 2;

// Nodes whose properties reach the card or have handlers of their own.
inline constexpr ULONG kMicVolumeNode = 2;
inline constexpr ULONG kMasterVolumeNode = 4;
inline constexpr ULONG kMicInVolumeNode = 9;
inline constexpr ULONG kMasterMuteNode = 36;
inline constexpr ULONG kTopologyNodeCount = 37;

extern const PCFILTER_DESCRIPTOR kTopologyFilterDescriptor;
