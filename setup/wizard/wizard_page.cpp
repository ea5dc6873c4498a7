#include "wizard_page.h"

#include "resource.h"

const MessageMap* CWizardPage::GetMessageMap() const {
    static const MessageEntry entries[] = {
        OnClicked<&CWizardPage::OnNext>(IDC_NEXT),
        OnClicked<&CWizardPage::OnBack>(IDC_BACK),
        OnClicked<&CWizardPage::OnCancelButton>(IDC_PAGE_CANCEL),
    };
    static const MessageMap map(CDialog::GetMessageMap(), entries);
    return &map;
}
