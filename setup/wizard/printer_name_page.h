// The printer's name, whether it becomes the default printer, and whether and under which
// name it is shared. The frame proposes a name no printer has yet; the page takes it when its
// window is made and from then on keeps what the user typed, also across Back and Next.
#pragma once

#include "page_header.h"
#include "wizard_page.h"

class CPrinterNamePage : public CWizardPage {
public:
    explicit CPrinterNamePage(WizardNavigation& frame);

protected:
    BOOL OnInitDialog() override;
    const MessageMap* GetMessageMap() const override;
    void OnNext() override;

private:
    void OnNameChange();
    void OnShared();
    void OnNotShared();

    CPageHeader m_header;
};
