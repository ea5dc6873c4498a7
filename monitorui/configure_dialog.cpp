// Dialog 200 "Configure VESK Port": the port's COM port, and the change of the printer's
// line settings ("&Configure COM").
#include "../common/text.h"
#include "../common/xcv_record.h"
#include "resource.h"
#include "ui_dialogs.h"
#include "ui_state.h"
#include "xcv_client.h"

namespace {

HANDLE Connection(HWND dlg) {
    auto* context = reinterpret_cast<DialogContext*>(GetWindowLongPtrW(dlg, GWLP_USERDATA));
    return context ? context->xcv : nullptr;
}

bool ReadSettings(HANDLE xcv, XcvPortSettings& record, DWORD* status) {
    ZeroMemory(&record, sizeof record);
    return XcvData(xcv, XCV_GET_SETTINGS, nullptr, 0, &record, sizeof record, status) && *status == 0;
}

void FillComPorts(HWND dlg, HANDLE xcv) {
    XcvPortSettings record;
    DWORD status = 0;
    if (!ReadSettings(xcv, record, &status)) {
        if (status) SetLastError(status);
        return;
    }
    DWORD question = 1, chars = 0;
    if (!XcvData(xcv, XCV_GET_COM_PORTS, &question, sizeof question, nullptr, 0, &status, &chars) ||
        chars == 0)
        return;
    DWORD bytes = 2 * chars;
    auto* list = static_cast<LPWSTR>(GlobalAlloc(GPTR, bytes));
    if (!list) return;
    DWORD fill = 0, reported = 0;
    if (XcvData(xcv, XCV_GET_COM_PORTS, &fill, sizeof fill, list, bytes, &status, &reported) && status == 0) {
        HWND combo = GetDlgItem(dlg, IDC_COM_PORTS);
        DWORD capacity = bytes / sizeof(WCHAR);
        for (DWORD pos = 0; pos < reported && pos < capacity;) {
            DWORD len = 0;
            while (pos + len < capacity && list[pos + len]) ++len;
            if (pos + len == capacity) break;  // not terminated inside the buffer
            if (len) SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(list + pos));
            pos += len + 1;
        }
        // The search starts after the first entry and wraps round.
        SendMessageW(combo, CB_SELECTSTRING, 0, reinterpret_cast<LPARAM>(record.ComName));
    }
    GlobalFree(list);
}

// The interface's half of the baud-rate change: the user picks the new settings; the
// monitor reaches the printer at the stored ones (or at those the user says it has now),
// then moves the printer and the stored settings to the new ones.
void ConfigureCom(HWND dlg, HANDLE xcv) {
    XcvPortSettings chosen{}, present{};
    DWORD status = 0;
    XcvData(xcv, XCV_GET_SETTINGS, nullptr, 0, &chosen, sizeof chosen, &status);
    chosen.ComName[5] = 0;
    if (!CommConfigDialogW(chosen.ComName, dlg, &chosen.Config)) return;
    if (!ReadSettings(xcv, present, &status)) return;
    present.hwndOwner = static_cast<DWORD>(HandleToLong(dlg));

    DWORD token = kXcvNoDevice;
    for (;;) {
        token = kXcvNoDevice;
        if (!XcvData(xcv, XCV_SET_PRINT_SETTINGS, &present, sizeof present, &token, sizeof token, &status))
            return;
        if (status == 0 && token != kXcvNoDevice) break;
        if (status != 0 && status != 1) {
            // The port could not even be opened: that is no question of settings.
            UiSystemError(dlg, status);
            return;
        }
        if (MessageBoxW(dlg,
                        L"The printer settings are not the same with the PC serial port settings.\n"
                        L"Please click yes if you want to select the printer settings!",
                        L"Vesk Port Monitor", MB_YESNO) != IDYES ||
            !CommConfigDialogW(chosen.ComName, dlg, &present.Config))
            return;
    }
    chosen.hComm = token;
    chosen.hwndOwner = static_cast<DWORD>(HandleToLong(dlg));
    // A change that did not happen is said so: the user would otherwise take the new
    // settings for the printer's, and the stored ones are still the old.
    if (!XcvData(xcv, XCV_SET_PORT_SETTINGS, &chosen, sizeof chosen, nullptr, 0, &status)) {
        DWORD err = GetLastError();
        UiSystemError(dlg, err ? err : kSettingsNotTakenError);
    } else if (status) {
        UiSystemError(dlg, status == kSettingsNotTaken ? kSettingsNotTakenError : status);
    }
}

INT_PTR CALLBACK ConfigureProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dlg, GWLP_USERDATA, lp);
        SetForegroundWindow(dlg);
        FillComPorts(dlg, Connection(dlg));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK) {
            ConfigureCom(dlg, Connection(dlg));
            return TRUE;
        }
        if (LOWORD(wp) == IDCANCEL) {
            EndDialog(dlg, ERROR_CANCELLED);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

BOOL RunConfigureDialog(HWND owner, HANDLE xcv) {
    DialogContext context{xcv, 0, nullptr};
    INT_PTR end = DialogBoxParamW(g_uiInstance, MAKEINTRESOURCEW(IDD_CONFIGURE_PORT), owner,
                                  ConfigureProc, reinterpret_cast<LPARAM>(&context));
    if (end == 0) return TRUE;
    if (end != -1) SetLastError(static_cast<DWORD>(end));
    return FALSE;
}

BOOL ConfigureComPort(HWND owner, HANDLE xcv, LPCWSTR portName) {
    DWORD chars = vesk::Length(portName);
    auto* name = static_cast<LPWSTR>(GlobalAlloc(GPTR, (chars + 1) * sizeof(WCHAR)));
    if (!name) return FALSE;
    CopyMemory(name, portName, chars * sizeof(WCHAR));
    if (chars) name[chars - 1] = 0;  // the colon
    DWORD nameBytes = chars * sizeof(WCHAR);

    BOOL result = FALSE;
    DWORD status = 0, needed = 0;
    DWORD configBytes = sizeof(COMMCONFIG);
    auto* config = static_cast<LPCOMMCONFIG>(GlobalAlloc(GPTR, configBytes));
    bool ok = config && XcvData(xcv, XCV_GET_DEFAULT_COMM_CONFIG, name, nameBytes, config,
                                configBytes, &status, &needed);
    if (ok && status == ERROR_INSUFFICIENT_BUFFER && needed > configBytes) {
        GlobalFree(config);
        configBytes = needed;
        config = static_cast<LPCOMMCONFIG>(GlobalAlloc(GPTR, configBytes));
        ok = config && XcvData(xcv, XCV_GET_DEFAULT_COMM_CONFIG, name, nameBytes, config, configBytes, &status);
    }
    if (ok && status != 0) {
        SetLastError(status);
        ok = false;
    }
    if (ok && CommConfigDialogW(name, owner, config)) {
        // The size the configuration says it has, but never past the buffer it is in.
        DWORD sent = config->dwSize < configBytes ? config->dwSize : configBytes;
        if (XcvData(xcv, XCV_SET_DEFAULT_COMM_CONFIG, config, sent, nullptr, 0, &status)) {
            if (status == 0) result = TRUE;
            else SetLastError(status);
        }
    }
    DWORD err = GetLastError();
    if (config) GlobalFree(config);
    GlobalFree(name);
    SetLastError(err);
    return result;
}
