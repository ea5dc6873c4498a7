#include <windows.h>
#include <winspool.h>

#include "print_processor_install.h"

#include "file_version.h"
#include "install_choices.h"
#include "printer_install.h"
#include "resource.h"
#include "setup_files.h"
#include "spooler_enum.h"
#include "string_table.h"
#include "system_error_text.h"
#include "windows_family.h"

namespace {

Enumeration EnumeratePrintProcessors(std::string& environment) {
    return Enumerate([&](BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
        return EnumPrintProcessorsA(nullptr, environment.data(), 1, buffer, size, needed,
                                    returned);
    });
}

// The installed print processors. False with nothing listed; a failure is shown (a size
// query that fails without a size too: an empty answer is not taken for an empty list).
bool ListPrintProcessors(std::string& environment, Enumeration& list, bool& failed) {
    list = EnumeratePrintProcessors(environment);
    failed = list.status != EnumerationStatus::Listed &&
             (list.status != EnumerationStatus::Empty || list.sizeQueryFailed);
    if (failed) ShowSystemError(list.error ? list.error : ERROR_GEN_FAILURE);
    return list.status == EnumerationStatus::Listed;
}

void RemoveWin98Entry(const std::string& name) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kWin98PrintProcessorsKey, 0, KEY_WRITE, &key) !=
        ERROR_SUCCESS)
        return;
    RegDeleteKeyA(key, name.c_str());
    RegCloseKey(key);
}

struct PrintProcessorSource {
    UINT folderId = 0;
    UINT fileId = 0;
    bool inUseTolerated = false;
};

PrintProcessorSource FamilySource() {
    switch (WindowsFamily()) {
    case kWin98Family: return {IDS_WIN98_PROCESSOR_FOLDER, IDS_WIN98_PROCESSOR_DLL, true};
    case kWin2000Family: return {IDS_WIN2000_PROCESSOR_FOLDER, IDS_WIN2000_PROCESSOR_DLL, false};
    case kNT4Family: return {IDS_NT4_PROCESSOR_FOLDER, IDS_NT4_PROCESSOR_DLL, false};
    default: return {};
    }
}

std::string StringOrEmpty(UINT id) {
    return id ? ResourceString(id) : std::string();
}

}  // namespace

bool PrintProcessorExists(const std::string& name) {
    std::string environment = SpoolerEnvironment();
    // A list that cannot be had means "not known to be there": the step that then installs it
    // meets the same failure and is the one that shows it.
    Enumeration list = EnumeratePrintProcessors(environment);
    if (list.status != EnumerationStatus::Listed) return false;
    const PRINTPROCESSOR_INFO_1A* items = list.Items<PRINTPROCESSOR_INFO_1A>();
    for (DWORD i = 0; i < list.count; ++i)
        if (items[i].pName && name == items[i].pName) return true;
    return false;
}

bool RemovePrintProcessor(const std::string& name) {
    std::string environment = SpoolerEnvironment();
    Enumeration list;
    bool failed = false;
    // Nothing installed is nothing to remove.
    if (!ListPrintProcessors(environment, list, failed)) return !failed;
    const PRINTPROCESSOR_INFO_1A* items = list.Items<PRINTPROCESSOR_INFO_1A>();
    for (DWORD i = 0; i < list.count; ++i) {
        if (!items[i].pName || name != items[i].pName) continue;
        std::string processor = name;
        if (!DeletePrintProcessorA(nullptr, environment.data(), processor.data())) {
            ShowSystemError(GetLastError());
            return false;
        }
        RemoveWin98Entry(name);
    }
    return true;
}

bool PrintProcessorDirectory(std::string& directory) {
    std::string environment = SpoolerEnvironment();
    Enumeration answer = Enumerate([&](BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
        *returned = 1;
        return GetPrintProcessorDirectoryA(nullptr, environment.data(), 1, buffer, size, needed);
    });
    if (answer.status != EnumerationStatus::Listed) {
        // Even an empty answer stops the step, so it is told why.
        ShowSystemError(answer.error ? answer.error : ERROR_GEN_FAILURE);
        return false;
    }
    // The answer is a terminated text inside a buffer of the size given.
    answer.data.push_back(0);
    directory = WithBackslash(reinterpret_cast<const char*>(answer.data.data()));
    return true;
}

bool CopyPrintProcessor(const std::string& sourceFolder, const std::string& fileName,
                        bool* restartNeeded) {
    std::string target;
    if (!PrintProcessorDirectory(target)) return false;
    std::vector<KeptFile> kept;
    if (CopySetupFileUnlessOlder(sourceFolder, fileName, target, kept)) {
        ReportKeptFiles(kept);
        return true;
    }
    if (restartNeeded && FileInUse(GetLastError())) {
        *restartNeeded = true;
        return false;
    }
    ShowEngineMessage(CopyFailureText(sourceFolder, fileName));
    return false;
}

std::string PrintProcessorLibrary() {
    return StringOrEmpty(FamilySource().fileId);
}

bool RegisterPrintProcessor(const std::string& name, const std::string& fileName) {
    std::string environment = SpoolerEnvironment(), library = fileName, processor = name;
    if (!AddPrintProcessorA(nullptr, environment.data(), library.data(), processor.data())) {
        ShowSystemError(GetLastError());
        return false;
    }
    return true;
}

bool InstallPrintProcessor(bool* restartNeeded) {
    InstallChoices& choices = Choices();
    const std::string name = choices.PrinterInfo.PrintProcessor;
    if (name.empty()) return true;
    if (!RemovePrintProcessor(name)) return false;
    PrintProcessorSource source = FamilySource();
    std::string file = StringOrEmpty(source.fileId);
    if (!CopyPrintProcessor(choices.gstrSetupDir + StringOrEmpty(source.folderId), file,
                            source.inUseTolerated ? restartNeeded : nullptr))
        return false;
    return RegisterPrintProcessor(name, file);
}

void RemoveRollPaperForm() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFormsKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(key, kRollPaperForm);
    RegCloseKey(key);
}
