// The second wizard page: the COM port and line settings the printer is to use, and whether
// setup is to talk to the printer at all. It only collects choices; the installation run
// talks to the printer.
#pragma once

#include "wizard_page.h"
#include "page_header.h"

extern const char kPortSettingsHeader[];

class CPortSettingsPage : public CWizardPage {
public:
    explicit CPortSettingsPage(WizardNavigation& frame);

protected:
    BOOL OnInitDialog() override;
    const MessageMap* GetMessageMap() const override;
    void OnNext() override;
    void OnOK() override { OnNext(); }
    void OnCancel() override { m_frame.CancelWizard(); }

private:
    void FillComPorts();
    void OnRestoreDefaults();
    // Next goes on only with a port chosen.
    bool PortChosen();
    void UpdateNext();

    CPageHeader m_header;
};
