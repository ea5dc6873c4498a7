// setupstep: runs steps of setup's installation engine one at a time, outside the wizard, and
// prints what each did: for the tests, which check each step against the spooler, and for
// the demo, which installs from the medium with it.
//   setupstep [options] STEP [ARGUMENT]...
// Options:
//   --medium DIR       the setup folder the steps copy from (default: this program's folder)
//   --model NAME       the model of the catalogue the driver and printer steps work on
//   --keep-driver      an installed driver of the model is kept (replaced by default)
//   --printer NAME     the printer's name (default: the model's name)
//   --share NAME       the printer's share name (default: not shared)
//   --answers y,n,...  the answers to the steps' Yes/No questions, in order (then No)
//   --list-fault CODE  every list asked of the spooler fails with CODE, as without a spooler
// Steps: family, driver-record, monitor-needs-update, monitor-exists NAME,
//   remove-monitor NAME, install-monitor, driver-installed NAME, remove-drivers NAME,
//   install-driver, remove-driver-copies, create-printer, make-default NAME,
//   count-printers PREFIX, remove-existing-printers, restart-spooler, list,
//   probe COM SETTINGS (the first attempt: wake, query; the device closed again),
//   store-settings COM SETTINGS (the monitor's settings stored, no printer open).
// Every message a step shows is printed as "message: TEXT" (line breaks as \n); the step's
// result as "result: VALUE". The exit status is 0 when the step ran (whatever its result),
// 2 for a command line it does not understand.
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "driver_install.h"
#include "install_choices.h"
#include "model_catalogue.h"
#include "monitor_install.h"
#include "printer_detection.h"
#include "printer_install.h"
#include "setup_files.h"
#include "spooler_enum.h"
#include "spooler_restart.h"
#include "install_front_end.h"
#include "start_up.h"
#include "windows_family.h"

namespace {

std::vector<bool> g_answers;
size_t g_nextAnswer = 0;

std::string OneLine(const char* text) {
    std::string line;
    for (const char* c = text ? text : ""; *c; ++c) {
        if (*c == '\n') line += "\\n";
        else if (*c != '\r') line += *c;
    }
    return line;
}

// The engine's front end here is standard output: what it tells and asks is printed, and its
// questions are answered from --answers.
class PrintingFrontEnd : public InstallFrontEnd {
public:
    int Ask(const std::string& text, UINT type) override {
        std::printf("message: %s\n", OneLine(text.c_str()).c_str());
        if ((type & MB_TYPEMASK) != MB_YESNO) return IDOK;
        bool yes = g_nextAnswer < g_answers.size() && g_answers[g_nextAnswer];
        ++g_nextAnswer;
        std::printf("answer: %s\n", yes ? "yes" : "no");
        return yes ? IDYES : IDNO;
    }
    bool AskPortSettings(const std::string& portName, COMMCONFIG&) override {
        std::printf("port settings asked: %s\nanswer: cancel\n", portName.c_str());
        return false;
    }
    void Progress(InstallProgress progress) override {
        std::printf("progress: %s\n", progress == InstallProgress::Started ? "started" : "ended");
    }
};

void Result(const std::string& value) {
    std::printf("result: %s\n", value.c_str());
}
void Result(bool value) {
    Result(std::string(value ? "true" : "false"));
}

const char* Or(const char* text) {
    return text ? text : "";
}

void PrintMultiString(const char* label, const char* list) {
    std::printf("%s:", label);
    for (const char* p = list; p && *p; p += std::strlen(p) + 1) std::printf(" %s", p);
    std::printf("\n");
}

void PrintFamily() {
    std::printf("family: %d\n", WindowsFamily());
    std::printf("environment: %s\n", SpoolerEnvironment().c_str());
    std::printf("monitor folder: %s\n", MonitorSourceFolder().c_str());
    std::printf("driver folder: %s\n", DriverSourceFolder().c_str());
}

void PrintDriverRecord(const DriverInfo& model) {
    std::string directory;
    DWORD error = 0;
    if (!DriverDirectory(directory, error)) {
        std::printf("driver directory: none (error %lu)\n", error);
        return;
    }
    DriverRecord record = BuildDriverRecord(model, directory);
    std::printf("driver directory: %s\n", directory.c_str());
    std::printf("level: %lu\ncVersion: %lu\nenvironment: %s\n", record.level, record.cVersion,
                record.pEnvironment.c_str());
    std::printf("driver: %s\ndata: %s\nconfig: %s\nhelp: %s\n", record.pDriverPath.c_str(),
                record.pDataFile.c_str(), record.pConfigFile.c_str(),
                record.pHelpFile.empty() ? "(none)" : record.pHelpFile.c_str());
    PrintMultiString("dependent", record.pDependentFiles.data());
    std::printf("dependent chars: %zu\n", record.pDependentFiles.size());
    std::printf("data type: %s\n", record.pDefaultDataType.c_str());
}

Enumeration List(DWORD level, BOOL (*call)(DWORD, BYTE*, DWORD, DWORD*, DWORD*)) {
    return Enumerate([&](BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
        return call(level, buffer, size, needed, returned);
    });
}

// What the spooler knows after an installation: monitors, drivers, printers, the default.
void PrintSpooler() {
    Enumeration monitors = List(2, [](DWORD level, BYTE* b, DWORD s, DWORD* n, DWORD* r) {
        return EnumMonitorsA(nullptr, level, b, s, n, r);
    });
    for (DWORD i = 0; i < monitors.count; ++i) {
        const MONITOR_INFO_2A& m = monitors.Items<MONITOR_INFO_2A>()[i];
        std::printf("monitor: %s (library %s)\n", Or(m.pName), Or(m.pDLLName));
    }
    std::string environment = SpoolerEnvironment();
    Enumeration drivers = Enumerate([&](BYTE* b, DWORD s, DWORD* n, DWORD* r) {
        return EnumPrinterDriversA(nullptr, environment.data(), 3, b, s, n, r);
    });
    for (DWORD i = 0; i < drivers.count; ++i) {
        const DRIVER_INFO_3A& d = drivers.Items<DRIVER_INFO_3A>()[i];
        std::printf("driver: %s (version %lu, %s)\n", Or(d.pName), d.cVersion, Or(d.pEnvironment));
        std::printf("  driver file: %s\n  data file: %s\n  config file: %s\n  help file: %s\n",
                    Or(d.pDriverPath), Or(d.pDataFile), Or(d.pConfigFile), Or(d.pHelpFile));
        PrintMultiString("  dependent files", d.pDependentFiles);
    }
    Enumeration printers = List(2, [](DWORD level, BYTE* b, DWORD s, DWORD* n, DWORD* r) {
        return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, level, b, s, n, r);
    });
    for (DWORD i = 0; i < printers.count; ++i) {
        const PRINTER_INFO_2A& p = printers.Items<PRINTER_INFO_2A>()[i];
        std::printf("printer: %s (port %s, driver %s, print processor %s, data type %s, "
                    "attributes 0x%lx%s%s)\n",
                    Or(p.pPrinterName), Or(p.pPortName), Or(p.pDriverName), Or(p.pPrintProcessor),
                    Or(p.pDatatype), p.Attributes, p.pShareName && *p.pShareName ? ", shared as " : "",
                    Or(p.pShareName));
    }
    char name[512];
    DWORD chars = sizeof(name);
    if (GetDefaultPrinterA(name, &chars)) std::printf("default printer: %s\n", name);
    else std::printf("default printer: none (error %lu)\n", GetLastError());
}

// The port record for COM (COM1 or COM1:) at SETTINGS (9600,n,8,1); false for settings the
// platform cannot read.
bool PortRecord(const char* com, const char* settings, PrinterPortRecord& record) {
    record = PrinterPortRecord{};
    lstrcpynA(record.ComName, com, sizeof(record.ComName));
    SetPortHandle(record, INVALID_HANDLE_VALUE);
    record.Config.dwSize = sizeof(COMMCONFIG);
    record.Config.wVersion = 1;
    record.Config.dwProviderSubType = PST_RS232;
    record.Config.dcb.DCBlength = sizeof(DCB);
    return BuildCommDCBA(settings, &record.Config.dcb) != FALSE;
}

int Usage() {
    std::fprintf(stderr, "usage: setupstep [options] STEP [ARGUMENT]... (see setupstep.cpp)\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    InstallChoices& choices = Choices();
    StartInstallChoices(choices, GetCommandLineA(), ModuleFilePath());
    BuildModelCatalogue(choices.gModels);
    std::string model, printer, share;
    int i = 1;
    for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
        std::string option = argv[i];
        if (option == "--keep-driver") { choices.gbReplaceDriver = false; continue; }
        if (i + 1 >= argc) return Usage();
        std::string value = argv[++i];
        if (option == "--medium") choices.gstrSetupDir = WithBackslash(value);
        else if (option == "--model") model = value;
        else if (option == "--printer") printer = value;
        else if (option == "--share") share = value;
        else if (option == "--list-fault") SetEnumerationFault(std::strtoul(value.c_str(), nullptr, 10));
        else if (option == "--answers") {
            for (char c : value)
                if (c == 'y' || c == 'n') g_answers.push_back(c == 'y');
        } else return Usage();
    }
    if (i >= argc) return Usage();
    if (!model.empty()) {
        for (size_t m = 0; m < choices.gModels.size(); ++m)
            if (choices.gModels[m]->pName == model) {
                choices.gModelIndex = static_cast<int>(m);
                choices.gpModel = choices.gModels[m].get();
            }
        if (!choices.gpModel) {
            std::fprintf(stderr, "setupstep: no model %s in the catalogue\n", model.c_str());
            return 2;
        }
        PrinterSetupInfo& info = choices.PrinterInfo;
        info.PrinterName = printer.empty() ? model : printer;
        info.ShareName = share;
        info.PortName = "VESK";
        info.DriverName = model;
        info.PrintProcessor = "Vesk Print Processor";
        info.Datatype = "RAW";
    }
    PrintingFrontEnd frontEnd;
    FrontEndScope printing(frontEnd);
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    std::string step = argv[i];
    const char* argument = i + 1 < argc ? argv[i + 1] : nullptr;
    bool needsModel = step == "driver-record" || step == "install-driver" ||
                      step == "remove-driver-copies" || step == "create-printer";
    if (needsModel && !choices.gpModel) return Usage();
    bool needsArgument = step == "monitor-exists" || step == "remove-monitor" ||
                         step == "driver-installed" || step == "remove-drivers" ||
                         step == "make-default" || step == "count-printers";
    if (needsArgument && !argument) return Usage();
    PrinterPortRecord port{};
    if (step == "probe" || step == "store-settings") {
        if (i + 2 >= argc || !PortRecord(argv[i + 1], argv[i + 2], port)) return Usage();
    }

    if (step == "family") PrintFamily();
    else if (step == "driver-record") PrintDriverRecord(*choices.gpModel);
    else if (step == "monitor-needs-update") Result(MonitorNeedsUpdate());
    else if (step == "monitor-exists") Result(MonitorExists(argument));
    else if (step == "remove-monitor") Result(RemoveMonitor(argument));
    else if (step == "install-monitor") Result(InstallMonitor());
    else if (step == "driver-installed") Result(DriverInstalled(argument));
    else if (step == "remove-drivers") Result(RemoveDrivers(argument));
    else if (step == "install-driver") {
        bool restartNeeded = false;
        Result(InstallDriver(&restartNeeded));
        std::printf("reboot needed: %s\n", restartNeeded ? "true" : "false");
    } else if (step == "remove-driver-copies") {
        if (DriverFiles* files = FamilyDriverFiles(*choices.gpModel)) RemoveDriverCopies(*files);
        Result(std::string("done"));
    } else if (step == "create-printer") Result(CreatePrinter());
    else if (step == "make-default") Result(MakeDefaultPrinter(argument));
    else if (step == "count-printers") Result(std::to_string(CountPrinters(argument)));
    else if (step == "remove-existing-printers") {
        bool removed = false;
        Result(RemoveExistingPrinters(removed));
        std::printf("printer removed: %s\n", removed ? "true" : "false");
    } else if (step == "restart-spooler") Result(std::to_string(RestartSpooler()));
    else if (step == "list") PrintSpooler();
    else if (step == "probe") {
        HANDLE device = INVALID_HANDLE_VALUE;
        DWORD result = ProbePrinter(port, &device, true);
        if (result == 0) CloseHandle(device);
        Result(std::to_string(result));
    } else if (step == "store-settings") {
        std::string stored;
        DWORD result = StorePortSettings(port, stored);
        Result(std::to_string(result));
        if (result == 0) std::printf("stored: %s\n", stored.c_str());
    }
    else return Usage();
    return 0;
}
