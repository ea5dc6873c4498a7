#include "library_search.h"

#include <windows.h>
#include <delayimp.h>

#include "../common/system_library.h"

void RestrictSetupLibrarySearch(bool useDefaultDirectories) {
    if (vesk::RestrictLibrarySearchToSystem(useDefaultDirectories)) return;
    // Once loaded, a library is found by its name before any folder is searched.
    for (const wchar_t* name : kSetupLibraries) vesk::LoadSystemLibrary(name);
}

namespace {

// The libraries bound late come from the system directory, whatever the search would find.
FARPROC WINAPI LoadBoundLateFromSystem(unsigned notify, PDelayLoadInfo info) {
    if (notify != dliNotePreLoadLibrary || !info || !info->szDll) return nullptr;
    WCHAR name[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, info->szDll, -1, name, MAX_PATH)) return nullptr;
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(vesk::LoadSystemLibrary(name)));
}

}  // namespace

// The delay-load helper asks this before it loads a library by name (declared in delayimp.h,
// with C linkage).
PfnDliHook __pfnDliNotifyHook2 = LoadBoundLateFromSystem;
