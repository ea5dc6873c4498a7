// The last page: a summary of the printer the installation is about to make. It has no Next;
// its IDC_PAGE_CANCEL button is "Finish" and starts the installation. A resumed run opens
// here, with the record read back from the saved state.
#pragma once

#include "page_header.h"
#include "wizard_page.h"

class CFinishPage : public CWizardPage {
public:
    explicit CFinishPage(WizardNavigation& frame);

    // The earlier pages may have changed the record since the last visit.
    void OnPageShown() override;

protected:
    BOOL OnInitDialog() override;
    void OnCancelButton() override { m_frame.RunInstallation(); }

private:
    CPageHeader m_header;
};
