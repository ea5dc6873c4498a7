#include "unattended_run.h"

#include <windows.h>

#include "elevation.h"
#include "exit_codes.h"
#include "install_choices.h"
#include "installation_run.h"
#include "model_catalogue.h"
#include "quiet_front_end.h"
#include "restart_windows.h"
#include "saved_state.h"
#include "start_up.h"
#include "setup_log.h"

bool MayInstall() {
    // Windows before Vista knows no elevation: there the steps themselves say when the rights
    // are missing.
    return ProcessElevation() != Elevation::Restricted;
}

namespace {

// Runs the steps with the record as it stands and the quiet policy, and gives the exit code.
int RunQuietly(InstallChoices& choices) {
    LogLine("installing " + choices.PrinterInfo.DriverName + " as \"" +
            choices.PrinterInfo.PrinterName + "\" on " + choices.gstrPort + " at " +
            choices.gstrSettings + (choices.gbTalkToPrinter ? "" : ", without asking the printer"));
    QuietFrontEnd quiet(choices.gbReplacePrinters);
    InstallRunState state;
    InstallOutcome outcome = RunInstallationSteps(quiet, state);
    choices.gpModel = nullptr;
    choices.gModels.clear();
    switch (outcome) {
    case InstallOutcome::Completed:
        // Nothing of an earlier interrupted installation may replay this one at the next logon.
        ForgetSavedInstallation();
        if (state.rebootNeeded) {
            LogLine("installed; a file is replaced when Windows restarts");
            return kExitRestartNeeded;
        }
        LogLine("installed");
        return kExitDone;
    case InstallOutcome::Restarting:
        LogLine("the installation goes on without a window when Windows has restarted and an "
                "administrator logs on");
        return kExitRestartNeeded;
    case InstallOutcome::Stopped:
        break;
    }
    if (!quiet.StopReason().empty()) LogLine("stopped: " + quiet.StopReason());
    return kExitFailed;
}

}  // namespace

int RunQuietInstallation(const SetupOptions& options) {
    InstallChoices& choices = Choices();
    BuildModelCatalogue(choices.gModels);
    SetFixedPrinterInfo(choices);
    ApplySetupOptions(options, choices);
    choices.gbQuiet = true;
    choices.gbReplacePrinters = options.replacePrinters;
    // A log the ANSI code page cannot name is not kept for the resume, which then logs to the
    // default one.
    if (!ToAnsi(options.logPath, choices.gstrLogPath)) choices.gstrLogPath.clear();
    return RunQuietly(choices);
}

int ResumeQuietInstallation() {
    InstallChoices& choices = Choices();
    BuildModelCatalogue(choices.gModels);
    SetFixedPrinterInfo(choices);
    if (!ReadSavedState(choices, SavedStateFileName(ModuleFilePath()))) {
        LogLine("no installation was saved to resume");
        choices.gModels.clear();
        return kExitFailed;
    }
    return RunQuietly(choices);
}
