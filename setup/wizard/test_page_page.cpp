#include "test_page_page.h"

#include "command_options.h"
#include "install_choices.h"
#include "resource.h"

CTestPagePage::CTestPagePage(WizardNavigation& frame) : CWizardPage(IDD_TEST_PAGE_PAGE, frame) {}

BOOL CTestPagePage::OnInitDialog() {
    m_header.SubclassDlgItem(IDC_PAGE_HEADER, m_hWnd);
    CheckRadioButton(m_hWnd, IDC_TEST_PAGE_YES, IDC_TEST_PAGE_NO,
                     CommandOptions().noTestPage ? IDC_TEST_PAGE_NO : IDC_TEST_PAGE_YES);
    return TRUE;
}

void CTestPagePage::OnNext() {
    Choices().gbTestPage = IsDlgButtonChecked(m_hWnd, IDC_TEST_PAGE_YES) == BST_CHECKED;
    m_frame.ShowNextPage();
}
