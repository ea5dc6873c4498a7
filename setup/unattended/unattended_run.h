// An installation with no window at all, ending with an exit code a deployment tool
// understands (exit_codes.h).
#pragma once

#include <string>

#include "command_options.h"

// False when the process runs with a token Windows has restricted (a user's, or an
// administrator's without elevation): an installation could change nothing.
bool MayInstall();

// Installs with the options' choices and the quiet policy; the record's start values must be
// set (BeginSetupRun). 0, 3010 when Windows must restart, 1603 when a step failed or a policy
// stopped the run (the log says which).
int RunQuietInstallation(const SetupOptions& options);
// Goes on with a quiet installation that a restart of Windows interrupted, from its saved
// state, with the same policy and no window; the record's start values must be set for the
// resume (BeginSetupRun). The exit codes as above.
int ResumeQuietInstallation();
