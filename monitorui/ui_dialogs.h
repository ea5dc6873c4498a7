// The user interface's two dialogs and the COM configuration path.
#pragma once

#include <windows.h>

// What a dialog is given: the open connection first; the Port Name dialog writes the chosen
// name (global memory, the caller frees it) into the third field.
struct DialogContext {
    HANDLE xcv;
    DWORD reserved;
    LPWSTR result;
};

// Dialog 201. The typed name when the user pressed OK on a name the monitor accepted,
// otherwise null (Cancel leaves ERROR_CANCELLED).
LPWSTR AskPortName(HWND owner, HANDLE xcv);

// Dialog 200 on the connection `xcv`. TRUE when it ended with 0; "&Close" ends it with
// ERROR_CANCELLED, which becomes the last error.
BOOL RunConfigureDialog(HWND owner, HANDLE xcv);

// The configuration of a COM port (COM1: and the like) through the platform's dialog and the
// monitor's default-configuration commands.
BOOL ConfigureComPort(HWND owner, HANDLE xcv, LPCWSTR portName);
