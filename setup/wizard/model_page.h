// The printer model page: the user picks one model of the catalogue. The list sorts the
// names; each item carries its model index.
#pragma once

#include "page_header.h"
#include "wizard_page.h"

class CModelPage : public CWizardPage {
public:
    explicit CModelPage(WizardNavigation& frame);

protected:
    BOOL OnInitDialog() override;
    const MessageMap* GetMessageMap() const override;
    void OnNext() override;

private:
    void OnSelectionChange();

    CPageHeader m_header;
};
