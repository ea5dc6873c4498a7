// Dialog 201: asking for the name of a new port; the monitor tests it.
#include "../common/text.h"
#include "../common/xcv_record.h"
#include "resource.h"
#include "ui_dialogs.h"
#include "ui_state.h"
#include "xcv_client.h"

namespace {

constexpr DWORD kNameLimit = 258;
constexpr DWORD kNameBuffer = 260;

INT_PTR CALLBACK PortNameProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    auto* context = reinterpret_cast<DialogContext*>(GetWindowLongPtrW(dlg, GWLP_USERDATA));
    switch (msg) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dlg, GWLP_USERDATA, lp);
        SetForegroundWindow(dlg);
        SendDlgItemMessageW(dlg, IDC_PORT_NAME, EM_LIMITTEXT, kNameLimit, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK && context) {
            WCHAR name[kNameBuffer] = {};
            GetDlgItemTextW(dlg, IDC_PORT_NAME, name, kNameBuffer);
            DWORD status = 0;
            if (!XcvData(context->xcv, XCV_PORT_IS_VALID, name, (vesk::Length(name) + 1) * sizeof(WCHAR),
                         nullptr, 0, &status))
                return TRUE;  // the spooler could not be asked; the user may try again
            if (status == 0) {
                context->result = CopyText(name);
                EndDialog(dlg, 1);
                return TRUE;
            }
            SetLastError(status);
            if (status == ERROR_INVALID_NAME)
                UiMessage(dlg, MB_ICONHAND, IDS_INVALID_PORT_NAME, name);
            else
                UiSystemError(dlg, status);
            return TRUE;
        }
        if (LOWORD(wp) == IDCANCEL) {
            EndDialog(dlg, 0);
            SetLastError(ERROR_CANCELLED);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

LPWSTR AskPortName(HWND owner, HANDLE xcv) {
    DialogContext context{xcv, 0, nullptr};
    INT_PTR end = DialogBoxParamW(g_uiInstance, MAKEINTRESOURCEW(IDD_PORT_NAME), owner, PortNameProc,
                                  reinterpret_cast<LPARAM>(&context));
    if (end == 1) return context.result;
    if (context.result) GlobalFree(context.result);
    if (end != -1) SetLastError(ERROR_CANCELLED);
    return nullptr;
}
