#include "please_wait_dlg.h"

#include "resource.h"

CPleaseWaitDlg::CPleaseWaitDlg() : CDialog(IDD_PLEASE_WAIT) {}

BOOL CPleaseWaitDlg::OnInitDialog() {
    SetForegroundWindow(m_hWnd);
    return TRUE;
}
