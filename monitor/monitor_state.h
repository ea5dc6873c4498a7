// State of the monitor library, one instance per process.
#pragma once

#include <windows.h>

#include "port_list.h"

// Instance handle of this library, for its own dialogs and strings.
extern HINSTANCE g_hInstance;
// Guards the port list and the flag word of every entry.
extern CRITICAL_SECTION SpoolerSection;
// Guards the transceive connections and their device tokens (never held together with
// SpoolerSection).
extern CRITICAL_SECTION XcvSection;
// The one port list, published by InitializePrintMonitor.
extern PortList* g_pPortList;

// Initialises the critical sections once per load of the library.
void InitializeMonitorLocks();
