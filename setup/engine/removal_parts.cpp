#include "removal_parts.h"

#include <windows.h>
#include <winspool.h>

#include <vector>

#include "driver_install.h"
#include "monitor_install.h"
#include "monitor_staging.h"
#include "print_processor_install.h"
#include "printer_install.h"
#include "resource.h"
#include "setup_files.h"
#include "setup_log.h"
#include "spooler_enum.h"
#include "start_up.h"
#include "string_table.h"
#include "system_error_text.h"
#include "windows_family.h"

namespace {

// The deepest a key of ours nests below the one removed (the monitor's key and its ports).
constexpr int kMaxKeyDepth = 4;

std::string Lower(std::string text) {
    CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

bool Holds(const std::vector<std::string>& list, const std::string& item) {
    for (const std::string& entry : list)
        if (entry == item) return true;
    return false;
}

// Deletes the key `path` below HKEY_LOCAL_MACHINE with its sub-keys; 0 also when it is not
// there.
LONG DeleteKeyTree(const std::string& path, int depth = 0) {
    HKEY key;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0,
                                KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, &key);
    if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS) return status;
    std::vector<std::string> children;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD chars = sizeof name;
        if (RegEnumKeyExA(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        children.emplace_back(name, chars);
    }
    RegCloseKey(key);
    if (depth < kMaxKeyDepth)
        for (const std::string& child : children) DeleteKeyTree(path + "\\" + child, depth + 1);
    status = RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

// A failure the spooler's restart may cure waits for the last pass; any other is shown.
void Failure(RemovalPass& pass, DWORD error, bool restartMayCure) {
    if (restartMayCure && !pass.lastPass) {
        pass.retry = true;
        return;
    }
    ShowSystemError(error);
    pass.failed = true;
}

// The drivers the local printers and connections use, in lower case; false when they cannot
// be listed (shown): a driver is then not known to be free.
bool DriversInUse(std::vector<std::string>& drivers) {
    Enumeration printers = Enumerate([](BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
        return EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, buffer,
                             size, needed, returned);
    });
    if (!ListUsable(printers)) return false;
    if (printers.status != EnumerationStatus::Listed) return true;
    const PRINTER_INFO_2A* items = printers.Items<PRINTER_INFO_2A>();
    for (DWORD i = 0; i < printers.count; ++i)
        if (items[i].pDriverName) drivers.push_back(Lower(items[i].pDriverName));
    return true;
}

// The installed drivers of the running environment at level 3; false when they cannot be
// listed (shown).
bool ListDrivers(Enumeration& drivers) {
    std::string environment = SpoolerEnvironment();
    drivers = Enumerate([&](BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
        return EnumPrinterDriversA(nullptr, environment.data(), 3, buffer, size, needed, returned);
    });
    return ListUsable(drivers);
}

// Every file a driver record names, in lower case.
void AddDriverFiles(const DRIVER_INFO_3A& driver, std::vector<std::string>& files) {
    for (const char* path : {driver.pDriverPath, driver.pDataFile, driver.pConfigFile, driver.pHelpFile})
        if (path && *path) files.push_back(Lower(path));
    for (const char* p = driver.pDependentFiles; p && *p; p += lstrlenA(p) + 1) files.push_back(Lower(p));
}

const DRIVER_INFO_3A* DriverItems(const Enumeration& drivers) {
    return drivers.status == EnumerationStatus::Listed ? drivers.Items<DRIVER_INFO_3A>() : nullptr;
}

}  // namespace

std::string PrintProcessorKey(const std::string& environment, const std::string& name) {
    return "System\\CurrentControlSet\\Control\\Print\\Environments\\" + environment +
           "\\Print Processors\\" + name;
}

void RemoveModelDrivers(RemovalPass& pass) {
    std::vector<std::string> inUse;
    Enumeration drivers;
    if (!DriversInUse(inUse) || !ListDrivers(drivers)) {
        pass.failed = true;
        return;
    }
    const std::vector<std::string> models = ModelDriverNames();
    std::string environment = SpoolerEnvironment();
    std::vector<std::string> freed;  // the files of the drivers deleted
    bool deleted = false;
    const DRIVER_INFO_3A* items = DriverItems(drivers);
    for (DWORD i = 0; items && i < drivers.count; ++i) {
        std::string name = items[i].pName ? items[i].pName : "";
        if (!IsModelDriver(models, name)) continue;
        // A printer the removal keeps (one on another port) goes on printing with it.
        if (Holds(inUse, Lower(name))) {
            LogLine("driver kept, a printer uses it: " + name);
            continue;
        }
        if (!DeletePrinterDriverA(nullptr, environment.data(), name.data())) {
            DWORD error = GetLastError();
            Failure(pass, error, error == ERROR_PRINTER_DRIVER_IN_USE);
            continue;
        }
        LogStep("driver " + name + " deleted", true);
        AddDriverFiles(items[i], freed);
        deleted = true;
    }
    if (!deleted) return;
    // Only what no remaining driver names: the platform's universal driver files serve others.
    Enumeration left;
    if (!ListDrivers(left)) {
        pass.failed = true;
        return;
    }
    std::vector<std::string> named;
    const DRIVER_INFO_3A* remaining = DriverItems(left);
    for (DWORD i = 0; remaining && i < left.count; ++i) AddDriverFiles(remaining[i], named);
    // Only below the driver directory: whatever else a record of a model's name might name
    // is not the driver's to take with it.
    std::string directory;
    DWORD error = 0;
    if (!DriverDirectory(directory, error)) {
        Failure(pass, error ? error : ERROR_GEN_FAILURE, false);
        return;
    }
    directory = Lower(directory);
    std::vector<std::string> done;
    for (const std::string& file : freed) {
        if (file.compare(0, directory.size(), directory) != 0 || file.find("..") != std::string::npos)
            continue;
        if (Holds(named, file) || Holds(done, file)) continue;
        done.push_back(file);
        pass.files.Delete(FromAnsi(file));
    }
}

void RemoveVeskPrintProcessor(RemovalPass& pass) {
    std::string environment = SpoolerEnvironment(), name = kPrintProcessorName;
    if (PrintProcessorExists(name)) {
        if (!DeletePrintProcessorA(nullptr, environment.data(), name.data())) {
            Failure(pass, GetLastError(), false);
            return;
        }
        if (PrintProcessorExists(name)) {
            if (LONG status = DeleteKeyTree(PrintProcessorKey(environment, name))) {
                Failure(pass, static_cast<DWORD>(status), false);
                return;
            }
        }
        // Still listed, its deletion and its key gone: a spooler that starts again without
        // it may no longer list it.
        if (PrintProcessorExists(name)) {
            if (pass.lastPass) {
                ShowEngineMessage(kPrintProcessorStaysText);
                pass.failed = true;
            } else {
                pass.retry = true;
            }
            return;
        }
        LogStep("print processor deleted", true);
    }
    std::string directory;
    if (!PrintProcessorDirectory(directory)) {
        pass.failed = true;
        return;
    }
    std::string library = PrintProcessorLibrary();
    if (!library.empty()) pass.files.Delete(FromAnsi(directory + library));
}

void RemoveVeskMonitor(RemovalPass& pass) {
    RemoveMonitor(pass, ResourceString(IDS_MONITOR_NAME),
                  {ResourceString(IDS_MONITOR_DLL), ResourceString(IDS_MONITOR_UI_DLL)});
}

void RemoveMonitor(RemovalPass& pass, const std::string& name, const std::vector<std::string>& libraries) {
    // An empty name would aim the key's deletion at the monitors' own key (the system's
    // monitors with it), and a library's at the system directory.
    bool named = !name.empty();
    for (const std::string& library : libraries) named = named && !library.empty();
    if (!named) {
        ShowSystemError(ERROR_RESOURCE_NAME_NOT_FOUND);
        pass.failed = true;
        return;
    }
    if (MonitorExists(name)) {
        std::string environment = SpoolerEnvironment(), monitor = name;
        if (DeleteMonitorA(nullptr, environment.data(), monitor.data())) {
            LogStep("monitor deleted", true);
        } else {
            DWORD error = GetLastError();
            if (error != ERROR_UNKNOWN_PRINT_MONITOR) {
                Failure(pass, error, error == ERROR_PRINT_MONITOR_IN_USE);
                return;
            }
            LogLine("monitor not installed");
        }
    }
    // The spooler reads a monitor's ports from there (Wine), and deletes no more of the key
    // than it made itself.
    if (LONG status = DeleteKeyTree(kMonitorsKey + name)) {
        Failure(pass, static_cast<DWORD>(status), false);
        return;
    }
    // The monitor's port settings; without them a monitor left loaded serves no port. The
    // section is read back too: settings that stay are a failure, whatever the call said.
    BOOL written = WriteProfileStringA(kMonitorProfileSection, nullptr, nullptr);
    DWORD error = written ? ERROR_SUCCESS : GetLastError();
    char lines[64] = {};  // enough to see a line: a cut-off section still gives a count
    if (!written || GetProfileSectionA(kMonitorProfileSection, lines, sizeof lines) != 0) {
        Failure(pass, error ? error : ERROR_WRITE_FAULT, false);
        return;
    }
    std::string system;
    if (!SystemDirectory(system)) {
        ShowEngineMessage(ResourceString(IDS_NO_SYSTEM_DIRECTORY));
        pass.failed = true;
        return;
    }
    for (const std::string& library : libraries) {
        // An update that could not finish leaves its copies beside the libraries.
        for (const char* suffix : {"", kStagedSuffix, kReplacedSuffix})
            pass.files.Delete(FromAnsi(system + library + suffix));
    }
}
