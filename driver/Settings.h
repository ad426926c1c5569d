// The card settings kept in the driver's service key: read once at load,
// written back every second by the settings thread.
#pragma once

#include "Kernel.h"

// Keeps a copy of the registry path and applies the saved values. Passive level.
VOID LoadSettings(PUNICODE_STRING registryPath);
// Writes the seven values. Passive level.
VOID SaveSettings();
// Starts the settings thread; a failure is ignored (settings then stay unsaved).
VOID StartSettingsThread();
// Asks the settings thread to end and waits for it (after one last save).
VOID StopSettingsThread();
