// setup.exe: the installation wizard for Vesk receipt printers.
#include <windows.h>

#include "setup_app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    CSetupApp app(instance);
    app.InitInstance(GetCommandLineA());
    // The exit status carries no meaning.
    return 0;
}
