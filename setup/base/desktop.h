// Whether a window of setup's can be seen by anyone: a deployment tool may start setup as a
// service, in a session whose window station no person ever sees.
#pragma once

// False when the process's window station is not a visible one; true also when that cannot
// be told.
bool DesktopVisible();
