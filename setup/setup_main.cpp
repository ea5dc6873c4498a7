// setup.exe: the installation wizard for Vesk receipt printers.
#include <windows.h>

#include "../common/system_library.h"
#include "setup_app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything is loaded by name: this program runs elevated from a folder that others
    // may write to, and what the loader would find there first must never be loaded.
    vesk::RestrictLibrarySearchToSystem();
    CSetupApp app(instance);
    app.InitInstance(GetCommandLineA());
    // The exit status carries no meaning.
    return 0;
}
