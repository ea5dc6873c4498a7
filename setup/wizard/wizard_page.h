// A page of the wizard: a borderless child dialog inside the frame. Its buttons move through
// the wizard: "&Next >" (IDC_NEXT), "< &Back" (IDC_BACK) and "Cancel" (IDC_PAGE_CANCEL), on
// every page the same ids. The last page has no Next, and its IDC_PAGE_CANCEL is "Finish".
#pragma once

#include "dialog.h"

// What a page asks of the frame that holds it.
class WizardNavigation {
public:
    virtual void ShowNextPage() = 0;
    virtual void ShowPreviousPage() = 0;
    virtual void CancelWizard() = 0;
    // Carries out the installation the pages have described.
    virtual void RunInstallation() = 0;

protected:
    ~WizardNavigation() = default;
};

class CWizardPage : public CDialog {
public:
    CWizardPage(UINT templateId, WizardNavigation& frame) : CDialog(templateId), m_frame(frame) {}

    // Called by the frame each time the page is shown, the first time after OnInitDialog:
    // texts that show the current choices are filled here, not only when the window is made.
    virtual void OnPageShown() {}

protected:
    // Next stores the page's choices, then asks for the next page; by default there is
    // nothing to store.
    virtual void OnNext() { m_frame.ShowNextPage(); }
    void OnBack() { m_frame.ShowPreviousPage(); }
    // IDC_PAGE_CANCEL: "Cancel" ends the wizard; the last page's "Finish" says otherwise.
    virtual void OnCancelButton() { m_frame.CancelWizard(); }
    // A page's own Enter and Escape commands do nothing unless the page says otherwise: a
    // page is no modal dialog to end.
    void OnOK() override {}
    void OnCancel() override {}

    const MessageMap* GetMessageMap() const override;

    WizardNavigation& m_frame;
};
