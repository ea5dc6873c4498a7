// A page of the wizard: a borderless child dialog inside the frame. Its buttons move through
// the wizard: "&Next >" (IDC_NEXT), "< &Back" (IDC_BACK) and "Cancel" (IDC_PAGE_CANCEL), on
// every page the same ids.
#pragma once

#include "dialog.h"

// What a page asks of the frame that holds it.
class WizardNavigation {
public:
    virtual void ShowNextPage() = 0;
    virtual void ShowPreviousPage() = 0;
    virtual void CancelWizard() = 0;

protected:
    ~WizardNavigation() = default;
};

class CWizardPage : public CDialog {
public:
    CWizardPage(UINT templateId, WizardNavigation& frame) : CDialog(templateId), m_frame(frame) {}

protected:
    // Next stores the page's choices, then asks for the next page; by default there is
    // nothing to store.
    virtual void OnNext() { m_frame.ShowNextPage(); }
    void OnBack() { m_frame.ShowPreviousPage(); }
    void OnCancelWizard() { m_frame.CancelWizard(); }
    // A page's own Enter and Escape commands do nothing unless the page says otherwise: a
    // page is no modal dialog to end.
    void OnOK() override {}
    void OnCancel() override {}

    const MessageMap* GetMessageMap() const override;

    WizardNavigation& m_frame;
};
