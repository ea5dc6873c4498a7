#include "monitor_state.h"

HINSTANCE g_hInstance = nullptr;
CRITICAL_SECTION SpoolerSection;
CRITICAL_SECTION XcvSection;
PortList* g_pPortList = nullptr;

namespace {
LONG g_locksReady = 0;
}

void InitializeMonitorLocks() {
    // A critical section must never be initialised again while a thread may hold it, so
    // only the first request (the attach) initialises; InitializePrintMonitor's repeat, or
    // a second call of the entry point, changes nothing.
    if (InterlockedCompareExchange(&g_locksReady, 1, 0) == 0) {
        InitializeCriticalSection(&SpoolerSection);
        InitializeCriticalSection(&XcvSection);
    }
}
