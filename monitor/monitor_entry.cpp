// The library's entry point, its initialisation by the spooler, the tables of entry points
// handed back (the 14-slot table and the transceive-capable one), and the opening of a port.
#include <windows.h>
#include <winsplp.h>

#include "../common/win_raii.h"
#include "enum_ports.h"
#include "job_path.h"
#include "monitor_state.h"
#include "port_dialogs.h"
#include "port_list.h"
#include "wine_port_keys.h"
#include "xcv_route.h"

extern "C" BOOL WINAPI DllEntryPoint(HINSTANCE instance, DWORD reason, LPVOID reserved);
extern "C" LPMONITOREX WINAPI InitializePrintMonitor(LPWSTR registryRoot);
extern "C" LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT init, PHANDLE monitor);

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
        VeskAddPort,
        VeskxAddPortEx,
        VeskConfigurePort,
        VeskDeletePort,
        VeskGetPrinterDataFromPort,
        VeskSetPortTimeOuts,
        nullptr,  // no transceive slots in this table
        nullptr,
        nullptr,
    },
};

// The same entry points in the form that takes the monitor handle (the port list).
BOOL WINAPI EnumPorts2(HANDLE, LPWSTR server, DWORD level, LPBYTE ports, DWORD size, LPDWORD needed,
                       LPDWORD returned) {
    return VeskEnumPorts(server, level, ports, size, needed, returned);
}
BOOL WINAPI OpenPort2(HANDLE, LPWSTR name, PHANDLE port) {
    return VeskOpenPort(name, port);
}
BOOL WINAPI AddPort2(HANDLE, LPWSTR server, HWND owner, LPWSTR monitorName) {
    return VeskAddPort(server, owner, monitorName);
}
BOOL WINAPI AddPortEx2(HANDLE monitor, LPWSTR server, DWORD level, LPBYTE info, LPWSTR monitorName) {
    return VeskAddPortEx(static_cast<PortList*>(monitor), server, level, info, monitorName);
}
BOOL WINAPI ConfigurePort2(HANDLE, LPWSTR server, HWND owner, LPWSTR port) {
    return VeskConfigurePort(server, owner, port);
}
BOOL WINAPI DeletePort2(HANDLE, LPWSTR server, HWND owner, LPWSTR port) {
    return VeskDeletePort(server, owner, port);
}

LONG g_initializations = 0;  // guarded by SpoolerSection

void WINAPI Shutdown2(HANDLE) {
    PortList* list = nullptr;
    {
        vesk::CriticalSectionLock lock(SpoolerSection);
        if (g_initializations > 0 && --g_initializations == 0) {
            list = g_pPortList;
            g_pPortList = nullptr;
        }
    }
    if (!list) return;
    // Every job still open ends here, its busy thread first: nothing of the list may be
    // freed while a thread of the monitor still uses it. The ports the spooler still holds
    // stay until it closes them.
    for (PortEntry* e = list->pFirst; e; e = e->pNext) EndPortJob(e);
    ReleasePortList(list);
}

MONITOR2 g_monitor2 = {
    sizeof(MONITOR2),
    EnumPorts2,
    OpenPort2,
    nullptr,  // OpenPortEx
    VeskStartDocPort,
    VeskWritePort,
    VeskReadPort,
    VeskEndDocPort,
    VeskClosePort,
    AddPort2,
    AddPortEx2,
    ConfigurePort2,
    DeletePort2,
    VeskGetPrinterDataFromPort,
    VeskSetPortTimeOuts,
    XcvOpenPort,
    XcvDataPort,
    XcvClosePort,
    Shutdown2,
    nullptr,  // SendRecvBidiDataFromPort
    nullptr,  // NotifyUsedPorts
    nullptr,  // NotifyUnusedPorts
};

// Builds the port list, or keeps the one a spooler that initialises the library twice
// already has. Null when the profile has no ports.
PortList* AcquirePortList() {
    InitializeMonitorLocks();
    vesk::CriticalSectionLock lock(SpoolerSection);
    if (!g_pPortList) {
        PortList* list = LoadPortList();
        if (!list) return nullptr;
        g_pPortList = list;
        // A list already held has been mirrored, and its adds and deletes mirror themselves.
        MirrorPortKeys(g_pPortList);
    }
    ++g_initializations;
    return g_pPortList;
}

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
            FreeXcvConnections();
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
    return AcquirePortList() ? &g_monitorTable : nullptr;
}

LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT, PHANDLE monitor) {
    if (!monitor) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    PortList* list = AcquirePortList();
    if (!list) return nullptr;
    *monitor = list;
    return &g_monitor2;
}

BOOL WINAPI VeskOpenPort(LPWSTR portName, PHANDLE portHandle) {
    if (!portHandle) return FALSE;
    vesk::CriticalSectionLock lock(SpoolerSection);
    PortEntry* entry = g_pPortList ? VeskFindIniKey(g_pPortList->pFirst, portName) : nullptr;
    if (!entry || !IsVeskPort(portName)) return FALSE;
    // The entry is the spooler's handle until ClosePort: it may not be deleted before.
    ++entry->OpenCount;
    *portHandle = entry;
    return TRUE;
}
