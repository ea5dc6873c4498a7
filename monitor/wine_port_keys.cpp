#include "wine_port_keys.h"

#include <string>

#include "../common/text.h"
#include "monitor_strings.h"
#include "resource.h"
#include "spooler_services.h"

namespace {

std::wstring PortsKeyPath() {
    return std::wstring(L"System\\CurrentControlSet\\Control\\Print\\Monitors\\") +
           LoadMonitorString(IDS_MONITOR_NAME).text + L"\\Ports";
}

// A registry key name cannot hold a backslash; such a port has no key.
bool Nameable(LPCWSTR name) {
    if (!name || !*name) return false;
    for (; *name; ++name)
        if (*name == L'\\') return false;
    return true;
}

// The key that holds a key per port, made when it is missing; null when it cannot be had.
HKEY OpenPortsKey() {
    HKEY ports = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, PortsKeyPath().c_str(), 0, nullptr, 0,
                        KEY_READ | KEY_WRITE, nullptr, &ports, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return ports;
}

void AddKey(HKEY ports, LPCWSTR name) {
    HKEY k = nullptr;
    if (Nameable(name) &&
        RegCreateKeyExW(ports, name, 0, nullptr, 0, KEY_READ, nullptr, &k, nullptr) == ERROR_SUCCESS)
        RegCloseKey(k);
}

}  // namespace

void MirrorPortKeys(const PortList* list) {
    if (!RunningOnWine() || !list) return;
    HKEY ports = OpenPortsKey();
    if (!ports) return;
    for (const PortEntry* e = list->pFirst; e; e = e->pNext) AddKey(ports, e->pName);
    // Remove keys of ports the list no longer has, from the last index down.
    DWORD count = 0;
    RegQueryInfoKeyW(ports, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr);
    for (DWORD i = count; i-- > 0;) {
        WCHAR name[256];
        DWORD chars = 256;
        if (RegEnumKeyExW(ports, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            continue;
        bool known = false;
        for (const PortEntry* e = list->pFirst; e && !known; e = e->pNext)
            known = lstrcmpiW(e->pName, name) == 0;
        if (!known) RegDeleteKeyW(ports, name);
    }
    RegCloseKey(ports);
}

void MirrorPortAdded(LPCWSTR name) {
    if (!RunningOnWine()) return;
    HKEY ports = OpenPortsKey();
    if (!ports) return;
    AddKey(ports, name);
    RegCloseKey(ports);
}

void MirrorPortRemoved(LPCWSTR name) {
    if (!RunningOnWine() || !Nameable(name)) return;
    HKEY ports = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, PortsKeyPath().c_str(), 0, KEY_READ | KEY_WRITE,
                      &ports) != ERROR_SUCCESS)
        return;
    RegDeleteKeyW(ports, name);
    RegCloseKey(ports);
}
