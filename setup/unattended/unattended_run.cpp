#include "unattended_run.h"

#include <windows.h>

#include "elevation.h"
#include "exit_codes.h"
#include "install_choices.h"
#include "installation_run.h"
#include "model_catalogue.h"
#include "quiet_front_end.h"
#include "restart_windows.h"
#include "setup_log.h"

bool MayInstall() {
    // Windows before Vista knows no elevation: there the steps themselves say when the rights
    // are missing.
    return ProcessElevation() != Elevation::Restricted;
}

int RunQuietInstallation(const SetupOptions& options) {
    InstallChoices& choices = Choices();
    BuildModelCatalogue(choices.gModels);
    SetFixedPrinterInfo(choices);
    ApplySetupOptions(options, choices);
    LogLine("installing " + choices.PrinterInfo.DriverName + " as \"" +
            choices.PrinterInfo.PrinterName + "\" on " + choices.gstrPort + " at " +
            choices.gstrSettings + (choices.gbTalkToPrinter ? "" : ", without asking the printer"));

    QuietFrontEnd quiet(options.replacePrinters);
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
        LogLine("the installation goes on when Windows has restarted (setup resumes then)");
        return kExitRestartNeeded;
    case InstallOutcome::Stopped:
        break;
    }
    if (!quiet.StopReason().empty()) LogLine("stopped: " + quiet.StopReason());
    return kExitFailed;
}
