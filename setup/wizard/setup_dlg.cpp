#include "setup_dlg.h"

#include <algorithm>

#include "driver_install.h"
#include "existing_driver_page.h"
#include "exit_codes.h"
#include "finish_page.h"
#include "hyperlink.h"
#include "installation_run.h"
#include "install_choices.h"
#include "licence_page.h"
#include "message_box.h"
#include "model_catalogue.h"
#include "model_page.h"
#include "port_settings_dlg.h"
#include "port_settings_page.h"
#include "printer_name_page.h"
#include "printer_install.h"
#include "product_info.h"
#include "resource.h"
#include "restart_windows.h"
#include "saved_state.h"
#include "start_up.h"
#include "system_error_text.h"
#include "test_page_page.h"
#include "tinted_label.h"
#include "window_fit.h"

namespace {

// A resumed run opens on the last page.
constexpr int kResumePageCounter = CSetupDlg::kFinishPage;

}  // namespace

CSetupDlg::CSetupDlg()
    : CDialog(IDD_SETUP_DIALOG),
      m_hIcon(LoadIconA(ResourceInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_hSmallIcon(static_cast<HICON>(
          LoadImageA(ResourceInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON,
                     GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0))),
      m_installationSteps(RunInstallationSteps),
      m_driverInstalled(DriverInstalled),
      m_countPrinters(CountPrinters) {
    m_pages[kLicencePage] = std::make_unique<CLicencePage>(*this);
    m_pages[kPortSettingsPage] = std::make_unique<CPortSettingsPage>(*this);
    m_pages[kModelPage] = std::make_unique<CModelPage>(*this);
    m_pages[kExistingDriverPage] = std::make_unique<CExistingDriverPage>(*this);
    m_pages[kPrinterNamePage] = std::make_unique<CPrinterNamePage>(*this);
    m_pages[kTestPagePage] = std::make_unique<CTestPagePage>(*this);
    m_pages[kFinishPage] = std::make_unique<CFinishPage>(*this);
}

CSetupDlg::~CSetupDlg() {
    // The catalogue lives as long as the wizard.
    InstallChoices& choices = Choices();
    choices.gpModel = nullptr;
    choices.gModels.clear();
    if (m_hSmallIcon) DestroyIcon(m_hSmallIcon);
}

const MessageMap* CSetupDlg::GetMessageMap() const {
    static const MessageEntry entries[] = {
        OnTimer<&CSetupDlg::OnResumeTimer>(kResumeTimer),
        OnMessage<&CSetupDlg::OnClose>(WM_CLOSE),
        OnMessage<&CSetupDlg::OnPaint>(WM_PAINT),
        OnMessage<&CSetupDlg::OnQueryDragIcon>(WM_QUERYDRAGICON),
    };
    static const MessageMap map(CDialog::GetMessageMap(), entries);
    return &map;
}

BOOL CSetupDlg::OnInitDialog() {
    SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(m_hSmallIcon ? m_hSmallIcon : m_hIcon));
    SetUpSidePanel();

    InstallChoices& choices = Choices();
    BuildModelCatalogue(choices.gModels);
    SetFixedPrinterInfo(choices);

    ShowNextPage();
    if (choices.gbResume) ResumeInstallation();
    return FALSE;  // the page shown has the focus
}

void CSetupDlg::SetUpSidePanel() {
    // Labels before links: each hooks the frame's procedure, and the links' hook must see
    // the labels' one to chain behind it.
    MakeTintedLabel(m_hWnd, IDC_MAKER_LABEL, TRUE, FALSE, FALSE, RGB(0, 0, 0));
    MakeTintedLabel(m_hWnd, IDC_COPYRIGHT_LABEL, TRUE, FALSE, FALSE, RGB(0, 0, 0));
    MakeHyperlink(m_hWnd, IDC_WEB_LINK, kMakerWebAddress);
    MakeHyperlink(m_hWnd, IDC_CREDIT_LINK, kBuilderWebAddress);
    MakeHyperlink(m_hWnd, IDC_EMAIL_LINK, kMakerMailAddress);
}

void CSetupDlg::ResumeInstallation() {
    InstallChoices& choices = Choices();
    // A saved state that names no model of the catalogue cannot be installed without
    // asking: the run goes on as a fresh one, from the licence page.
    if (!ReadSavedState(choices, SavedStateFileName(ModuleFilePath()))) {
        choices.gbResume = false;
        return;
    }
    m_nPageCounter = kResumePageCounter;
    ShowNextPage();
    SetTimer(m_hWnd, kResumeTimer, kResumeDelayMs, nullptr);
}

void CSetupDlg::OnResumeTimer() {
    // Stopped first: a message box of the installation must not let it start a second run.
    KillTimer(m_hWnd, kResumeTimer);
    RunInstallation();
}

bool CSetupDlg::SkipExistingDriverPage() const {
    const DriverInfo* model = Choices().gpModel;
    return model && !(m_driverInstalled && m_driverInstalled(model->pName));
}

void CSetupDlg::ShowNextPage() {
    int index = m_nPageCounter;
    // While the model page shows, the existing-driver page may have nothing to ask.
    if (m_nPageCounter == kModelPage + 1 && SkipExistingDriverPage()) ++index;
    ShowPage(index);
}

void CSetupDlg::ShowPreviousPage() {
    int index = m_nPageCounter;
    // While the name page shows, the existing-driver page may have nothing to ask.
    if (m_nPageCounter == kPrinterNamePage + 1 && SkipExistingDriverPage()) --index;
    ShowPage(index - 2);
}

bool CSetupDlg::ShowPage(int index) {
    if (index < 0 || index >= kPageCount || !m_pages[index]) return false;
    // The name page proposes a name that no printer of this computer has yet, counted afresh
    // on every visit.
    InstallChoices& choices = Choices();
    DWORD countError = 0;
    if (index == kPrinterNamePage && choices.gpModel) {
        const std::string& model = choices.gpModel->pName;
        choices.PrinterInfo.PrinterName =
            DefaultPrinterName(model, m_countPrinters ? m_countPrinters(model, countError) : 0);
    }
    CWizardPage& page = *m_pages[index];
    if (!page.GetSafeHwnd() && !page.Create(m_hWnd)) return false;
    m_nPageCounter = index + 1;

    if (m_pCurrentPage && m_pCurrentPage != &page) ShowWindow(m_pCurrentPage->GetSafeHwnd(), SW_HIDE);
    GetWindowRect(Item(IDC_SEPARATOR), &m_rcSeparator);
    MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&m_rcSeparator), 2);
    SetWindowPos(page.GetSafeHwnd(), nullptr, m_rcSeparator.right + kPageGap, m_rcSeparator.top,
                 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    FitFrameToPage(page.GetSafeHwnd());
    page.OnPageShown();
    ShowWindow(page.GetSafeHwnd(), SW_SHOW);
    m_pCurrentPage = &page;

    // The keyboard stays with the page shown, not with the hidden one.
    if (HWND first = GetNextDlgTabItem(page.GetSafeHwnd(), nullptr, FALSE)) SetFocus(first);
    // Told over the page it concerns, not while the pages change.
    if (countError) ReportCountFailure(countError);
    return true;
}

void CSetupDlg::ReportCountFailure(DWORD error) {
    // The name then falls back to the model's, on every visit; the reason is told once.
    if (m_countFailureShown) return;
    m_countFailureShown = true;
    SetupMessageBox(m_hWnd, SystemErrorText(error).c_str());
}

void CSetupDlg::FitFrameToPage(HWND page) {
    // The frame and its pages come from templates with different fonts, so their pixel sizes
    // keep the intended proportions only where both fonts are the ones named. Where a font
    // is substituted, or at another DPI, the frame grows until the page fits, with the same
    // margin right of and below the page as the gap left of it.
    RECT pageRect, client;
    GetWindowRect(page, &pageRect);
    GetClientRect(m_hWnd, &client);
    int neededWidth = m_rcSeparator.right + kPageGap + (pageRect.right - pageRect.left) + kPageGap;
    int neededHeight = m_rcSeparator.top + (pageRect.bottom - pageRect.top) + kPageGap;
    int dx = std::max(0, neededWidth - static_cast<int>(client.right));
    int dy = std::max(0, neededHeight - static_cast<int>(client.bottom));
    if (dx == 0 && dy == 0) return;
    GrowWindowAboutCentre(m_hWnd, dx, dy);
    // The separator runs down the whole frame, as in the template.
    if (dy > 0) {
        SetWindowPos(Item(IDC_SEPARATOR), nullptr, 0, 0, m_rcSeparator.right - m_rcSeparator.left,
                     m_rcSeparator.bottom - m_rcSeparator.top + dy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void CSetupDlg::CancelWizard() {
    EndDialog(IDCANCEL);
}

void CSetupDlg::RunInstallation() {
    // The steps' message boxes and dialogs let queued clicks and the resume timer through:
    // none of them may start a second run inside this one.
    if (m_running) return;
    m_running = true;
    KillTimer(m_hWnd, kResumeTimer);
    EnableWindow(m_hWnd, FALSE);
    HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    InstallOutcome outcome =
        m_installationSteps ? m_installationSteps(*this, m_runState) : InstallOutcome::Stopped;
    // Whatever the steps told of their end, no wait window outlives them.
    m_pleaseWait.DestroyWindow();
    SetCursor(previous);
    EnableWindow(m_hWnd, TRUE);
    m_running = false;
    m_ran = true;
    m_lastOutcome = outcome;
    // Nothing of an earlier interrupted installation may replay this one at the next logon.
    if (outcome == InstallOutcome::Completed) ForgetSavedInstallation();
    if (outcome != InstallOutcome::Stopped) EndDialog(IDCANCEL);
}

int CSetupDlg::ExitCode() const {
    if (!m_ran) return kExitCancelled;
    switch (m_lastOutcome) {
    case InstallOutcome::Completed: return m_runState.rebootNeeded ? kExitRestartNeeded : kExitDone;
    case InstallOutcome::Restarting: return kExitRestartNeeded;
    case InstallOutcome::Stopped: break;
    }
    return kExitFailed;
}

int CSetupDlg::Ask(const std::string& text, UINT type) {
    // The steps run on the wizard's thread: their messages belong to whatever window of it is
    // active (the wizard or the please-wait window above it).
    return SetupMessageBox(GetActiveWindow(), text.c_str(), type);
}

bool CSetupDlg::AskPortSettings(const std::string& portName, COMMCONFIG& config) {
    CPortSettingsDlg present(portName.c_str(), &config, GetActiveWindow());
    return present.DoModal() == IDOK;
}

void CSetupDlg::Progress(InstallProgress progress) {
    if (progress == InstallProgress::Ended) {
        m_pleaseWait.DestroyWindow();
        return;
    }
    if (!m_pleaseWait.GetSafeHwnd()) m_pleaseWait.Create(m_hWnd);
    if (HWND wait = m_pleaseWait.GetSafeHwnd()) {
        ShowWindow(wait, SW_SHOW);
        // The steps block this thread: the window must be drawn before they go on.
        RedrawWindow(wait, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        // Some window systems (Wine's among them) put what was drawn on the screen only when
        // the thread next looks at its queue; nothing is taken from it here.
        MSG pending;
        PeekMessageA(&pending, wait, 0, 0, PM_NOREMOVE);
    }
}

void CSetupDlg::SetPage(int index, std::unique_ptr<CWizardPage> page) {
    if (index < 0 || index >= kPageCount || (m_pages[index] && m_pages[index]->GetSafeHwnd()))
        return;
    m_pages[index] = std::move(page);
}

const CWizardPage* CSetupDlg::Page(int index) const {
    return index >= 0 && index < kPageCount ? m_pages[index].get() : nullptr;
}

INT_PTR CSetupDlg::OnClose(WPARAM, LPARAM) {
    EndDialog(IDCANCEL);
    return TRUE;
}

INT_PTR CSetupDlg::OnPaint(WPARAM, LPARAM) {
    if (!IsIconic(m_hWnd)) return FALSE;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(m_hWnd, &client);
    int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, m_hIcon);
    EndPaint(m_hWnd, &ps);
    return TRUE;
}

INT_PTR CSetupDlg::OnQueryDragIcon(WPARAM, LPARAM) {
    return reinterpret_cast<INT_PTR>(m_hIcon);
}
