#include "existing_driver_page.h"

#include "install_choices.h"
#include "resource.h"

CExistingDriverPage::CExistingDriverPage(WizardNavigation& frame)
    : CWizardPage(IDD_EXISTING_DRIVER_PAGE, frame) {}

BOOL CExistingDriverPage::OnInitDialog() {
    m_header.SubclassDlgItem(IDC_PAGE_HEADER, m_hWnd);
    CheckRadioButton(m_hWnd, IDC_KEEP_DRIVER, IDC_REPLACE_DRIVER, IDC_KEEP_DRIVER);
    return TRUE;
}

void CExistingDriverPage::OnPageShown() {
    const DriverInfo* model = Choices().gpModel;
    SetDlgItemTextA(m_hWnd, IDC_DRIVER_MODEL, model ? model->pName.c_str() : "");
}

void CExistingDriverPage::OnNext() {
    Choices().gbReplaceDriver = IsDlgButtonChecked(m_hWnd, IDC_REPLACE_DRIVER) == BST_CHECKED;
    m_frame.ShowNextPage();
}
