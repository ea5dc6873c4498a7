#include "removal_run.h"

#include "exit_codes.h"
#include "removal.h"
#include "setup_log.h"
#include "start_up.h"

int RunRemoval(InstallFrontEnd& frontEnd) {
    switch (RemoveInstallation(frontEnd, ModuleFilePathW())) {
    case RemovalOutcome::Removed:
        LogLine("removed");
        return kExitDone;
    case RemovalOutcome::RestartNeeded:
        LogLine("removed; what the system still holds is deleted when Windows restarts");
        return kExitRestartNeeded;
    case RemovalOutcome::Declined:
        LogLine("not removed: the question was answered No");
        return kExitCancelled;
    case RemovalOutcome::Failed:
        break;
    }
    LogLine("not removed completely: see the messages above");
    return kExitFailed;
}
