#include "job_flow.h"

#include "line_ops.h"
#include "printer_link.h"

namespace {

// Pause after a failed read before the next one, so a device error does not spin.
constexpr DWORD kReadErrorPauseMs = 50;

// One byte from the job's line; false when the document has ended.
bool NextByte(JobFlow* f, BYTE& b, bool& got) {
    DWORD n = 0;
    BOOL ok = Line().readOrStop(f->hDevice, &b, 1, &n, f->hStop);
    got = n == 1;
    if (!f->BusyThreadRun || WaitForSingleObject(f->hStop, 0) == WAIT_OBJECT_0) return false;
    if (!ok && !got) WaitForSingleObject(f->hStop, kReadErrorPauseMs);
    return true;
}

}  // namespace

DWORD WINAPI BussyThread(LPVOID parameter) {
    auto* f = static_cast<JobFlow*>(parameter);
    BYTE b = 0;
    bool got = false;
    while (f->BusyThreadRun && NextByte(f, b, got)) {
        if (!got || b != kXoff) continue;  // anything but XOFF is dropped
        ResetEvent(f->XoffSection);
        // Busy: everything up to XON is dropped.
        bool more = true;
        do more = NextByte(f, b, got);
        while (more && !(got && b == kXon));
        SetEvent(f->XoffSection);
    }
    SetEvent(f->XoffSection);
    return 0;
}

JobFlow* StartJobFlow(HANDLE device, DWORD xoffLimitMs) {
    auto* f = static_cast<JobFlow*>(GlobalAlloc(GPTR, sizeof(JobFlow)));
    if (!f) return nullptr;
    f->hDevice = device;
    f->xoffLimitMs = xoffLimitMs;
    f->XoffSection = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    f->hStop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    f->hWriteDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!f->XoffSection || !f->hStop || !f->hWriteDone) {
        if (f->XoffSection) CloseHandle(f->XoffSection);
        if (f->hStop) CloseHandle(f->hStop);
        if (f->hWriteDone) CloseHandle(f->hWriteDone);
        GlobalFree(f);
        return nullptr;
    }
    f->BusyThreadRun = 1;
    f->hBusyThread = CreateThread(nullptr, 16384, BussyThread, f, 0, nullptr);
    if (!f->hBusyThread) OutputDebugStringW(L"CreateThread (BussyThread) failed");
    return f;
}

void StopJobFlow(JobFlow* f) {
    if (!f) return;
    InterlockedExchange(&f->BusyThreadRun, 0);
    SetEvent(f->hStop);
    if (f->hBusyThread) {
        if (WaitForSingleObject(f->hBusyThread, kBusyThreadStopLimitMs) != WAIT_OBJECT_0) {
            // The thread still uses the flow: leave it to the thread rather than free it
            // under its feet.
            CloseHandle(f->hBusyThread);
            return;
        }
        CloseHandle(f->hBusyThread);
    }
    CloseHandle(f->XoffSection);
    CloseHandle(f->hStop);
    CloseHandle(f->hWriteDone);
    GlobalFree(f);
}

HANDLE JobWriteEvent(JobFlow* f) {
    return f ? f->hWriteDone : nullptr;
}

BOOL PassXoffSection(JobFlow* f) {
    return !f || WaitForSingleObject(f->XoffSection, f->xoffLimitMs) == WAIT_OBJECT_0;
}
