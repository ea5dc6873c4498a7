// setup.exe: the installation wizard for Vesk receipt printers.
#include <windows.h>

#include "library_search.h"
#include "setup_app.h"

// A build for the tests acts as a system without SetDefaultDllDirectories.
#ifdef VESK_WITHOUT_DEFAULT_DLL_DIRECTORIES
constexpr bool kUseDefaultDllDirectories = false;
#else
constexpr bool kUseDefaultDllDirectories = true;
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything is loaded by name: this program runs elevated from a folder that others
    // may write to, and what the loader would find there first must never be loaded.
    RestrictSetupLibrarySearch(kUseDefaultDllDirectories);
    CSetupApp app(instance);
    app.InitInstance(GetCommandLineA());
    // The exit status carries no meaning.
    return 0;
}
