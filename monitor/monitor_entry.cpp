// The library's entry point, its initialisation by the spooler and the table of entry points
// handed back, and the opening of a port.
#include <windows.h>
#include <winsplp.h>

#include "../common/win_raii.h"
#include "enum_ports.h"
#include "job_path.h"
#include "wine_port_keys.h"
#include "monitor_state.h"
#include "port_list.h"

extern "C" BOOL WINAPI DllEntryPoint(HINSTANCE instance, DWORD reason, LPVOID reserved);
extern "C" LPMONITOREX WINAPI InitializePrintMonitor(LPWSTR registryRoot);

BOOL WINAPI VeskOpenPort(LPWSTR portName, PHANDLE portHandle);

namespace {

// The table of the 32-bit monitors this one descends from has 14 slots (56 bytes); a 64-bit
// spooler expects the platform's own MONITOR.
#ifdef _WIN64
constexpr DWORD kMonitorTableSize = sizeof(MONITOR);
#else
constexpr DWORD kMonitorTableSize = 14 * sizeof(void*);
#endif

MONITOREX g_monitorTable = {
    kMonitorTableSize,
    {
        VeskEnumPorts,
        VeskOpenPort,
        nullptr,  // OpenPortEx
        VeskStartDocPort,
        VeskWritePort,
        VeskReadPort,
        VeskEndDocPort,
        VeskClosePort,
        nullptr,  // AddPort
        nullptr,  // AddPortEx
        nullptr,  // ConfigurePort
        nullptr,  // DeletePort
        VeskGetPrinterDataFromPort,
        VeskSetPortTimeOuts,
        nullptr,  // no transceive slots in this table
        nullptr,
        nullptr,
    },
};

}  // namespace

BOOL WINAPI DllEntryPoint(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        InitializeMonitorLocks();
        g_hInstance = instance;
        DisableThreadLibraryCalls(instance);
        break;
    case DLL_PROCESS_DETACH:
        // A spooler that unloads the library (rather than ending the process) would otherwise
        // lose the list's memory with every load.
        if (!reserved) {
            FreePortList(g_pPortList);
            g_pPortList = nullptr;
        }
        break;
    default:
        break;
    }
    return TRUE;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    return DllEntryPoint(instance, reason, reserved);
}

LPMONITOREX WINAPI InitializePrintMonitor(LPWSTR) {
    InitializeMonitorLocks();
    vesk::CriticalSectionLock lock(SpoolerSection);
    PortList* list = LoadPortList();
    if (!list) return nullptr;
    g_pPortList = list;
    MirrorPortKeys(list);
    return &g_monitorTable;
}

BOOL WINAPI VeskOpenPort(LPWSTR portName, PHANDLE portHandle) {
    if (!portHandle) return FALSE;
    vesk::CriticalSectionLock lock(SpoolerSection);
    PortEntry* entry = g_pPortList ? VeskFindIniKey(g_pPortList->pFirst, portName) : nullptr;
    if (!entry || !IsVeskPort(portName)) return FALSE;
    *portHandle = entry;
    return TRUE;
}
