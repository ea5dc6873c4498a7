#include <windows.h>
#include <winspool.h>

#include "monitor_install.h"

#include <vector>

#include "file_version.h"
#include "install_choices.h"
#include "monitor_staging.h"
#include "resource.h"
#include "setup_files.h"
#include "spooler_enum.h"
#include "string_table.h"
#include "system_error_text.h"
#include "windows_family.h"

std::string MonitorSourceFolder() {
    switch (WindowsFamily()) {
    case kWin98Family: return ResourceString(IDS_WIN98_MONITOR_FOLDER);
    case kWin2000Family: return ResourceString(IDS_WIN2000_MONITOR_FOLDER);
    case kNT4Family: return ResourceString(IDS_NT4_MONITOR_FOLDER);
    default: return "";
    }
}

bool MonitorNeedsUpdate() {
    std::string library = ResourceString(IDS_MONITOR_DLL);
    std::string system;
    if (!SystemDirectory(system)) {
        ShowEngineMessage(ResourceString(IDS_NO_SYSTEM_DIRECTORY));
        return false;
    }
    std::string shipped = Choices().gstrSetupDir + MonitorSourceFolder() + library;
    // An older medium never replaces the monitor, and the user is told why it stays.
    KeptFile newer;
    if (InstalledIsNewer(shipped, system + library, library, newer)) {
        ReportKeptFiles({newer});
        return false;
    }
    return FileVersion(system + library) < FileVersion(shipped);
}

namespace {

Enumeration EnumerateMonitors() {
    return Enumerate([](BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
        return EnumMonitorsA(nullptr, 1, buffer, size, needed, returned);
    });
}

}  // namespace

bool MonitorExists(const std::string& name) {
    Enumeration monitors = EnumerateMonitors();
    if (monitors.status != EnumerationStatus::Listed) return false;
    const MONITOR_INFO_1A* items = monitors.Items<MONITOR_INFO_1A>();
    for (DWORD i = 0; i < monitors.count; ++i)
        if (items[i].pName && name == items[i].pName) return true;
    return false;
}

bool RemoveMonitor(const std::string& name) {
    Enumeration monitors = EnumerateMonitors();
    if (monitors.status == EnumerationStatus::Empty) return true;
    // A list that cannot be had would let the registration fail later for a reason not shown.
    if (monitors.status != EnumerationStatus::Listed) {
        ShowSystemError(monitors.error);
        return false;
    }
    const MONITOR_INFO_1A* items = monitors.Items<MONITOR_INFO_1A>();
    for (DWORD i = 0; i < monitors.count; ++i) {
        if (!items[i].pName || name != items[i].pName) continue;
        std::string environment = SpoolerEnvironment();
        if (!DeleteMonitorA(nullptr, environment.data(), items[i].pName)) {
            ShowSystemError(GetLastError());
            return false;
        }
        break;
    }
    return true;
}

bool CopyMonitorFiles(const std::string& sourceFolder, const std::string& firstFile,
                      const std::string& secondFile) {
    std::string system;
    if (!SystemDirectory(system)) {
        ShowEngineMessage(ResourceString(IDS_NO_SYSTEM_DIRECTORY));
        return false;
    }
    std::vector<KeptFile> kept;
    for (const std::string* file : {&firstFile, &secondFile}) {
        if (file->empty()) continue;
        if (!CopySetupFileUnlessOlder(sourceFolder, *file, system, kept)) {
            ShowEngineMessage(CopyFailureText(sourceFolder, *file));
            return false;
        }
    }
    ReportKeptFiles(kept);
    return true;
}

bool RegisterMonitor(const std::string& name, const std::string& libraryName) {
    std::string monitorName = name, environment = SpoolerEnvironment(), library = libraryName;
    MONITOR_INFO_2A info{};
    info.pName = monitorName.data();
    info.pEnvironment = environment.data();
    info.pDLLName = library.data();
    if (!AddMonitorA(nullptr, 2, reinterpret_cast<BYTE*>(&info))) {
        ShowSystemError(GetLastError());
        return false;
    }
    return true;
}

bool InstallMonitor(StagedMonitor* staged) {
    std::string name = ResourceString(IDS_MONITOR_NAME);
    std::string library = ResourceString(IDS_MONITOR_DLL);
    if (staged && staged->Staged()) {
        bool registered = MonitorExists(name);
        if (!RemoveMonitor(name)) return false;
        if (!staged->SwapIn()) {
            // The libraries are as they were: so is their registration. A library that could
            // not be put back is not registered: the spooler would fail to load it.
            if (registered && staged->Restored()) RegisterMonitor(name, library);
            return false;
        }
        return RegisterMonitor(name, library);
    }
    if (!RemoveMonitor(name)) return false;
    std::string userInterface =
        WindowsFamily() == kWin2000Family ? ResourceString(IDS_MONITOR_UI_DLL) : std::string();
    std::string source = Choices().gstrSetupDir + MonitorSourceFolder();
    if (!CopyMonitorFiles(source, library, userInterface)) return false;
    return RegisterMonitor(name, library);
}
