// What a name from a spooler client may be before the monitor hands it to the platform: the
// commands that open a name run under the spooler's own token, so a name that leads to
// another machine (it would authenticate there) or into the device namespace is refused.
#pragma once

#include <windows.h>

// COM1 to COM999, with or without one trailing colon, and nothing else.
bool IsComPortName(LPCWSTR name);

// A name of a file on this machine: no UNC or device-namespace form (\\host\share,
// \\.\pipe\x, \\?\C:\x, \??\x, with either slash) and no reserved device name (CON, NUL,
// LPT1, ..., as the last part of a path, with or without an extension).
bool IsLocalFileName(LPCWSTR name);
