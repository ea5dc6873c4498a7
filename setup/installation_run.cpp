#include "installation_run.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "driver_install.h"
#include "install_choices.h"
#include "monitor_install.h"
#include "monitor_staging.h"
#include "port_settings_dlg.h"
#include "print_processor_install.h"
#include "printer_detection.h"
#include "printer_install.h"
#include "resource.h"
#include "restart_windows.h"
#include "setup_copy.h"
#include "spooler_restart.h"
#include "string_table.h"
#include "system_error_text.h"
#include "test_page.h"
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

void CloseDevice(HANDLE& device) {
    if (device != INVALID_HANDLE_VALUE && device) CloseHandle(device);
    device = INVALID_HANDLE_VALUE;
}

// The restart path once a step has failed: only when a file in use asked for it.
InstallOutcome RestartOrStop() {
    if (!Choices().gbRebootNeeded) return InstallOutcome::Stopped;
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
            if (EngineMessage(ResourceString(IDS_UNABLE_TO_COMMUNICATE), MB_OKCANCEL) == IDOK) break;
            CPortSettingsDlg present(portName.c_str(), &probe.Config, GetActiveWindow());
            if (present.DoModal() != IDOK) return {};
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

InstallOutcome RunInstallationSteps(CSetupDlg& frame) {
    InstallChoices& choices = Choices();
    if (!PrepareSetupCopy(choices)) return InstallOutcome::Stopped;
    const int family = WindowsFamily();
    const bool update = MonitorNeedsUpdate();
    // The new monitor is on the machine and checked, and the printer's settings settled,
    // before a printer of the old one goes: a run that stops before then changes none.
    StagedMonitor staged;
    if (update && !StageMonitor(staged)) return InstallOutcome::Stopped;
    std::vector<std::string> replaced;
    if (update && !AskToReplacePrinters(replaced)) return InstallOutcome::Stopped;

    // A spooler that still holds a removed printer is not restarted: the run that removed
    // it, and every later one in this program, goes on with it as it is.
    if (!frame.bPrinterRemoved) {
        RemoveRollPaperForm();
        DWORD restart = RestartSpooler();
        if (restart == ERROR_ACCESS_DENIED || restart == kSpoolerNotRunning)
            return InstallOutcome::Stopped;
    }
    if (CheckPrinterPort(choices.gstrPort, choices.gstrSettings).empty())
        return InstallOutcome::Stopped;
    if (!DeletePrinters(replaced, frame.bPrinterRemoved)) return InstallOutcome::Stopped;

    const std::string monitor = ResourceString(IDS_MONITOR_NAME);
    const std::string& processor = choices.PrinterInfo.PrintProcessor;
    if (!InstallDriver() && family == kWin98Family) {
        if (!choices.gbRebootNeeded) return InstallOutcome::Stopped;
        // What the restarted run installs afresh must not be left half replaced.
        if (update || MonitorExists(monitor)) RemoveMonitor(monitor);
        if (update || PrintProcessorExists(processor)) RemovePrintProcessor(processor);
        return SaveStateAndRestart() ? InstallOutcome::Restarting : InstallOutcome::Stopped;
    }
    if (choices.gpModel) {
        if (family == kWin2000Family) RemoveDriverCopies(choices.gpModel->Win2000Files);
        if (family == kNT4Family) RemoveDriverCopies(choices.gpModel->NT4Files);
    }
    if ((update || !MonitorExists(monitor)) && !InstallMonitor(&staged)) return RestartOrStop();
    if ((update || !PrintProcessorExists(processor)) && !InstallPrintProcessor())
        return RestartOrStop();
    if (!CreatePrinter()) return InstallOutcome::Stopped;

    if (choices.gbDefaultPrinter) MakeDefaultPrinter(choices.PrinterInfo.PrinterName);
    Sleep(kTestPageDelayMs);
    if (choices.gbTestPage && !PrintTestPage()) ShowEngineMessage(ResourceString(IDS_TEST_PAGE_ERROR));
    return InstallOutcome::Completed;
}
