// State of the monitor library, one instance per process.
#pragma once

#include <windows.h>

#include "port_list.h"

// Instance handle of this library, for its own dialogs and strings.
extern HINSTANCE g_hInstance;
// Guards the port list and the flag word of every entry.
extern CRITICAL_SECTION SpoolerSection;
// The one port list, published by InitializePrintMonitor.
extern PortList* g_pPortList;

// Initialises SpoolerSection once per load of the library.
void InitializeMonitorLocks();
