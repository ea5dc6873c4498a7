// Running the wizard frame in a test: a fresh record, the frame run modally on the test's
// thread, and a script on a helper thread that sees the frame window.
#pragma once

#include <functional>
#include <memory>

#include "dialog_driver.h"
#include "resource.h"
#include "setup_dlg.h"
#include "test_dialogs.h"

namespace st {

// The setup tests drive their dialogs with the shared driver.
using namespace vt;

inline constexpr char kFrameCaption[] = "Vesk Systems Setup";

// A plain page on the stand-in template, for the page indexes whose classes come later.
inline std::unique_ptr<CWizardPage> StandInPage(CSetupDlg& frame) {
    return std::make_unique<CWizardPage>(IDD_STAND_IN_PAGE, frame);
}

// From the licence page to the model page as a person clicks: the licence accepted, the port
// page's settings as offered (`onPortPage`, when given, works that page first). Works on a
// frame of this process or of setup.exe running in another. Null when a page did not come.
inline HWND WalkToModelPage(HWND wizard, const std::function<void(HWND portPage)>& onPortPage = {}) {
    HWND licence = WaitForPage(wizard, IDC_ACCEPT);
    if (!licence) return nullptr;
    Click(licence, IDC_ACCEPT);
    Click(licence, IDC_NEXT);
    HWND port = WaitForPage(wizard, IDC_COM_PORT);
    if (!port) return nullptr;
    if (onPortPage) onPortPage(port);
    Click(port, IDC_NEXT);
    return WaitForPage(wizard, IDC_MODEL_LIST);
}

// Runs `frame` modally while `script` drives it; returns what DoModal returned. The script
// gets the frame's window, or null when it did not appear.
inline INT_PTR RunWizard(CSetupDlg& frame, const std::function<void(HWND frame)>& script) {
    INT_PTR result = 0;
    Drive([&] { result = frame.DoModal(); }, [&] { script(WaitForDialog(kFrameCaption)); });
    return result;
}

}  // namespace st
