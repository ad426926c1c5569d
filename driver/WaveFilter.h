// The "Wave" filter's descriptor.
#pragma once

#include "Kernel.h"

extern const PCFILTER_DESCRIPTOR WaveFilterDescriptor;

// Pins of the wave filter.
inline constexpr ULONG kWavePinCapture = 0;
inline constexpr ULONG kWavePinCaptureBridge = 1;
inline constexpr ULONG kWavePinRender = 2;
inline constexpr ULONG kWavePinRenderBridge = 3;
inline constexpr ULONG kWavePinDigitalRender = 4;
inline constexpr ULONG kWavePinDigitalBridge = 5;
inline constexpr ULONG kWaveNodeDac = 7;

// KSPROPERTY_AUDIO_CHANNEL_CONFIG on the DAC node.
NTSTATUS PropertyChannelConfig(PPCPROPERTY_REQUEST request);
