// The wizard frame, setup's main window: a side panel with the product picture and the
// maker's details on the left, and one wizard page at a time on the right. It owns the
// pages, decides which page follows which, and runs the installation behind the
// "Please wait..." window when Finish is pressed or a resumed run asks for it. It is the
// installation's front end on the screen: the engine's questions and messages are message
// boxes owned by the window active at the time, its dialog for the printer's present settings
// is dialog 142, and its progress is the "Please wait..." window.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "installation_run.h"
#include "please_wait_dlg.h"
#include "wizard_page.h"

// The installation's steps, run by RunInstallation with the frame as their front end.
using InstallationSteps = InstallOutcome (*)(InstallFrontEnd& frontEnd, InstallRunState& state);
// Whether a printer driver of that name is installed.
using DriverQuery = bool (*)(const std::string& driverName);
// How many printers' names begin with that text, letter case aside; `error` receives the
// reason they could not be listed, else 0.
using PrinterCountQuery = int (*)(const std::string& prefix, DWORD& error);


class CSetupDlg : public CDialog, public WizardNavigation, public InstallFrontEnd {
public:
    static constexpr int kPageCount = 7;
    // The page index of each page, the page counter's value while the page before it shows.
    enum PageIndex {
        kLicencePage, kPortSettingsPage, kModelPage, kExistingDriverPage,
        kPrinterNamePage, kTestPagePage, kFinishPage
    };
    static constexpr UINT kResumeTimer = 1;
    static constexpr UINT kResumeDelayMs = 1000;
    // A page lies this many pixels right of the side panel's separator line.
    static constexpr int kPageGap = 3;

    CSetupDlg();
    ~CSetupDlg() override;

    void ShowNextPage() override;
    void ShowPreviousPage() override;
    void CancelWizard() override;
    void RunInstallation() override;

    int Ask(const std::string& text, UINT type) override;
    bool AskPortSettings(const std::string& portName, COMMCONFIG& config) override;
    void Progress(InstallProgress progress) override;

    // Puts a page object in place of the one at `index` (before the page is first shown).
    void SetPage(int index, std::unique_ptr<CWizardPage> page);
    void SetInstallationSteps(InstallationSteps steps) { m_installationSteps = steps; }
    void SetDriverQuery(DriverQuery query) { m_driverInstalled = query; }
    void SetPrinterCountQuery(PrinterCountQuery query) { m_countPrinters = query; }

    int PageCounter() const { return m_nPageCounter; }
    const CWizardPage* CurrentPage() const { return m_pCurrentPage; }
    const CWizardPage* Page(int index) const;
    HWND PleaseWaitWindow() const { return m_pleaseWait.GetSafeHwnd(); }

    // What the runs of this wizard share (a printer removed by one of them).
    const InstallRunState& RunState() const { return m_runState; }
    // The program's exit code once the wizard has closed: 0 installed, 3010 installed or
    // handed over to a restart of Windows, 1603 the last run stopped, 1602 closed without one.
    int ExitCode() const;

protected:
    BOOL OnInitDialog() override;
    // Enter and Escape do not end the wizard.
    void OnOK() override {}
    void OnCancel() override {}
    const MessageMap* GetMessageMap() const override;

private:
    INT_PTR OnClose(WPARAM, LPARAM);
    INT_PTR OnPaint(WPARAM, LPARAM);
    INT_PTR OnQueryDragIcon(WPARAM, LPARAM);
    void OnResumeTimer();
    void SetUpSidePanel();
    void ResumeInstallation();
    // Shows the page at `index`, making its window the first time. False, with nothing
    // changed, when there is no such page or its window cannot be made.
    bool ShowPage(int index);
    // Grows the frame (never shrinks it) so that `page`, placed beside the separator, lies
    // wholly inside its client area.
    void FitFrameToPage(HWND page);
    // True when the existing-driver page has nothing to ask: no driver of the chosen model.
    bool SkipExistingDriverPage() const;

    std::array<std::unique_ptr<CWizardPage>, kPageCount> m_pages;
    CPleaseWaitDlg m_pleaseWait;
    int m_nPageCounter = 0;
    CWizardPage* m_pCurrentPage = nullptr;
    RECT m_rcSeparator{};
    HICON m_hIcon;
    HICON m_hSmallIcon;
    // Shows, once in the program's life, that the printers could not be counted.
    void ReportCountFailure(DWORD error);

    InstallationSteps m_installationSteps;
    InstallRunState m_runState;
    DriverQuery m_driverInstalled;
    PrinterCountQuery m_countPrinters;
    bool m_countFailureShown = false;
    bool m_running = false;
    bool m_ran = false;
    InstallOutcome m_lastOutcome = InstallOutcome::Stopped;
};
