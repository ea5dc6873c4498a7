// setup's exit codes, as the tools that deploy software to many machines read an installer's:
// the codes of the platform's own installer for the same outcomes.
#pragma once

#include <windows.h>

inline constexpr int kExitDone = ERROR_SUCCESS;                            // 0
inline constexpr int kExitRestartNeeded = ERROR_SUCCESS_REBOOT_REQUIRED;  // 3010
inline constexpr int kExitCancelled = ERROR_INSTALL_USEREXIT;             // 1602
inline constexpr int kExitFailed = ERROR_INSTALL_FAILURE;                 // 1603
inline constexpr int kExitBadCommandLine = ERROR_INVALID_PARAMETER;       // 87
inline constexpr int kExitNotElevated = ERROR_ACCESS_DENIED;              // 5
