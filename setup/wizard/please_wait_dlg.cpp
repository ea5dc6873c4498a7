#include "please_wait_dlg.h"

#include "resource.h"
#include "window_fit.h"

CPleaseWaitDlg::CPleaseWaitDlg() : CDialog(IDD_PLEASE_WAIT) {}

BOOL CPleaseWaitDlg::OnInitDialog() {
    FitDialogTexts(m_hWnd);
    SetForegroundWindow(m_hWnd);
    return TRUE;
}
