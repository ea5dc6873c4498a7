#include "port_commands.h"

#include <winspool.h>

#include "../common/text.h"
#include "../common/win_raii.h"
#include "../serial/settings.h"
#include "monitor_state.h"
#include "port_list.h"
#include "port_names.h"
#include "spooler_services.h"
#include "wine_port_keys.h"

namespace {

// The name in a handler's input, or null when `in` holds no terminated wide string.
LPCWSTR NameIn(PBYTE in, DWORD inSize) {
    if (!in) return nullptr;
    auto* name = reinterpret_cast<LPCWSTR>(in);
    DWORD chars = inSize / sizeof(WCHAR);
    for (DWORD i = 0; i < chars; ++i)
        if (name[i] == 0) return name;
    return nullptr;
}

}  // namespace

BOOL PortExists(LPWSTR serverName, LPCWSTR portName, DWORD* error) {
    if (error) *error = 0;
    auto enumPorts = Spooler().EnumPortsW;
    if (!enumPorts) {
        if (error) *error = ERROR_PROC_NOT_FOUND;
        return FALSE;
    }
    DWORD needed = 0, count = 0;
    if (enumPorts(serverName, 1, nullptr, 0, &needed, &count)) return FALSE;  // no ports at all
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0) return TRUE;
    vesk::GlobalBlock buffer(needed);
    if (!buffer || !enumPorts(serverName, 1, buffer.get<BYTE>(), needed, &needed, &count))
        return TRUE;  // the name counts as taken when the list cannot be read
    auto* ports = buffer.get<PORT_INFO_1W>();
    for (DWORD i = 0; i < count; ++i)
        if (ports[i].pName && lstrcmpiW(ports[i].pName, portName) == 0) return TRUE;
    return FALSE;
}

DWORD AddPortToList(LPCWSTR name) {
    vesk::CriticalSectionLock lock(SpoolerSection);
    if (!g_pPortList) return ERROR_NOT_READY;
    // Two requests for the same new name may both have found it free in the spooler.
    if (VeskFindIniKey(g_pPortList->pFirst, name)) return ERROR_ALREADY_EXISTS;
    if (!VeskCreatePortEntry(g_pPortList, name)) {
        DWORD err = GetLastError();
        return err ? err : ERROR_NOT_ENOUGH_MEMORY;
    }
    if (!WriteProfileStringW(VESK_PORTS_SECTION, name, L"")) {
        DWORD err = GetLastError();
        VeskDeletePortEntry(g_pPortList, name);
        return err ? err : ERROR_WRITE_FAULT;
    }
    MirrorPortAdded(name);
    return 0;
}

DWORD DoAddPort(PBYTE in, DWORD inSize, PBYTE, DWORD, PDWORD) {
    LPCWSTR name = NameIn(in, inSize);
    if (!name) return ERROR_INVALID_PARAMETER;
    DWORD error = 0;
    BOOL exists = PortExists(nullptr, name, &error);
    if (error) return error;
    if (exists) return ERROR_ALREADY_EXISTS;
    return AddPortToList(name);
}

DWORD DoDeletePort(PBYTE in, DWORD inSize, PBYTE, DWORD, PDWORD) {
    LPCWSTR name = NameIn(in, inSize);
    if (!name) return ERROR_INVALID_PARAMETER;
    vesk::CriticalSectionLock lock(SpoolerSection);
    PortEntry* entry = g_pPortList ? VeskFindIniKey(g_pPortList->pFirst, name) : nullptr;
    if (!entry) return ERROR_FILE_NOT_FOUND;
    // The spooler holds an open port by the address of its entry: freeing it would leave the
    // spooler's next call on freed memory. The user deletes the port once it is closed.
    if (entry->OpenCount || (entry->Status & (PORT_FLAG_OPEN | PORT_FLAG_IN_DOC))) return ERROR_BUSY;
    VeskDeletePortEntry(g_pPortList, name);
    WriteProfileStringW(VESK_PORTS_SECTION, name, nullptr);
    MirrorPortRemoved(name);
    return 0;
}

BOOL PortIsValid(LPCWSTR name) {
    if (IsVeskPort(name)) return TRUE;
    // The test opens the name under the spooler's token: only a COM port or a file of this
    // machine is tried, never a share on a machine the client chose or a pipe.
    if (!IsComPortName(name) && !IsLocalFileName(name)) {
        SetLastError(ERROR_INVALID_NAME);
        return FALSE;
    }
    HANDLE h = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        // Only a file that did not exist is created for the test, so that the test can never
        // delete a file someone has.
        h = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    }
    if (h == INVALID_HANDLE_VALUE) return FALSE;
    CloseHandle(h);
    return TRUE;
}

DWORD DoPortIsValid(PBYTE in, DWORD inSize, PBYTE, DWORD, PDWORD) {
    LPCWSTR name = NameIn(in, inSize);
    if (!name) return ERROR_INVALID_PARAMETER;
    if (PortIsValid(name)) return 0;
    DWORD err = GetLastError();
    return err ? err : ERROR_INVALID_NAME;
}
