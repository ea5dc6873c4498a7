// veskdemo: shows the port monitor at work in a Wine prefix (scripts/demo runs it with a
// printer simulator behind COM1). It registers veskmon.dll with the spooler, lists the ports
// the spooler sees, then opens COM1 the way a print job does and the way the settings
// commands do, and asks the printer for its line settings each time.
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <string>
#include <vector>

#include "monitor_state.h"
#include "port_list.h"
#include "printer_link.h"
#include "serial_open.h"
#include "spooler_setup.h"

namespace {

void Say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
}

std::string Narrow(const wchar_t* w) {
    std::string s;
    for (; w && *w; ++w) s.push_back(*w < 128 ? static_cast<char>(*w) : '?');
    return s;
}

std::wstring BinDir() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dir = self;
    dir.resize(dir.find_last_of(L'\\') + 1);
    return dir;
}

bool RegisterMonitor() {
    DWORD err = 0;
    if (!vesk::RegisterMonitor(BinDir(), err)) {
        Say("AddMonitorW failed with error %lu\n", err);
        return false;
    }
    Say("AddMonitorW: \"Vesk Port Monitor\" registered (veskmon.dll in the system directory)\n");
    return true;
}

void ListPorts() {
    DWORD needed = 0, count = 0;
    EnumPortsW(nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<BYTE> buf(needed);
    if (!EnumPortsW(nullptr, 2, buf.data(), needed, &needed, &count)) {
        Say("EnumPortsW failed with error %lu\n", GetLastError());
        return;
    }
    Say("\nThe spooler's ports (EnumPortsW, level 2):\n");
    Say("  %-12s %-22s %s\n", "name", "monitor", "description");
    auto* ports = reinterpret_cast<PORT_INFO_2W*>(buf.data());
    for (DWORD i = 0; i < count; ++i)
        Say("  %-12s %-22s %s\n", Narrow(ports[i].pPortName).c_str(),
            Narrow(ports[i].pMonitorName).c_str(), Narrow(ports[i].pDescription).c_str());
}

std::string Printable(const std::string& bytes) {
    std::string out;
    char hex[8];
    for (unsigned char c : bytes) {
        if (c >= 32 && c < 127) {
            out.push_back(static_cast<char>(c));
        } else {
            std::snprintf(hex, sizeof hex, "<%02X>", c);
            out += hex;
        }
    }
    return out;
}

// Wakes the printer and asks for its line settings, as the start of a job does.
std::string AskSettings(HANDLE h, DWORD blockSize) {
    if (!Wakeup(h, blockSize)) return "(the printer did not wake up)";
    BYTE reply[kSettingsReplyBytes];
    DWORD got = QuerySettingsReply(h, reply);
    return std::string(reinterpret_cast<char*>(reply), got);
}

void OpenLikeAJob() {
    PortList list{kPortListSignature, nullptr};
    PortEntry* entry = VeskCreatePortEntry(&list, L"VESK");
    DWORD block = 0;
    Say("\nOpening COM1 as a print job does (plain name, overlapped):\n");
    if (!ValidateDosDevicePort(entry, &block)) {
        Say("  ValidateDosDevicePort failed with error %lu\n", GetLastError());
    } else {
        Say("  ValidateDosDevicePort: open, wake-up block %lu bytes\n", block);
        Say("  settings query 18 1D 49 04 -> \"%s\"\n", Printable(AskSettings(entry->hFile, block)).c_str());
        CloseHandle(entry->hFile);
    }
    VeskDeletePortEntry(&list, L"VESK");
}

void OpenLikeTheSettingsCommands() {
    VeskPortSettings settings{};
    DWORD needed = 0;
    Say("\nOpening COM1 as the settings commands do (\\\\.\\NONSPOOLED_COM1):\n");
    DWORD err = GetVeskPortSettings(nullptr, 0, reinterpret_cast<PBYTE>(&settings), sizeof settings,
                                    &needed);
    if (err) {
        Say("  GetVeskPortSettings failed with error %lu\n", err);
        return;
    }
    DWORD block = 0;
    HANDLE h = OpenVeskPort(&settings, &block);
    if (h == INVALID_HANDLE_VALUE) {
        Say("  OpenVeskPort failed with error %lu\n", GetLastError());
    } else {
        Say("  OpenVeskPort: open, wake-up block %lu bytes\n", block);
        Say("  settings query 18 1D 49 04 -> \"%s\"\n", Printable(AskSettings(h, block)).c_str());
        CloseHandle(h);
    }
    LocalFree(settings.pConfig);
}

}  // namespace

int main() {
    // This program carries the monitor's code itself, so it sets up what the library's
    // attach would.
    InitializeMonitorLocks();
    WriteProfileStringW(L"Vesk Ports", nullptr, nullptr);
    WriteProfileStringW(L"Vesk Ports", L"VESK", L"COM1:,9600,N,8,1");
    Say("win.ini [Vesk Ports]: VESK=COM1:,9600,N,8,1\n");
    if (!RegisterMonitor()) return 1;
    ListPorts();
    OpenLikeAJob();
    OpenLikeTheSettingsCommands();
    DWORD err = 0;
    if (!vesk::EnsurePrinter(L"Vesk Receipt", L"VESK", err)) {
        Say("\nAddPrinterW failed with error %lu\n", err);
        return 1;
    }
    Say("\nPrinter \"Vesk Receipt\" on port VESK is ready (RAW).\n");
    return 0;
}
