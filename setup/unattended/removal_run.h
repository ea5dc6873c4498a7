// The removal of the installation as a program's run: Programs and Features, or a deployment
// tool, starts setup's copy with /uninstall; the run ends with an exit code (exit_codes.h).
#pragma once

#include "install_front_end.h"

// Removes the installation, asking `frontEnd` once: 0 removed, 3010 when something is
// deleted only at the next restart of Windows, 1602 when the person said No, 1603 when
// something could not go (shown, and in the log).
int RunRemoval(InstallFrontEnd& frontEnd);
