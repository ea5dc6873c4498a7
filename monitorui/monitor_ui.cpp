// The port monitor user interface: the spooler's Add Port, Configure Port and Delete Port,
// carried out through the monitor's transceive commands.
#include <windows.h>
#include <winsplp.h>

#include "../common/text.h"
#include "../common/xcv_record.h"
#include "resource.h"
#include "ui_dialogs.h"
#include "ui_state.h"
#include "xcv_client.h"

extern "C" PMONITORUI WINAPI InitializePrintMonitorUI();

namespace {

// COM2: is a COM port's name; COM2 is not.
bool IsComForm(LPCWSTR name) {
    DWORD n = vesk::Length(name);
    return n >= 4 && vesk::EqualPrefixNoCase(name, L"COM", 3) && name[n - 1] == L':';
}

bool IsVeskName(LPCWSTR name) {
    return name && vesk::EqualPrefixNoCase(name, L"VESK", 4);
}

BOOL WINAPI AddPortUI(PCWSTR server, HWND owner, PCWSTR monitorName, PWSTR* portNameOut) {
    // The spooler names the monitor the port is added to (it may be registered under another
    // name than ours); only a caller that names none means this one.
    XcvClient xcv;
    if (!xcv.Open(server, L"XcvMonitor", monitorName && *monitorName ? monitorName : kMonitorName))
        return FALSE;
    LPWSTR name = AskPortName(owner, xcv.handle());
    if (!name) return FALSE;

    BOOL result = FALSE;
    DWORD status = 0;
    if (IsComForm(name)) {
        // COM ports belong to the system's own monitor; they are not added here.
        SetLastError(ERROR_NOT_SUPPORTED);
    } else if (xcv.Text(XCV_ADD_PORT, name, &status)) {
        if (status == 0) {
            if (portNameOut) *portNameOut = CopyText(name);
            result = IsVeskName(name) ? RunConfigureDialog(owner, xcv.handle()) : TRUE;
        } else if (status == ERROR_ALREADY_EXISTS) {
            UiMessage(owner, MB_ICONHAND, IDS_PORT_EXISTS, name);
            result = TRUE;
        } else {
            SetLastError(status);
        }
    }
    DWORD err = GetLastError();
    GlobalFree(name);
    SetLastError(err);
    return result;
}

BOOL WINAPI ConfigurePortUI(PCWSTR server, HWND owner, PCWSTR portName) {
    XcvClient xcv;
    if (!portName || !xcv.Open(server, L"XcvPort", portName)) return FALSE;
    if (IsComForm(portName)) return ConfigureComPort(owner, xcv.handle(), portName);
    if (IsVeskName(portName)) return RunConfigureDialog(owner, xcv.handle());
    UiMessage(owner, MB_ICONINFORMATION, IDS_NOTHING_TO_CONFIGURE);
    SetLastError(ERROR_CANCELLED);
    return FALSE;
}

BOOL WINAPI DeletePortUI(PCWSTR server, HWND, PCWSTR portName) {
    XcvClient xcv;
    if (!portName || !xcv.Open(server, L"XcvPort", portName)) return FALSE;
    if (IsComForm(portName)) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    DWORD status = 0;
    if (!xcv.Text(XCV_DELETE_PORT, portName, &status)) return FALSE;
    if (status) {
        SetLastError(status);
        return FALSE;
    }
    return TRUE;
}

MONITORUI g_table = {sizeof(MONITORUI), AddPortUI, ConfigurePortUI, DeletePortUI};

}  // namespace

PMONITORUI WINAPI InitializePrintMonitorUI() {
    return &g_table;
}
