// The application object: the start of a run of setup, from the command line to the end of
// the wizard. It keeps nothing of the run itself: that is the installation record's.
#pragma once

#include <windows.h>

class CDialog;

class CSetupApp {
public:
    explicit CSetupApp(HINSTANCE instance) : m_hInstance(instance) {}

    // Prepares the controls, sets up the installation record for `commandLine` and runs the
    // wizard modally. Returns false: once the wizard has closed there is nothing more to
    // run, and the program ends without a message loop.
    bool InitInstance(const char* commandLine);
    // The exit code the wizard ended with (setup_dlg.h).
    int ExitCode() const { return m_exitCode; }

    HINSTANCE Instance() const { return m_hInstance; }
    CDialog* MainWindow() const { return m_pMainWnd; }

    // Loads the libraries of the controls the pages use; the rich edit control must be
    // loadable before any window is made. False when the rich edit library is missing.
    static bool PrepareControls();

private:
    HINSTANCE m_hInstance;
    CDialog* m_pMainWnd = nullptr;
    int m_exitCode = 0;
};
