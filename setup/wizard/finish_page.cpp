#include "finish_page.h"

#include "install_choices.h"
#include "resource.h"

CFinishPage::CFinishPage(WizardNavigation& frame) : CWizardPage(IDD_FINISH_PAGE, frame) {}

BOOL CFinishPage::OnInitDialog() {
    m_header.SubclassDlgItem(IDC_PAGE_HEADER, m_hWnd);
    return TRUE;
}

void CFinishPage::OnPageShown() {
    const InstallChoices& choices = Choices();
    const PrinterSetupInfo& printer = choices.PrinterInfo;
    SetDlgItemTextA(m_hWnd, IDC_SUMMARY_NAME, printer.PrinterName.c_str());
    SetDlgItemTextA(m_hWnd, IDC_SUMMARY_SHARE, printer.ShareName.c_str());
    SetDlgItemTextA(m_hWnd, IDC_SUMMARY_PORT, printer.PortName.c_str());
    SetDlgItemTextA(m_hWnd, IDC_SUMMARY_MODEL, printer.DriverName.c_str());
    SetDlgItemTextA(m_hWnd, IDC_SUMMARY_DEFAULT, choices.gbDefaultPrinter ? "Yes" : "No");
    SetDlgItemTextA(m_hWnd, IDC_SUMMARY_TEST_PAGE, choices.gbTestPage ? "Yes" : "No");
}
