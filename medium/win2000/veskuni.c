/* VESKUNI.DLL: a library of the Vesk printer driver's files that holds no code beyond its
 * entry point. The universal printer driver loads a library of a driver only when the
 * driver's INI file (VESKUNI.INI) names it as a plug-in, and it names none: the model
 * descriptions say all the printers need. The library is built so that the file setup
 * installs is a well-formed library with its version, not an empty name. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
