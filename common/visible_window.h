// Whether a process has shown a window: for the tools and tests that start a program meant
// to show none (an unattended installation) and watch it while it runs.
#pragma once

#include <windows.h>

namespace vesk {

// A process, and whether a visible top-level window of its was seen.
struct WindowWatch {
    DWORD pid;
    bool shown;
};

// For EnumWindows with a WindowWatch*: notes a visible window of the watched process.
inline BOOL CALLBACK NoteVisibleWindow(HWND window, LPARAM data) {
    auto* watch = reinterpret_cast<WindowWatch*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == watch->pid && IsWindowVisible(window)) watch->shown = true;
    return TRUE;
}

// Looks at every top-level window once.
inline void LookForWindows(WindowWatch& watch) {
    EnumWindows(&NoteVisibleWindow, reinterpret_cast<LPARAM>(&watch));
}

}  // namespace vesk
