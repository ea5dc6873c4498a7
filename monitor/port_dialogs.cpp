#include "port_dialogs.h"

#include <cstdarg>

#include "../common/resource_text.h"
#include "../common/text.h"
#include "../serial/settings.h"
#include "monitor_state.h"
#include "monitor_strings.h"
#include "port_commands.h"
#include "prompt.h"
#include "resource.h"
#include "spl_mem.h"

namespace {

const WCHAR kResultProperty[] = L"_PORT_DLG_PROP";
constexpr DWORD kPortNameLimit = 258;
constexpr DWORD kPortNameBuffer = 260;

// An owner from a caller is used only as an owner, and only when it is a window.
HWND Owner(HWND owner) {
    return owner && IsWindow(owner) ? owner : nullptr;
}

INT_PTR CALLBACK PortNameProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG:
        SetForegroundWindow(dlg);
        SetPropW(dlg, kResultProperty, reinterpret_cast<HANDLE>(lp));
        SendDlgItemMessageW(dlg, IDC_PORT_NAME, EM_LIMITTEXT, kPortNameLimit, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK) {
            WCHAR name[kPortNameBuffer] = {};
            GetDlgItemTextW(dlg, IDC_PORT_NAME, name, kPortNameBuffer);
            DWORD result = DoPortIsValid(reinterpret_cast<PBYTE>(name), sizeof name, nullptr, 0, nullptr);
            if (result) {
                SetLastError(result);
                if (result == ERROR_INVALID_NAME)
                    VeskMessage(dlg, MB_ICONHAND, IDS_MONITOR_NAME, IDS_INVALID_PORT_NAME, name);
                else
                    ErrorMessage(dlg, result);
                return TRUE;
            }
            auto* out = static_cast<LPWSTR*>(GetPropW(dlg, kResultProperty));
            if (out) *out = AllocSplStr(name);
            EndDialog(dlg, 1);
            return TRUE;
        }
        if (LOWORD(wp) == IDCANCEL) {
            EndDialog(dlg, 0);
            SetLastError(ERROR_CANCELLED);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        RemovePropW(dlg, kResultProperty);
        return FALSE;
    default:
        return FALSE;
    }
}

void FillComPorts(HWND dlg) {
    VeskPortSettings settings{};
    DWORD needed = 0;
    DWORD err = GetVeskPortSettings(nullptr, 0, reinterpret_cast<PBYTE>(&settings), sizeof settings, &needed);
    if (err) {
        if (settings.pConfig) LocalFree(settings.pConfig);
        SetLastError(err);
        return;
    }
    BYTE sizeQuestion[4] = {1, 0, 0, 0};
    DWORD chars = 0;
    GetVeskPortComPorts(sizeQuestion, sizeof sizeQuestion, nullptr, 0, &chars);
    if (chars) {
        DWORD bytes = 2 * chars * sizeof(WCHAR);
        auto* list = static_cast<LPWSTR>(AllocSplMem(bytes));
        BYTE fill[4] = {0, 0, 0, 0};
        DWORD got = 0;
        if (list && GetVeskPortComPorts(fill, sizeof fill, reinterpret_cast<PBYTE>(list), bytes, &got) == 0) {
            HWND combo = GetDlgItem(dlg, IDC_COM_PORTS);
            for (DWORD pos = 0; pos < got && pos < 2 * chars && list[pos];) {
                SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(list + pos));
                pos += vesk::Length(list + pos) + 1;
            }
            // The search starts after the first item and wraps round.
            SendMessageW(combo, CB_SELECTSTRING, 0, reinterpret_cast<LPARAM>(settings.ComName));
        }
        if (list) GlobalFree(list);
    }
    LocalFree(settings.pConfig);
}

INT_PTR CALLBACK ConfigureProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG:
        SetForegroundWindow(dlg);
        FillComPorts(dlg);
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK) {
            ChangeBaudRate(dlg);
            return TRUE;
        }
        if (LOWORD(wp) == IDCANCEL) {
            EndDialog(dlg, 0);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

int VeskMessage(HWND owner, UINT type, UINT captionId, UINT textId, ...) {
    WCHAR caption[41], formatted[vesk::kFormattedChars];
    if (LoadStringW(g_hInstance, captionId, caption, 41) <= 0) return 0;
    va_list args;
    va_start(args, textId);
    // The message keeps 256 characters of what the format makes.
    bool loaded = vesk::FormatResourceText(g_hInstance, textId, args, 256, formatted);
    va_end(args);
    if (!loaded) return 0;
    return AskUser(Owner(owner), formatted, caption, type);
}

LPWSTR GetErrorMessage(DWORD code) {
    LPWSTR system = nullptr;
    // Language 0: the user's language where the system has the text, else the next one that
    // has it; naming the user's language would find nothing where it has no text.
    if (!FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                            FORMAT_MESSAGE_IGNORE_INSERTS,
                        nullptr, code, 0, reinterpret_cast<LPWSTR>(&system), 0, nullptr))
        return nullptr;
    LPWSTR copy = AllocSplStr(system);
    LocalFree(system);
    return copy;
}

int ErrorMessage(HWND owner, DWORD code) {
    LPWSTR text = GetErrorMessage(code);
    if (!text) return 0;
    WCHAR caption[261];
    if (LoadStringW(g_hInstance, IDS_MONITOR_NAME, caption, 261) <= 0) caption[0] = 0;
    int result = AskUser(Owner(owner), text, caption, MB_ICONHAND | MB_OK);
    GlobalFree(text);
    return result;
}

LPWSTR GetPortName(HWND owner) {
    LPWSTR name = nullptr;
    INT_PTR end = RunMonitorDialog(MAKEINTRESOURCEW(IDD_PORT_NAME), Owner(owner), PortNameProc,
                                   reinterpret_cast<LPARAM>(&name));
    if (end == 1) return name;
    if (name) GlobalFree(name);
    return nullptr;
}

BOOL ConfigVeskPort(HWND owner, LPWSTR, LPWSTR) {
    INT_PTR end = RunMonitorDialog(MAKEINTRESOURCEW(IDD_CONFIGURE_PORT), Owner(owner),
                                   ConfigureProc, 0);
    if (end == 0) return TRUE;
    if (end != -1) SetLastError(static_cast<DWORD>(end));
    return FALSE;
}

// In the spooler's service session nobody would see the monitor's dialogs: the spooler's
// client is told so, and shows those of the monitor's user interface library instead.
static bool RefuseDialogsInServiceSession() {
    if (!InServiceSession()) return false;
    SetLastError(ERROR_NOT_SUPPORTED);
    return true;
}

BOOL WINAPI VeskAddPort(LPWSTR serverName, HWND owner, LPWSTR) {
    if (RefuseDialogsInServiceSession()) return FALSE;
    LPWSTR name = GetPortName(owner);
    if (!name) {
        SetLastError(ERROR_CANCELLED);
        return FALSE;
    }
    BOOL ok = FALSE;
    if (!IsVeskPort(name)) {
        SetLastError(ERROR_NOT_SUPPORTED);
    } else {
        DWORD bytes = (vesk::Length(name) + 1) * sizeof(WCHAR);
        DWORD result = DoAddPort(reinterpret_cast<PBYTE>(name), bytes, nullptr, 0, nullptr);
        if (result == 0) {
            ok = ConfigVeskPort(owner, serverName, name);
        } else if (result == ERROR_ALREADY_EXISTS) {
            VeskMessage(owner, MB_ICONHAND, IDS_MONITOR_NAME, IDS_PORT_EXISTS, name);
            ok = TRUE;
        } else {
            SetLastError(result);
        }
    }
    DWORD err = GetLastError();
    GlobalFree(name);
    SetLastError(err);
    return ok;
}

BOOL VeskAddPortEx(PortList*, LPWSTR serverName, DWORD level, LPBYTE portInfo, LPWSTR) {
    if (level != 1 && level != 0xFFFFFFFF) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    LPCWSTR name = portInfo ? reinterpret_cast<PORT_INFO_1W*>(portInfo)->pName : nullptr;
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD error = 0;
    BOOL exists = PortExists(serverName, name, &error);
    if (error) {
        SetLastError(error);
        return FALSE;
    }
    if (exists) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD result = AddPortToList(name);
    if (result) {
        SetLastError(result == ERROR_ALREADY_EXISTS ? ERROR_INVALID_PARAMETER : result);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI VeskxAddPortEx(LPWSTR serverName, DWORD level, LPBYTE portInfo, LPWSTR monitorName) {
    return VeskAddPortEx(g_pPortList, serverName, level, portInfo, monitorName);
}

BOOL WINAPI VeskConfigurePort(LPWSTR serverName, HWND owner, LPWSTR portName) {
    if (RefuseDialogsInServiceSession()) return FALSE;
    if (!IsVeskPort(portName)) {
        VeskMessage(owner, MB_ICONINFORMATION, IDS_MONITOR_NAME, IDS_NOTHING_TO_CONFIGURE);
        SetLastError(ERROR_CANCELLED);
        return FALSE;
    }
    return ConfigVeskPort(owner, serverName, portName);
}

BOOL WINAPI VeskDeletePort(LPWSTR, HWND, LPWSTR portName) {
    if (!IsVeskPort(portName)) {
        // Another monitor's port: nothing of ours to delete.
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    DWORD bytes = (vesk::Length(portName) + 1) * sizeof(WCHAR);
    DWORD result = DoDeletePort(reinterpret_cast<PBYTE>(portName), bytes, nullptr, 0, nullptr);
    if (result) {
        SetLastError(result);
        return FALSE;
    }
    return TRUE;
}
