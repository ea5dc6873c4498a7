#include "enum_ports.h"

#include <cstddef>

#include "../common/text.h"
#include "monitor_state.h"
#include "monitor_strings.h"
#include "resource.h"

namespace {

constexpr DWORD kLevel1Offsets[] = {offsetof(PORT_INFO_1W, pName), kOffsetListEnd};
constexpr DWORD kLevel2Offsets[] = {offsetof(PORT_INFO_2W, pPortName),
                                    offsetof(PORT_INFO_2W, pMonitorName),
                                    offsetof(PORT_INFO_2W, pDescription), kOffsetListEnd};

DWORD StructureSize(DWORD level) {
    return level == 1 ? sizeof(PORT_INFO_1W) : level == 2 ? sizeof(PORT_INFO_2W) : 0;
}

}  // namespace

DWORD GetPortSize(const PortEntry* entry, DWORD level) {
    DWORD name = vesk::Length(entry->pName);
    switch (level) {
    case 1:
        return sizeof(PORT_INFO_1W) + sizeof(WCHAR) * (name + 1);
    case 2: {
        DWORD monitor = vesk::Length(LoadMonitorString(IDS_MONITOR_NAME).text);
        DWORD description = vesk::Length(LoadMonitorString(IDS_PORT_DESCRIPTION).text);
        return sizeof(PORT_INFO_2W) + sizeof(WCHAR) * (name + monitor + description + 3);
    }
    default:
        return 0;
    }
}

LPBYTE PackStrings(LPCWSTR const* sources, LPBYTE structure, const DWORD* offsets,
                   LPBYTE stringEnd) {
    for (; *offsets != kOffsetListEnd; ++offsets, ++sources) {
        LPWSTR* field = reinterpret_cast<LPWSTR*>(structure + *offsets);
        if (*sources) {
            DWORD bytes = (vesk::Length(*sources) + 1) * sizeof(WCHAR);
            stringEnd -= bytes;
            CopyMemory(stringEnd, *sources, bytes);
            *field = reinterpret_cast<LPWSTR>(stringEnd);
        } else {
            *field = nullptr;
        }
    }
    return stringEnd;
}

LPBYTE CopyIniPortToPort(const PortEntry* entry, DWORD level, LPBYTE structure, LPBYTE stringEnd) {
    switch (level) {
    case 1: {
        LPCWSTR sources[] = {entry->pName};
        return PackStrings(sources, structure, kLevel1Offsets, stringEnd);
    }
    case 2: {
        MonitorString monitor = LoadMonitorString(IDS_MONITOR_NAME);
        MonitorString description = LoadMonitorString(IDS_PORT_DESCRIPTION);
        LPCWSTR sources[] = {entry->pName, monitor.text, description.text};
        auto* info = reinterpret_cast<PORT_INFO_2W*>(structure);
        info->fPortType = PORT_TYPE_WRITE;
        info->Reserved = 0;
        return PackStrings(sources, structure, kLevel2Offsets, stringEnd);
    }
    default:
        return nullptr;
    }
}

BOOL WINAPI VeskEnumPorts(LPWSTR, DWORD level, LPBYTE buffer, DWORD bufferSize,
                          LPDWORD bytesNeeded, LPDWORD countReturned) {
    if (level != 1 && level != 2) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    if (!bytesNeeded || !countReturned || (!buffer && bufferSize)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }

    VeskEnterSplSem();
    PortEntry* first = g_pPortList ? g_pPortList->pFirst : nullptr;
    DWORD needed = 0;
    for (PortEntry* e = first; e; e = e->pNext) needed += GetPortSize(e, level);
    *bytesNeeded = needed;
    if (bufferSize < needed) {
        VeskLeaveSplSem();
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }

    *countReturned = 0;
    LPBYTE stringEnd = buffer + bufferSize;
    LPBYTE structure = buffer;
    for (PortEntry* e = first; e; e = e->pNext) {
        stringEnd = CopyIniPortToPort(e, level, structure, stringEnd);
        structure += StructureSize(level);
        ++*countReturned;
    }
    VeskLeaveSplSem();
    return TRUE;
}
