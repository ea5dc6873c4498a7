// What the process holds, for the tests that look for leaks: its open handles (Wine's
// GetProcessHandleCount gives 0, so this counts the handle values that name an open
// handle), its committed memory and its threads.
#pragma once

#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

namespace vt {

inline int OpenHandles() {
    int n = 0;
    DWORD flags = 0;
    for (UINT_PTR v = 4; v < 0x20000; v += 4)
        n += GetHandleInformation(reinterpret_cast<HANDLE>(v), &flags) != FALSE;
    return n;
}

inline SIZE_T CommittedBytes() {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    return pmc.PagefileUsage;
}

inline int ProcessThreads() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 te{};
    te.dwSize = sizeof te;
    int n = 0;
    for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te))
        n += te.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snap);
    return n;
}

}  // namespace vt
