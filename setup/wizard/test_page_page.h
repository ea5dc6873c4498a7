// Whether the installation ends by printing a test page on the new printer.
#pragma once

#include "page_header.h"
#include "wizard_page.h"

class CTestPagePage : public CWizardPage {
public:
    explicit CTestPagePage(WizardNavigation& frame);

protected:
    BOOL OnInitDialog() override;
    void OnNext() override;

private:
    CPageHeader m_header;
};
