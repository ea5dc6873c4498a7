#include "removal.h"

#include <windows.h>
#include <winspool.h>

#include "print_processor_install.h"
#include "printer_install.h"
#include "removal_files.h"
#include "removal_parts.h"
#include "restart_windows.h"
#include "setup_copy.h"
#include "setup_log.h"
#include "spooler_enum.h"
#include "spooler_restart.h"
#include "system_error_text.h"
#include "uninstall_entry.h"

namespace {

std::string Trimmed(const std::string& text, const char* blanks) {
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// True when any port of the list `ports` is one of the monitor's (named VESK...).
bool UsesMonitorPort(const std::string& ports) {
    const int chars = lstrlenA(kMonitorPortPrefix);
    for (size_t at = 0; at <= ports.size();) {
        size_t end = ports.find(',', at);
        if (end == std::string::npos) end = ports.size();
        std::string port = Trimmed(ports.substr(at, end - at), " ");
        if (static_cast<int>(port.size()) >= chars &&
            CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, port.c_str(), chars,
                           kMonitorPortPrefix, chars) == CSTR_EQUAL)
            return true;
        at = end + 1;
    }
    return false;
}

std::string Text(const char* text) {
    return text ? text : "";
}

// The local printers at level 2; false when they cannot be listed (shown).
bool ListPrinters(Enumeration& printers) {
    printers = Enumerate([](BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
        return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer, size, needed, returned);
    });
    return ListUsable(printers);
}

const PRINTER_INFO_2A* PrinterItems(const Enumeration& printers) {
    return printers.status == EnumerationStatus::Listed ? printers.Items<PRINTER_INFO_2A>() : nullptr;
}

// Waits, at most kPrintersGoneLimitMs, until the spooler lists none of the printers `deleted`;
// `staying` are those it still lists then, pending deletion or not. False when the printers
// cannot be listed (shown).
bool WaitUntilGone(const std::vector<std::string>& deleted, std::vector<std::string>& staying) {
    const DWORD start = GetTickCount();
    for (;;) {
        Enumeration printers;
        if (!ListPrinters(printers)) return false;
        staying.clear();
        const PRINTER_INFO_2A* items = PrinterItems(printers);
        for (DWORD i = 0; items && i < printers.count; ++i)
            for (const std::string& name : deleted)
                if (lstrcmpiA(Text(items[i].pPrinterName).c_str(), name.c_str()) == 0) staying.push_back(name);
        if (staying.empty() || GetTickCount() - start >= kPrintersGoneLimitMs) return true;
        Sleep(kPrintersGonePollMs);
    }
}

// Sorts the local printers: `ours` (on port VESK, of a model) are deleted; `inTheWay` stay
// but use the monitor's ports or the print processor. False when they cannot be listed
// (shown).
bool SortPrinters(std::vector<std::string>& ours, std::vector<std::string>& inTheWay) {
    Enumeration printers;
    if (!ListPrinters(printers)) return false;
    const std::vector<std::string> models = ModelDriverNames();
    const PRINTER_INFO_2A* items = PrinterItems(printers);
    for (DWORD i = 0; items && i < printers.count; ++i) {
        std::string name = Text(items[i].pPrinterName), ports = Text(items[i].pPortName);
        if (IsVeskPortList(ports) && IsModelDriver(models, Text(items[i].pDriverName)))
            ours.push_back(name);
        else if (UsesMonitorPort(ports) ||
                 lstrcmpiA(Text(items[i].pPrintProcessor).c_str(), kPrintProcessorName) == 0)
            inTheWay.push_back(name + " (" + ports + ", " + Text(items[i].pDriverName) + ")");
    }
    return true;
}

// Shows `text` followed by the `printers` that stop the removal.
RemovalOutcome StoppedBy(const char* text, const std::vector<std::string>& printers) {
    std::string message = text;
    for (const std::string& printer : printers) message += "\n" + printer;
    ShowEngineMessage(message);
    return RemovalOutcome::Failed;
}

void RemoveParts(RemovalPass& pass) {
    RemoveModelDrivers(pass);
    RemoveVeskPrintProcessor(pass);
    RemoveVeskMonitor(pass);
}

// Drivers, print processor and monitor with their files; what the spooler holds is tried
// again after its restart, and what it still holds then goes when Windows starts
// (`scheduled`). False when something stays (shown).
bool RemoveSoftware(bool& scheduled) {
    FileRemoval files;
    RemovalPass first{files};
    RemoveParts(first);
    bool removed = !first.failed;
    if (first.retry || files.AnyHeld()) {
        LogLine("the spooler holds parts of the software: it is restarted");
        // A restart that fails says so itself; the last pass then shows what stays.
        RestartSpooler();
        files.Retry();
        RemovalPass last{files, true};
        RemoveParts(last);
        removed = removed && !last.failed;
    }
    return files.ScheduleHeld(scheduled) && removed;
}

}  // namespace

std::string RemovalQuestion(const std::vector<std::string>& printers) {
    std::string text =
        "The Vesk printer software will be removed from this computer: its port monitor, its "
        "print processor and the printer drivers of its models that no other printer uses.\n\n";
    if (printers.empty()) {
        text += "No printer on port VESK is to be deleted.";
    } else {
        text += "These printers on port VESK will be deleted, with the documents waiting in them:";
        for (const std::string& name : printers) text += "\n" + name;
    }
    return text + "\n\nDo you want to continue?";
}

bool IsVeskPortList(const std::string& ports) {
    return lstrcmpiA(Trimmed(ports, " ,:").c_str(), kMonitorPortPrefix) == 0;
}

RemovalOutcome RemoveInstallation(InstallFrontEnd& frontEnd, const std::wstring& runningProgram) {
    FrontEndScope talking(frontEnd);
    LogLine("removal of the installation");
    std::vector<std::string> ours, inTheWay;
    if (!SortPrinters(ours, inTheWay)) return RemovalOutcome::Failed;
    // Nothing goes while a printer that stays needs a part: it would no longer print.
    if (!inTheWay.empty()) return StoppedBy(kPrintersInTheWayText, inTheWay);
    if (AskEngineQuestion(RemovalQuestion(ours), InstallQuestion::RemovePrinters) != IDYES)
        return RemovalOutcome::Declined;

    // A printer that stays keeps its driver, and with it the removal from going on.
    for (const std::string& name : ours) {
        bool opened = false;
        bool deleted = DeleteModelPrinter(name, true, opened);
        LogStep("printer " + name + " deleted", deleted);
        if (!deleted) return RemovalOutcome::Failed;
    }
    // A deleted printer still listed would keep its driver in use and the print processor
    // loaded: the removal stops, to be run again when the printer is gone.
    std::vector<std::string> staying;
    if (!WaitUntilGone(ours, staying)) return RemovalOutcome::Failed;
    if (!staying.empty()) return StoppedBy(kPrintersStayText, staying);
    // The machine's form that earlier driver versions added for the models' paper.
    RemoveRollPaperForm();
    bool scheduled = false;
    bool removed = RemoveSoftware(scheduled);
    LogStep("drivers, print processor and monitor removed", removed);
    ForgetSavedInstallation();
    // What stays can be removed by running the removal again from the list of installed
    // programs: the entry and the copy it starts stay with it.
    if (!removed) return RemovalOutcome::Failed;
    // The running program alone going when Windows starts asks for no restart: nothing of the
    // printer system is left working meanwhile. Anything else of the copy that goes only then
    // does.
    bool copyScheduled = false;
    bool copyRemoved = RemoveSetupCopy(SetupCopyFolder(), runningProgram, copyScheduled);
    LogStep("setup's copy removed", copyRemoved);
    if (!copyRemoved) return RemovalOutcome::Failed;
    // The entry goes last: it starts the copy, so the two stay together.
    DWORD error = 0;
    bool unregistered = UnregisterProduct(error);
    LogStep("entry in the list of installed programs deleted", unregistered);
    if (!unregistered) {
        ShowSystemError(error);
        return RemovalOutcome::Failed;
    }
    return scheduled || copyScheduled ? RemovalOutcome::RestartNeeded : RemovalOutcome::Removed;
}
