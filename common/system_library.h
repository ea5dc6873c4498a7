// Loading the system's own libraries. setup.exe runs with administrator rights, often from a
// folder anyone can write, and the monitor runs inside the spooler: a library that either
// loads by its bare name could come from a folder searched before the system's, so each one
// is named by its full path in the system directory.
#pragma once

#include <windows.h>

namespace vesk {

// `name` in the system directory; false when the path does not fit.
inline bool SystemLibraryPath(LPCWSTR name, WCHAR (&path)[MAX_PATH]) {
    UINT n = GetSystemDirectoryW(path, MAX_PATH);
    int chars = lstrlenW(name);
    if (n == 0 || n + 1 + chars >= MAX_PATH) return false;
    path[n] = L'\\';
    lstrcpyW(path + n + 1, name);
    return true;
}

// The library `name` from the system directory, never from a search; null when it is not
// there.
inline HMODULE LoadSystemLibrary(LPCWSTR name, HMODULE(WINAPI* load)(LPCWSTR) = LoadLibraryW) {
    WCHAR path[MAX_PATH];
    if (!SystemLibraryPath(name, path)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return nullptr;
    }
    return load(path);
}

// From now on a library loaded by its bare name (by this program or by the system's own
// libraries on its behalf) is looked for in the system directory only. Looked up at run time:
// a system without the call (Vista, Windows 7 before its loader update, and earlier) starts
// all the same, and the result is then false: there the search of a bare name still begins
// in the program's own folder, so the caller must load what it needs by full path first. The
// current directory leaves the search in both cases. `useDefaultDirectories` false acts as a
// system without the call.
inline bool RestrictLibrarySearchToSystem(bool useDefaultDirectories = true) {
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    using SetDirectory = BOOL(WINAPI*)(LPCWSTR);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");  // loaded in every process
    if (!kernel) return false;
    auto set = useDefaultDirectories ? reinterpret_cast<SetDirectories>(reinterpret_cast<void*>(
                                           GetProcAddress(kernel, "SetDefaultDllDirectories")))
                                     : nullptr;
    if (set && set(LOAD_LIBRARY_SEARCH_SYSTEM32)) return true;
    // From Windows XP SP1 on; an empty folder takes the current directory out of the search.
    auto setFolder = reinterpret_cast<SetDirectory>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryW")));
    if (setFolder) setFolder(L"");
    return false;
}

}  // namespace vesk
