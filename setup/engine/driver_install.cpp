#include "driver_install.h"

#include <winspool.h>

#include <cstring>

#include "file_version.h"
#include "resource.h"
#include "setup_files.h"
#include "spooler_enum.h"
#include "string_table.h"
#include "system_error_text.h"
#include "windows_family.h"

namespace {

// Drivers older than the "Kx240-F" bear the name "Kx240": they are replaced by it too.
constexpr char kKx240Prefix[] = "Kx240";
constexpr size_t kKx240PrefixChars = sizeof(kKx240Prefix) - 1;
// Version-3 drivers live in this sub-folder of the driver directory.
constexpr char kVersion3Folder[] = "3\\";
constexpr DWORD kDriverVersion = 1;

bool IsWin2000() {
    return WindowsFamily() == kWin2000Family;
}

// The level drivers are listed and added at.
DWORD DriverLevel() {
    return IsWin2000() ? 6 : 3;
}

// The names of the installed drivers of the running environment, in the spooler's order.
// The list's status: Listed, Empty (nothing installed), or why it could not be had.
Enumeration InstalledDriverList(std::vector<std::string>& names) {
    names.clear();
    std::string environment = SpoolerEnvironment();
    DWORD level = DriverLevel();
    Enumeration drivers =
        Enumerate([&](BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
            return EnumPrinterDriversA(nullptr, environment.data(), level, buffer, size, needed,
                                       returned);
        });
    for (DWORD i = 0; drivers.status == EnumerationStatus::Listed && i < drivers.count; ++i) {
        const char* name = level == 6 ? drivers.Items<DRIVER_INFO_6A>()[i].pName
                                      : drivers.Items<DRIVER_INFO_3A>()[i].pName;
        names.emplace_back(name ? name : "");
    }
    drivers.data.clear();
    return drivers;
}

std::string Trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The names CopyDriverFiles copies, in its order, empty names left out.
std::vector<std::string> DriverFileNames(const DriverFiles& files) {
    std::vector<std::string> names;
    for (const std::string* name :
         {&files.pDriverPath, &files.pDataFile, &files.pConfigFile, &files.pHelpFile})
        if (!name->empty()) names.push_back(*name);
    for (const std::string& name : files.DependentFiles)
        if (!name.empty()) names.push_back(name);
    return names;
}

// The files of the installed driver `driverName` that are newer than the medium's files of
// the same name.
std::vector<KeptFile> NewerInstalledDriverFiles(const std::string& sourceFolder,
                                                const DriverFiles& files,
                                                const std::string& driverName) {
    std::vector<KeptFile> kept;
    std::string environment = SpoolerEnvironment();
    Enumeration drivers =
        Enumerate([&](BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
            return EnumPrinterDriversA(nullptr, environment.data(), 3, buffer, size, needed,
                                       returned);
        });
    std::vector<std::string> installed;
    for (DWORD i = 0; drivers.status == EnumerationStatus::Listed && i < drivers.count; ++i) {
        const DRIVER_INFO_3A& d = drivers.Items<DRIVER_INFO_3A>()[i];
        if (!d.pName || driverName != d.pName) continue;
        for (const char* path : {d.pDriverPath, d.pDataFile, d.pConfigFile, d.pHelpFile})
            if (path) installed.emplace_back(path);
        for (const char* p = d.pDependentFiles; p && *p; p += lstrlenA(p) + 1)
            installed.emplace_back(p);
    }
    for (const std::string& name : DriverFileNames(files)) {
        for (const std::string& path : installed) {
            size_t slash = path.find_last_of('\\');
            std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
            if (lstrcmpiA(file.c_str(), name.c_str()) != 0) continue;
            KeptFile newer;
            if (InstalledIsNewer(SetupFileSource(sourceFolder, name), path, name, newer))
                kept.push_back(newer);
            break;
        }
    }
    return kept;
}

}  // namespace

DriverFiles* FamilyDriverFiles(DriverInfo& model) {
    switch (WindowsFamily()) {
    case kWin98Family: return &model.Win98Files;
    case kWin2000Family: return &model.Win2000Files;
    case kNT4Family: return &model.NT4Files;
    default: return nullptr;
    }
}

std::string DriverSourceFolder() {
    switch (WindowsFamily()) {
    case kWin98Family: return ResourceString(IDS_WIN98_FOLDER);
    case kWin2000Family: return ResourceString(IDS_WIN2000_FOLDER);
    case kNT4Family: return ResourceString(IDS_NT4_FOLDER);
    default: return "";
    }
}

bool DriverDirectory(std::string& directory, DWORD& error) {
    directory.clear();
    std::string environment = SpoolerEnvironment();
    Enumeration answer = Enumerate([&](BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
        *returned = 1;
        return GetPrinterDriverDirectoryA(nullptr, environment.data(), 1, buffer, size, needed);
    });
    if (answer.status != EnumerationStatus::Listed) {
        error = answer.error;
        return false;
    }
    error = 0;
    // The answer is a terminated text inside a buffer of the size given.
    answer.data.push_back(0);
    directory = WithBackslash(reinterpret_cast<const char*>(answer.data.data()));
    return true;
}

// The driver directory, or a message why there is none: a step that stops says why.
bool DriverDirectoryOrMessage(std::string& directory) {
    DWORD error = 0;
    if (DriverDirectory(directory, error)) return true;
    ShowSystemError(error ? error : ERROR_GEN_FAILURE);
    return false;
}

DriverRecord BuildDriverRecord(const DriverInfo& model, const std::string& driverDirectory) {
    DriverRecord record;
    int family = WindowsFamily();
    const DriverFiles* files = nullptr;
    switch (family) {
    case kWin98Family: record.level = 3; record.cVersion = 0; files = &model.Win98Files; break;
    case kNT4Family: record.level = 3; record.cVersion = 2; files = &model.NT4Files; break;
    case kWin2000Family: record.level = 6; record.cVersion = 3; files = &model.Win2000Files; break;
    default: return record;
    }
    std::string directory = driverDirectory;
    if (family == kWin2000Family) directory += kVersion3Folder;

    record.pName = model.pName;
    record.pEnvironment = SpoolerEnvironment();
    record.pDriverPath = directory + files->pDriverPath;
    record.pDataFile = directory + files->pDataFile;
    record.pConfigFile = directory + files->pConfigFile;
    // Windows 98's driver has no help file: its name is blank there.
    if (family != kWin98Family || !Trimmed(files->pHelpFile).empty())
        record.pHelpFile = directory + files->pHelpFile;
    for (const std::string& name : files->DependentFiles) {
        std::string path = directory + name;
        record.pDependentFiles.insert(record.pDependentFiles.end(), path.begin(), path.end());
        record.pDependentFiles.push_back('\0');
    }
    record.pDependentFiles.push_back('\0');
    record.pDefaultDataType = family == kWin98Family ? "RAW" : model.pDefaultDataType;
    if (record.level == 6) {
        record.pszMfgName = model.pszMfgName;
        record.pszHardwareID = model.pszHardwareID;
        record.pszProvider = model.pszProvider;
    }
    return record;
}

bool DriverInstalled(const std::string& driverName) {
    std::vector<std::string> names;
    InstalledDriverList(names);
    for (const std::string& name : names)
        if (name == driverName) return true;
    return false;
}

bool RemoveDrivers(const std::string& modelName) {
    size_t prefix = modelName.compare(0, kKx240PrefixChars, kKx240Prefix) == 0
                        ? kKx240PrefixChars
                        : modelName.size();
    std::vector<std::string> names;
    Enumeration drivers = InstalledDriverList(names);
    if (drivers.status == EnumerationStatus::Empty) return true;
    if (drivers.status != EnumerationStatus::Listed) {
        ShowSystemError(drivers.error);
        return false;
    }
    std::string environment = SpoolerEnvironment();
    for (std::string& name : names) {
        if (std::strncmp(name.c_str(), modelName.c_str(), prefix) != 0) continue;
        if (!DeletePrinterDriverA(nullptr, environment.data(), name.data())) {
            ShowSystemError(GetLastError());
            return false;
        }
    }
    return true;
}

bool CopyDriverFiles(const std::string& sourceFolder, DriverFiles& files, bool* restartNeeded) {
    std::string directory;
    if (!DriverDirectoryOrMessage(directory)) return false;
    files.pHelpFile = Trimmed(files.pHelpFile);
    std::vector<KeptFile> kept;
    for (const std::string& name : DriverFileNames(files)) {
        std::string target = directory + name;
        KeptFile newer;
        if (InstalledIsNewer(SetupFileSource(sourceFolder, name), target, name, newer)) {
            kept.push_back(newer);
            continue;
        }
        DeleteFileA(target.c_str());
        if (CopySetupFile(sourceFolder, name, directory)) continue;
        // Windows 98 holds a driver in use: it is replaced after a restart.
        if (name == files.pDriverPath && restartNeeded && FileInUse(GetLastError())) {
            *restartNeeded = true;
            return false;
        }
        ShowEngineMessage(CopyFailureText(sourceFolder, name));
        return false;
    }
    ReportKeptFiles(kept);
    return true;
}

bool AddDriver(const DriverInfo* model) {
    if (!model) {
        ShowSystemError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::string directory;
    if (!DriverDirectoryOrMessage(directory)) return false;
    DriverRecord record = BuildDriverRecord(*model, directory);
    if (record.level == 0) return false;

    DRIVER_INFO_6A info{};
    info.cVersion = record.cVersion;
    info.pName = record.pName.data();
    info.pEnvironment = record.pEnvironment.data();
    info.pDriverPath = record.pDriverPath.data();
    info.pDataFile = record.pDataFile.data();
    info.pConfigFile = record.pConfigFile.data();
    info.pHelpFile = record.pHelpFile.empty() ? nullptr : record.pHelpFile.data();
    info.pDependentFiles = record.pDependentFiles.data();
    info.pDefaultDataType = record.pDefaultDataType.data();
    if (record.level == 6) {
        info.dwlDriverVersion = kDriverVersion;
        info.pszMfgName = record.pszMfgName.data();
        info.pszHardwareID = record.pszHardwareID.data();
        info.pszProvider = record.pszProvider.data();
    }
    // The level-3 record is the first part of the level-6 one.
    if (!AddPrinterDriverA(nullptr, record.level, reinterpret_cast<BYTE*>(&info))) {
        ShowSystemError(GetLastError());
        return false;
    }
    return true;
}

void RemoveDriverCopies(DriverFiles& files) {
    std::string directory;
    DWORD error = 0;
    if (!DriverDirectory(directory, error)) return;
    for (const std::string& name : DriverFileNames(files)) DeleteFileA((directory + name).c_str());
}

bool PrepareDriver(DriverPlan& plan) {
    plan = DriverPlan{};
    InstallChoices& choices = Choices();
    DriverInfo* model = choices.gpModel;
    if (!model) {
        ShowSystemError(ERROR_INVALID_PARAMETER);
        return false;
    }
    DriverFiles* files = FamilyDriverFiles(*model);
    std::string source = choices.gstrSetupDir + DriverSourceFolder();
    if (DriverInstalled(model->pName)) {
        if (!choices.gbReplaceDriver) {
            plan.keep = true;
            return true;
        }
        // A driver newer than the medium's stays as it is.
        if (files) {
            std::vector<KeptFile> newer = NewerInstalledDriverFiles(source, *files, model->pName);
            if (!newer.empty()) {
                ReportKeptFiles(newer);
                plan.keep = true;
                return true;
            }
        }
        plan.replace = true;
    }
    // Outside Windows 98 the files go to the spooler's driver directory, from where the
    // spooler takes them when the driver is added; nothing there is in use, so they are
    // copied while a failure still changes nothing. Windows 98 uses them where they land.
    if (files && WindowsFamily() != kWin98Family) {
        // Set first: what a failed copy did put there is removed with the rest.
        plan.filesCopied = true;
        if (!CopyDriverFiles(source, *files, nullptr)) return false;
    }
    return true;
}

bool InstallDriver(const DriverPlan& plan, bool* restartNeeded) {
    InstallChoices& choices = Choices();
    DriverInfo* model = choices.gpModel;
    if (!model) {
        ShowSystemError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (plan.keep) return true;
    DriverFiles* files = FamilyDriverFiles(*model);
    std::string source = choices.gstrSetupDir + DriverSourceFolder();
    if (plan.replace) {
        if (!RemoveDrivers(model->pName)) {
            if (restartNeeded) *restartNeeded = true;
            // Windows 98 replaces a driver it holds in use after a restart. Elsewhere the
            // spooler keeps a driver that a printer still uses: the installed one stays, as
            // a restart would not free it, and the printer is created with it.
            return WindowsFamily() != kWin98Family;
        }
        // Only Windows 98 replaces a driver it holds in use after a restart.
        if (files && !plan.filesCopied &&
            !CopyDriverFiles(source, *files, WindowsFamily() == kWin98Family ? restartNeeded : nullptr))
            return false;
    } else {
        if (model->pName.compare(0, kKx240PrefixChars, kKx240Prefix) == 0)
            RemoveDrivers(model->pName);
        if (files && !plan.filesCopied && !CopyDriverFiles(source, *files, nullptr)) return false;
    }
    return AddDriver(model);
}

bool InstallDriver(bool* restartNeeded) {
    DriverPlan plan;
    return PrepareDriver(plan) && InstallDriver(plan, restartNeeded);
}
