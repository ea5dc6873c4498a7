// A library that holds nothing but its version resource, for the tests that compare versions.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
