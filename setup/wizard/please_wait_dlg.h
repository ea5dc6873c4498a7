// The "Please wait..." window shown while the installation runs. It has no buttons and offers
// no way to interrupt the installation.
#pragma once

#include "dialog.h"

class CPleaseWaitDlg : public CDialog {
public:
    CPleaseWaitDlg();

protected:
    BOOL OnInitDialog() override;
    // Neither Escape nor the close box stops an installation.
    void OnOK() override {}
    void OnCancel() override {}
};
