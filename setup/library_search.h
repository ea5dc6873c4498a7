// Where setup.exe's libraries come from: never from the folder it was started from, which
// others may write to.
#pragma once

// The libraries setup binds late and those the system loads for it by bare name (the serial
// port's settings provider, the rich edit and theme libraries), each loaded from the system
// directory when the system cannot restrict the search itself.
inline constexpr const wchar_t* kSetupLibraries[] = {
    L"winspool.drv", L"version.dll", L"serialui.dll", L"msftedit.dll", L"riched20.dll",
    L"uxtheme.dll",  L"dwmapi.dll",  L"comdlg32.dll", L"shlwapi.dll",  L"propsys.dll",
};

// Restricts the search to the system directory, or where the system lacks the call (or
// `useDefaultDirectories` is false) loads kSetupLibraries by their full system paths, kept
// for the life of the process, before anything uses them.
void RestrictSetupLibrarySearch(bool useDefaultDirectories);
