// veskaddport: adds a port through the port monitor's user interface, as the spooler's
// "Add Port" does, and lists the spooler's ports afterwards. The dialogs wait for a person
// (scripts/demo clicks them).
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <cstdio>
#include <string>
#include <vector>

#include "spooler_setup.h"

namespace {

std::string Narrow(const wchar_t* w) {
    std::string s;
    for (; w && *w; ++w) s.push_back(*w < 128 ? static_cast<char>(*w) : '?');
    return s;
}

}  // namespace

int main() {
    wchar_t self[MAX_PATH], sys[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring bin = self;
    bin.resize(bin.find_last_of(L'\\') + 1);
    GetSystemDirectoryW(sys, MAX_PATH);
    DWORD err = 0;
    if (!vesk::RegisterMonitor(bin, err) ||
        !CopyFileW((bin + L"veskmonui.dll").c_str(), (std::wstring(sys) + L"\\veskmonui.dll").c_str(), FALSE)) {
        std::printf("cannot install the monitor (error %lu)\n", err ? err : GetLastError());
        return 1;
    }
    HMODULE ui = LoadLibraryW(L"veskmonui.dll");
    using Init = PMONITORUI(WINAPI*)();
    auto init = ui ? reinterpret_cast<Init>(reinterpret_cast<void*>(GetProcAddress(ui, "InitializePrintMonitorUI")))
                   : nullptr;
    PMONITORUI table = init ? init() : nullptr;
    if (!table) {
        std::printf("cannot load veskmonui.dll\n");
        return 1;
    }
    PWSTR name = nullptr;
    BOOL ok = table->pfnAddPortUI(nullptr, nullptr, vesk::kMonitorName, &name);
    DWORD result = GetLastError();
    if (ok)
        std::printf("AddPortUI: TRUE, port %s\n", Narrow(name).c_str());
    else
        std::printf("AddPortUI: FALSE with error %lu%s, port %s\n", result,
                    result == ERROR_CANCELLED ? " (cancelled: \"&Close\" ends the configuration so)" : "",
                    name ? Narrow(name).c_str() : "(none)");
    if (name) GlobalFree(name);

    DWORD needed = 0, count = 0;
    EnumPortsW(nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<BYTE> buf(needed);
    if (EnumPortsW(nullptr, 2, buf.data(), needed, &needed, &count)) {
        std::printf("\nThe spooler's ports now (EnumPortsW, level 2):\n");
        auto* ports = reinterpret_cast<PORT_INFO_2W*>(buf.data());
        for (DWORD i = 0; i < count; ++i)
            std::printf("  %-12s %-22s %s\n", Narrow(ports[i].pPortName).c_str(),
                        Narrow(ports[i].pMonitorName).c_str(), Narrow(ports[i].pDescription).c_str());
    }
    return 0;
}
