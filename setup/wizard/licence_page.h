// The first wizard page: the licence agreement from the setup medium, and Next only after
// the user has chosen to accept it. Without a licence file the page says so and the terms
// cannot be accepted.
#pragma once

#include <string>

#include "wizard_page.h"

// Shown in place of the licence when its file cannot be read.
extern const char kLicenceMissingText[];

class CLicencePage : public CWizardPage {
public:
    explicit CLicencePage(WizardNavigation& frame);

protected:
    BOOL OnInitDialog() override;
    const MessageMap* GetMessageMap() const override;

private:
    void OnAccept();
    void OnDecline();

    std::string m_strLicence;  // the licence text until it is fed to the control
};
