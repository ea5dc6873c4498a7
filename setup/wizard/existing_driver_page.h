// The page shown when the chosen model's driver is already installed: the user keeps that
// driver (the default) or has the installation replace it with the one on the medium.
#pragma once

#include "page_header.h"
#include "wizard_page.h"

class CExistingDriverPage : public CWizardPage {
public:
    explicit CExistingDriverPage(WizardNavigation& frame);

    // The model may have changed since the last visit (Back to the model page).
    void OnPageShown() override;

protected:
    BOOL OnInitDialog() override;
    void OnNext() override;

private:
    CPageHeader m_header;
};
