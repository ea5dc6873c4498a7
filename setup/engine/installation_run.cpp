#include "installation_run.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "driver_install.h"
#include "install_choices.h"
#include "monitor_install.h"
#include "monitor_staging.h"
#include "print_processor_install.h"
#include "printer_detection.h"
#include "printer_install.h"
#include "resource.h"
#include "restart_windows.h"
#include "setup_copy.h"
#include "setup_log.h"
#include "spooler_restart.h"
#include "string_table.h"
#include "system_error_text.h"
#include "test_page.h"
#include "uninstall_entry.h"
#include "windows_family.h"

namespace {

// A record for `portName` whose line is set from `settings`; its configuration starts from
// `config` (the port's defaults, or zero).
PrinterPortRecord PortRecord(const std::string& portName, const std::string& settings,
                             const COMMCONFIG& config) {
    PrinterPortRecord record{};
    std::string name = portName;
    if (!name.empty() && name.back() == ':') name.pop_back();
    lstrcpynA(record.ComName, name.c_str(), sizeof record.ComName);
    SetPortHandle(record, INVALID_HANDLE_VALUE);
    record.Config = config;
    record.Config.dwSize = sizeof(COMMCONFIG);
    record.Config.dwProviderSubType = PST_RS232;
    record.Config.dcb.DCBlength = sizeof(DCB);
    BuildCommDCBA(settings.c_str(), &record.Config.dcb);
    return record;
}

// The port's default configuration. The platform is offered a buffer larger than the
// configuration itself, as a provider may add data of its own (and a larger one still when
// it asks for more); only the configuration is kept.
COMMCONFIG DefaultConfig(const char* comName) {
    COMMCONFIG result{};
    DWORD size = kDefaultConfigBufferSize;
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::vector<BYTE> buffer(std::max<DWORD>(size, sizeof(COMMCONFIG)), 0);
        auto* config = reinterpret_cast<COMMCONFIG*>(buffer.data());
        config->dwSize = sizeof(COMMCONFIG);
        config->dwProviderSubType = PST_RS232;
        size = static_cast<DWORD>(buffer.size());
        if (GetDefaultCommConfigA(comName, config, &size)) {
            std::memcpy(&result, buffer.data(), sizeof result);
            break;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= buffer.size() ||
            size > kMaxDefaultConfigSize)
            break;
    }
    return result;
}

// `succeeded`, after writing the step's line to the log.
bool Logged(const std::string& step, bool succeeded) {
    LogStep(step, succeeded);
    return succeeded;
}

void CloseDevice(HANDLE& device) {
    if (device != INVALID_HANDLE_VALUE && device) CloseHandle(device);
    device = INVALID_HANDLE_VALUE;
}

// The restart path once a step has failed: only when a file in use asked for it.
InstallOutcome RestartOrStop(const InstallRunState& state) {
    if (!state.rebootNeeded) return InstallOutcome::Stopped;
    return SaveStateAndRestart() ? InstallOutcome::Restarting : InstallOutcome::Stopped;
}

}  // namespace

std::string CheckPrinterPort(const std::string& portName, const std::string& settings) {
    // Without a port or with settings the platform cannot read (a resume whose saved state
    // is gone) nothing could be stored for the monitor but a broken entry.
    DCB check{};
    check.DCBlength = sizeof check;
    std::string bare = portName.substr(0, portName.find(':'));
    // (Some platforms accept an empty text and leave the block's data bits at 0.)
    if (bare.empty() || bare.size() >= sizeof(PrinterPortRecord::ComName) || settings.empty() ||
        !BuildCommDCBA(settings.c_str(), &check) || check.BaudRate == 0 || check.ByteSize < 5 ||
        check.ByteSize > 8) {
        ShowSystemError(ERROR_INVALID_PARAMETER);
        return {};
    }
    const COMMCONFIG none{};
    PrinterPortRecord probe = PortRecord(portName, settings, none);
    probe.Config = PortRecord(portName, settings, DefaultConfig(probe.ComName)).Config;

    // The device a repeat probe leaves open, on which the store switches the printer.
    HANDLE device = INVALID_HANDLE_VALUE;
    if (Choices().gbTalkToPrinter) {
        HANDLE answered = INVALID_HANDLE_VALUE;
        bool goOn = ProbePrinter(probe, &answered, true) == 0;
        // At the chosen settings the printer needs no switch: its device is not kept.
        if (goOn) CloseDevice(answered);
        // Asked until the printer answers, or the user goes on without it or gives up.
        while (!goOn) {
            if (EngineMessage(ResourceString(IDS_UNABLE_TO_COMMUNICATE), MB_OKCANCEL,
                              InstallQuestion::UnreachablePrinter) == IDOK) break;
            if (!CurrentFrontEnd().AskPortSettings(portName, probe.Config)) {
                LogLine("the printer's present settings were not given");
                return {};
            }
            LogLine("the printer's present settings were given: " +
                    std::to_string(probe.Config.dcb.BaudRate) + " baud");
            HANDLE opened = INVALID_HANDLE_VALUE;
            if (ProbePrinter(probe, &opened, false) == 0) {
                device = opened;
                goOn = true;
            }
        }
    }

    PrinterPortRecord store = PortRecord(portName, settings, none);
    SetPortHandle(store, device);
    std::string stored;
    if (StorePortSettings(store, stored) != 0) {
        // The store shows nothing itself; a run must not end without saying why.
        ShowEngineMessage(kStoreFailedText);
        return {};
    }
    return std::string(1, '\1');
}

namespace {

// The copies of the model's driver files the spooler took its own from (none on Windows 98,
// where they are the driver).
void RemoveDriverDirectoryCopies() {
    DriverInfo* model = Choices().gpModel;
    if (!model || WindowsFamily() == kWin98Family) return;
    if (DriverFiles* files = FamilyDriverFiles(*model)) RemoveDriverCopies(*files);
}

// Removes the driver directory's copies when the run ends, whichever way it ends.
struct DriverCopiesRemoval {
    const DriverPlan& plan;
    ~DriverCopiesRemoval() {
        if (plan.filesCopied) RemoveDriverDirectoryCopies();
    }
};

// Says which printers a run removed when it stops before it has created its own: the person
// must know what is no longer there.
void ReportRemovedPrinters(const std::vector<std::string>& removed) {
    if (removed.empty()) return;
    std::string text = kRemovedPrintersText;
    for (const std::string& name : removed) text += "\n" + name;
    ShowEngineMessage(text);
}

// The steps after the replaced printers are gone.
InstallOutcome InstallAfterRemoval(InstallRunState& state, bool update, StagedMonitor& staged,
                                   const DriverPlan& driver) {
    InstallChoices& choices = Choices();
    const int family = WindowsFamily();
    const std::string monitor = ResourceString(IDS_MONITOR_NAME);
    const std::string& processor = choices.PrinterInfo.PrintProcessor;
    if (!Logged("install the printer driver", InstallDriver(driver, &state.rebootNeeded))) {
        if (family != kWin98Family) return RestartOrStop(state);
        if (!state.rebootNeeded) return InstallOutcome::Stopped;
        // What the restarted run installs afresh must not be left half replaced; a run that
        // may not resume again leaves it all in place.
        if (ResumeAllowed()) {
            if (update || MonitorExists(monitor)) RemoveMonitor(monitor);
            if (update || PrintProcessorExists(processor)) RemovePrintProcessor(processor);
        }
        return SaveStateAndRestart() ? InstallOutcome::Restarting : InstallOutcome::Stopped;
    }
    RemoveDriverDirectoryCopies();
    if ((update || !MonitorExists(monitor)) &&
        !Logged("install the port monitor", InstallMonitor(&staged)))
        return RestartOrStop(state);
    if ((update || !PrintProcessorExists(processor)) &&
        !Logged("install the print processor", InstallPrintProcessor(&state.rebootNeeded)))
        return RestartOrStop(state);
    if (!Logged("create the printer " + choices.PrinterInfo.PrinterName, CreatePrinter()))
        return InstallOutcome::Stopped;
    return InstallOutcome::Completed;
}

// The run's steps in their order.
InstallOutcome RunSteps(InstallRunState& state) {
    InstallChoices& choices = Choices();
    // A fresh run replaces whatever an earlier, interrupted one saved: if this one stops,
    // nothing of that one may replay at the next logon.
    if (!choices.gbResume) ForgetSavedInstallation();
    if (!Logged("copy the setup files to the program files folder", PrepareSetupCopy(choices)))
        return InstallOutcome::Stopped;
    const bool update = MonitorNeedsUpdate();
    LogLine(update ? "the port monitor is to be installed or updated"
                   : "the installed port monitor is kept");
    // The new monitor and driver files are on the machine and checked, and the printer's
    // settings settled, before a printer of the old one goes: a run that stops before then
    // changes none.
    StagedMonitor staged;
    if (update && !Logged("stage the port monitor", StageMonitor(staged)))
        return InstallOutcome::Stopped;
    DriverPlan driver;
    DriverCopiesRemoval removeCopies{driver};
    if (!Logged("prepare the printer driver", PrepareDriver(driver))) return InstallOutcome::Stopped;
    std::vector<std::string> replaced;
    if (update && !Logged("ask about earlier printers", AskToReplacePrinters(replaced)))
        return InstallOutcome::Stopped;

    // A spooler that still holds a removed printer is not restarted: the run that removed
    // it, and every later one in this program, goes on with it as it is.
    if (!state.printerRemoved) {
        RemoveRollPaperForm();
        DWORD restart = RestartSpooler();
        LogStep("restart the spooler", restart == ERROR_SUCCESS);
        if (restart == ERROR_ACCESS_DENIED || restart == kSpoolerNotRunning)
            return InstallOutcome::Stopped;
    }
    if (!Logged("check the printer on " + choices.gstrPort + " at " + choices.gstrSettings,
                !CheckPrinterPort(choices.gstrPort, choices.gstrSettings).empty()))
        return InstallOutcome::Stopped;
    std::vector<std::string> removed;
    bool deleted = Logged("delete the printers replaced",
                          DeletePrinters(replaced, state.printerRemoved, removed));
    InstallOutcome outcome =
        deleted ? InstallAfterRemoval(state, update, staged, driver) : InstallOutcome::Stopped;
    if (outcome == InstallOutcome::Stopped) ReportRemovedPrinters(removed);
    if (outcome != InstallOutcome::Completed) return outcome;
    // The installation can be removed from the list of installed programs from now on. A
    // registration that fails is shown; the printer works all the same.
    LogStep("entry in the list of installed programs", RegisterProduct());

    if (choices.gbDefaultPrinter)
        Logged("make the printer the default printer",
               MakeDefaultPrinter(choices.PrinterInfo.PrinterName));
    Sleep(kTestPageDelayMs);
    if (choices.gbTestPage && !Logged("print the test page", PrintTestPage()))
        ShowEngineMessage(ResourceString(IDS_TEST_PAGE_ERROR));
    return InstallOutcome::Completed;
}

}  // namespace

InstallOutcome RunInstallationSteps(InstallFrontEnd& frontEnd, InstallRunState& state) {
    FrontEndScope talking(frontEnd);
    struct Progress {
        InstallFrontEnd& frontEnd;
        explicit Progress(InstallFrontEnd& f) : frontEnd(f) { frontEnd.Progress(InstallProgress::Started); }
        ~Progress() { frontEnd.Progress(InstallProgress::Ended); }
    } progress(frontEnd);
    return RunSteps(state);
}
