#include "setup_app.h"

#include <commctrl.h>

#include "../../common/system_library.h"

#include "install_choices.h"
#include "setup_dlg.h"
#include "start_up.h"

bool CSetupApp::PrepareControls() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    // Kept loaded for the life of the process: the licence page's controls are of its class.
    // From the system directory only, never from the program's own folder.
    static HMODULE richEdit = vesk::LoadSystemLibrary(L"Msftedit.dll");
    return richEdit != nullptr;
}

bool CSetupApp::InitInstance(const char* commandLine) {
    PrepareControls();
    BeginSetupRun(commandLine);
    CSetupDlg wizard;
    // The engine's steps talk to the person through the wizard, also outside a run.
    FrontEndScope screen(wizard);
    m_pMainWnd = &wizard;
    wizard.DoModal();
    m_pMainWnd = nullptr;
    m_exitCode = wizard.ExitCode();
    return false;
}
