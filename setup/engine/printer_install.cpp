#include "printer_install.h"

#include <winspool.h>

#include <functional>
#include <vector>

#include "install_choices.h"
#include "resource.h"
#include "setup_log.h"
#include "spooler_enum.h"
#include "string_table.h"
#include "system_error_text.h"
#include "windows_family.h"

namespace {

constexpr DWORD kPrinterFullAccess = PRINTER_ALL_ACCESS;  // 0xF000C
// Earlier installations named the Kx240-F's driver so.
constexpr char kEarlierDriverName[] = "Kx240";

// An empty field is given to the spooler as none.
char* FieldOrNone(std::string& text) {
    return text.empty() ? nullptr : text.data();
}

bool PrinterNameTaken(const std::string& name) {
    std::string copy = name;
    HANDLE printer = nullptr;
    if (!OpenPrinterA(copy.data(), &printer, nullptr)) return false;
    ClosePrinter(printer);
    return true;
}

// Closes a printer handle when it goes.
struct PrinterHandle {
    HANDLE handle = nullptr;
    ~PrinterHandle() {
        if (handle) ClosePrinter(handle);
    }
};

// The printer's level-2 record, read into `buffer`; null when it cannot be had.
PRINTER_INFO_2A* ReadPrinterRecord(HANDLE printer, std::vector<BYTE>& buffer) {
    Enumeration record = Enumerate([&](BYTE* data, DWORD size, DWORD* needed, DWORD* returned) {
        *returned = 1;
        return GetPrinterA(printer, 2, data, size, needed);
    });
    if (record.status != EnumerationStatus::Listed) return nullptr;
    buffer = std::move(record.data);
    return reinterpret_cast<PRINTER_INFO_2A*>(buffer.data());
}

// The question names what it would delete.
std::string ReplaceQuestion(const std::string& printer, const std::string& driver) {
    return ResourceString(IDS_REPLACE_PRINTER) + "\n\nPrinter: " + printer + "\nDriver: " + driver;
}

std::string NotDeletedText(const std::string& printer, DWORD error) {
    return "The printer \"" + printer + "\" could not be deleted.\n" + SystemErrorText(error);
}

void AnnounceDefaultPrinter(const char* section) {
    SendMessageTimeoutA(HWND_BROADCAST, WM_WININICHANGE, 0, reinterpret_cast<LPARAM>(section),
                        SMTO_NORMAL, kSettingChangeTimeoutMs, nullptr);
}

}  // namespace

std::vector<std::string> ModelDriverNames() {
    std::string list = ResourceString(IDS_MODEL_NAMES) + "\n" + kEarlierDriverName;
    CharLowerBuffA(list.data(), static_cast<DWORD>(list.size()));
    std::vector<std::string> names;
    for (size_t at = 0; at <= list.size();) {
        size_t end = list.find('\n', at);
        if (end == std::string::npos) end = list.size();
        if (end > at) names.push_back(list.substr(at, end - at));
        at = end + 1;
    }
    return names;
}

bool IsModelDriver(const std::vector<std::string>& models, std::string driver) {
    // Whole names only: a driver called "x" or "0" is no model's driver.
    if (driver.empty()) return false;
    CharLowerBuffA(driver.data(), static_cast<DWORD>(driver.size()));
    for (const std::string& model : models)
        if (model == driver) return true;
    return false;
}

bool CreatePrinter() {
    PrinterSetupInfo info = Choices().PrinterInfo;
    if (info.PrinterName.empty()) {
        ShowSystemError(ERROR_INVALID_PARAMETER);
        return false;
    }
    // Some spoolers (Wine's among them) accept a second printer of a name already taken, and
    // two printers of one name cannot be told apart afterwards: refuse as Windows does.
    if (PrinterNameTaken(info.PrinterName)) {
        ShowSystemError(ERROR_PRINTER_ALREADY_EXISTS);
        return false;
    }
    PRINTER_INFO_2A record{};
    record.pPrinterName = FieldOrNone(info.PrinterName);
    record.pShareName = FieldOrNone(info.ShareName);
    record.pPortName = FieldOrNone(info.PortName);
    record.pDriverName = FieldOrNone(info.DriverName);
    record.pPrintProcessor = FieldOrNone(info.PrintProcessor);
    record.pDatatype = FieldOrNone(info.Datatype);
    record.Attributes = info.ShareName.empty() ? 0 : PRINTER_ATTRIBUTE_SHARED;
    HANDLE printer = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&record));
    if (!printer) {
        ShowSystemError(GetLastError());
        return false;
    }
    ClosePrinter(printer);
    return true;
}

int CountPrinters(const std::string& prefix) {
    DWORD error = 0;
    int count = CountPrinters(prefix, error);
    if (error) ShowSystemError(error);
    return count;
}

int CountPrinters(const std::string& prefix, DWORD& error) {
    error = 0;
    Enumeration printers =
        Enumerate([](BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
            return EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, buffer,
                                 size, needed, returned);
        });
    if (printers.status == EnumerationStatus::Empty) return 0;
    if (printers.status != EnumerationStatus::Listed) {
        error = printers.error;
        return 0;
    }
    int count = 0;
    int prefixChars = static_cast<int>(prefix.size());
    const PRINTER_INFO_2A* items = printers.Items<PRINTER_INFO_2A>();
    for (DWORD i = 0; i < printers.count; ++i) {
        const char* name = items[i].pPrinterName;
        if (!name || lstrlenA(name) < prefixChars) continue;
        if (CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, name, prefixChars,
                           prefix.c_str(), prefixChars) == CSTR_EQUAL)
            ++count;
    }
    return count;
}

namespace {

// Asks about each local printer of the models, in the spooler's order; `onYes` runs for each
// Yes and may end the walk. False when the list cannot be had (shown), at a No, or when
// `onYes` says so.
bool AskAboutModelPrinters(const std::function<bool(const std::string&)>& onYes) {
    Enumeration printers =
        Enumerate([](BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
            return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer, size, needed, returned);
        });
    switch (printers.status) {
    case EnumerationStatus::Empty:
        if (!printers.sizeQueryFailed) return true;
        // A list that cannot be had stops the run: it says why.
        ShowSystemError(printers.error ? printers.error : ERROR_GEN_FAILURE);
        return false;
    case EnumerationStatus::NoMemory: ShowSystemError(ERROR_OUTOFMEMORY); return false;
    case EnumerationStatus::Failed: ShowSystemError(printers.error); return false;
    case EnumerationStatus::Listed: break;
    }
    std::vector<std::string> models = ModelDriverNames();
    const PRINTER_INFO_2A* items = printers.Items<PRINTER_INFO_2A>();
    for (DWORD i = 0; i < printers.count; ++i) {
        // A printer of one of the models, or of the earlier name of one.
        std::string driver = items[i].pDriverName ? items[i].pDriverName : "";
        if (!IsModelDriver(models, driver)) continue;
        std::string name = items[i].pPrinterName ? items[i].pPrinterName : "";
        if (AskEngineQuestion(ReplaceQuestion(name, driver), InstallQuestion::ReplacePrinter) != IDYES) return false;
        if (!onYes(name)) return false;
    }
    return true;
}

// Deletes the printer `name` the user agreed to replace, with its roll-paper form.
bool DeleteReplacedPrinter(const std::string& name, bool& printerRemoved) {
    return DeleteModelPrinter(name, false, printerRemoved);
}

}  // namespace

bool DeleteModelPrinter(const std::string& name, bool purgeJobs, bool& opened) {
    PrinterHandle printer;
    PRINTER_DEFAULTSA access{nullptr, nullptr, kPrinterFullAccess};
    std::string copy = name;
    // One the user asked to delete and that stays would be used beside the new one, or
    // would keep the removed software's parts in use.
    if (!OpenPrinterA(copy.data(), &printer.handle, &access)) {
        ShowEngineMessage(NotDeletedText(name, GetLastError()));
        return false;
    }
    // A printer with documents waiting goes only when they are done; the documents of a
    // printer that is removed for good are not printed anywhere any more.
    if (purgeJobs && !SetPrinterA(printer.handle, 0, nullptr, PRINTER_CONTROL_PURGE))
        LogLine("the documents waiting in " + name + " were not deleted: " + SystemErrorText(GetLastError()));
    DeleteFormA(printer.handle, const_cast<char*>(kRollPaperForm));
    opened = true;
    if (!DeletePrinter(printer.handle)) {
        DWORD error = GetLastError();
        ClosePrinter(printer.handle);
        printer.handle = nullptr;
        ShowEngineMessage(NotDeletedText(name, error));
        return false;
    }
    return true;
}

bool RemoveExistingPrinters(bool& printerRemoved) {
    return AskAboutModelPrinters(
        [&](const std::string& name) { return DeleteReplacedPrinter(name, printerRemoved); });
}

bool AskToReplacePrinters(std::vector<std::string>& agreed) {
    agreed.clear();
    return AskAboutModelPrinters([&](const std::string& name) {
        agreed.push_back(name);
        return true;
    });
}

bool DeletePrinters(const std::vector<std::string>& names, bool& printerRemoved,
                    std::vector<std::string>& removed) {
    for (const std::string& name : names) {
        if (!DeleteReplacedPrinter(name, printerRemoved)) return false;
        removed.push_back(name);
    }
    return true;
}

std::string DefaultPrinterName(const std::string& model, int existing) {
    if (existing <= 0) return model;
    return model + " (Copy " + std::to_string(existing + 1) + ")";
}

bool MakeDefaultPrinter(const std::string& name) {
    if (name.empty()) return false;
    OSVERSIONINFOA version;
    if (!QueryWindowsVersion(version)) return true;
    std::string printerName = name;

    if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        PrinterHandle printer;
        if (!OpenPrinterA(printerName.data(), &printer.handle, nullptr)) return false;
        std::vector<BYTE> buffer;
        PRINTER_INFO_2A* record = ReadPrinterRecord(printer.handle, buffer);
        if (!record) return false;
        record->Attributes |= PRINTER_ATTRIBUTE_DEFAULT;
        if (!SetPrinterA(printer.handle, 2, buffer.data(), 0)) return false;
        AnnounceDefaultPrinter("windows");
        return true;
    }
    if (version.dwPlatformId != VER_PLATFORM_WIN32_NT) return true;
    if (version.dwMajorVersion < 5) {
        // Windows NT 4 keeps the default printer in the profile: name, driver and port.
        PrinterHandle printer;
        if (!OpenPrinterA(printerName.data(), &printer.handle, nullptr)) return false;
        std::vector<BYTE> buffer;
        PRINTER_INFO_2A* record = ReadPrinterRecord(printer.handle, buffer);
        if (!record || !record->pDriverName || !record->pPortName) return false;
        std::string device = name + "," + record->pDriverName + "," + record->pPortName;
        if (!WriteProfileStringA("windows", "device", device.c_str())) return false;
    } else if (!SetDefaultPrinterA(printerName.c_str())) {
        return false;
    }
    AnnounceDefaultPrinter(nullptr);
    return true;
}
