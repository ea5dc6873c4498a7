#include "job_flow.h"

#include "../serial/serial.h"
#include "line_ops.h"
#include "printer_link.h"

namespace {

// Shortest time from one read of the busy thread to the next when a read brings nothing: a
// device error, or time-outs that make a read return at once, must not make it spin.
constexpr DWORD kReadErrorPauseMs = 50;
// Longest wait of one ReadPort, whatever time-outs the line has.
constexpr DWORD kReadPortLimitMs = 60000;

JobFlow* Flow(MonitorThread* t) {
    return reinterpret_cast<JobFlow*>(t);
}

// One byte from the job's line; false when the document has ended.
bool NextByte(JobFlow* f, BYTE& b, bool& got) {
    DWORD n = 0;
    ULONGLONG start = GetTickCount64();
    Line().readOrStop(f->thread.hDevice, &b, 1, &n, f->thread.hStop);
    got = n == 1;
    if (!f->BusyThreadRun || WaitForSingleObject(f->thread.hStop, 0) == WAIT_OBJECT_0) return false;
    // An empty read that waited its time-outs goes on at once; one that came back sooner
    // (failed, or "return at once") waits out the rest of the pause.
    ULONGLONG spent = GetTickCount64() - start;
    if (!got && spent < kReadErrorPauseMs)
        WaitForSingleObject(f->thread.hStop, static_cast<DWORD>(kReadErrorPauseMs - spent));
    return true;
}

void Keep(JobFlow* f, BYTE b) {
    EnterCriticalSection(&f->InputSection);
    if (f->inputCount < kFlowInputBytes) {
        f->input[(f->inputStart + f->inputCount) % kFlowInputBytes] = b;
        ++f->inputCount;
        SetEvent(f->hInputArrived);
    }
    LeaveCriticalSection(&f->InputSection);
}

DWORD Take(JobFlow* f, LPBYTE buffer, DWORD count) {
    EnterCriticalSection(&f->InputSection);
    DWORD n = 0;
    for (; n < count && f->inputCount; ++n, --f->inputCount) {
        buffer[n] = f->input[f->inputStart];
        f->inputStart = (f->inputStart + 1) % kFlowInputBytes;
    }
    if (!f->inputCount) ResetEvent(f->hInputArrived);
    LeaveCriticalSection(&f->InputSection);
    return n;
}

void DestroyFlow(MonitorThread* t) {
    JobFlow* f = Flow(t);
    // The last user is gone: the device closes now, after every request on it has ended.
    CloseMonitorThreadHandles(t);
    CloseHandle(f->XoffSection);
    CloseHandle(f->hWriteDone);
    CloseHandle(f->hInputArrived);
    DeleteCriticalSection(&f->InputSection);
    GlobalFree(f);
}

DWORD Min(DWORD a, DWORD b) {
    return a < b ? a : b;
}

}  // namespace

DWORD BussyThread(MonitorThread* thread) {
    JobFlow* f = Flow(thread);
    BYTE b = 0;
    bool got = false;
    while (f->BusyThreadRun && NextByte(f, b, got)) {
        if (!got) continue;
        if (b == kXoff) {
            ResetEvent(f->XoffSection);
            // Busy until XON; what comes meanwhile is kept for ReadPort.
            bool more = true;
            do {
                more = NextByte(f, b, got);
                if (more && got && b != kXon && b != kXoff) Keep(f, b);
            } while (more && !(got && b == kXon));
            SetEvent(f->XoffSection);
        } else if (b != kXon) {
            Keep(f, b);
        }
    }
    SetEvent(f->XoffSection);
    return 0;
}

JobFlow* MakeJobFlow(HANDLE device, DWORD xoffLimitMs) {
    auto* f = static_cast<JobFlow*>(GlobalAlloc(GPTR, sizeof(JobFlow)));
    if (!f) return nullptr;
    f->thread.run = BussyThread;
    f->thread.destroy = DestroyFlow;
    f->xoffLimitMs = xoffLimitMs;
    InitializeCriticalSection(&f->InputSection);
    f->XoffSection = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    f->hWriteDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    f->hInputArrived = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!InitMonitorThread(&f->thread) || !f->XoffSection || !f->hWriteDone ||
        !f->hInputArrived) {
        // The device is not the flow's yet: it stays with the caller.
        DestroyFlow(&f->thread);
        return nullptr;
    }
    f->thread.hDevice = device;
    f->thread.ownsDevice = 1;
    f->readTimeouts = {kReadIntervalTimeoutMs, 0, kReadTotalTimeoutConstantMs, 0, 0};
    f->BusyThreadRun = 1;
    return f;
}

void RunJobFlow(JobFlow* f) {
    // A flow stopped before its thread could start needs none.
    if (!f->BusyThreadRun) return;
    if (!StartMonitorThread(&f->thread)) OutputDebugStringW(L"CreateThread (BussyThread) failed");
}

JobFlow* StartJobFlow(HANDLE device, DWORD xoffLimitMs) {
    JobFlow* f = MakeJobFlow(device, xoffLimitMs);
    if (f) RunJobFlow(f);
    return f;
}

void StopJobFlow(JobFlow* f) {
    if (!f) return;
    InterlockedExchange(&f->BusyThreadRun, 0);
    StopMonitorThread(&f->thread, nullptr);
}

void HoldJobFlow(JobFlow* f) {
    AcquireMonitorThread(&f->thread);
}

void ReleaseJobFlow(JobFlow* f) {
    ReleaseMonitorThread(&f->thread);
}

HANDLE JobWriteEvent(JobFlow* f) {
    return f ? f->hWriteDone : nullptr;
}

BOOL PassXoffSection(JobFlow* f) {
    if (!f) return TRUE;
    // The end of the document ends the wait as well: the write then stops at once.
    HANDLE waits[2] = {f->XoffSection, f->thread.hStop};
    return WaitForMultipleObjects(2, waits, FALSE, f->xoffLimitMs) != WAIT_TIMEOUT;
}

void SetJobReadTimeouts(JobFlow* f, DWORD intervalMs, DWORD totalConstantMs) {
    EnterCriticalSection(&f->InputSection);
    f->readTimeouts.ReadIntervalTimeout = intervalMs;
    f->readTimeouts.ReadTotalTimeoutConstant = totalConstantMs;
    LeaveCriticalSection(&f->InputSection);
}

BOOL ReadJobInput(JobFlow* f, LPBYTE buffer, DWORD count, DWORD* read) {
    *read = 0;
    EnterCriticalSection(&f->InputSection);
    COMMTIMEOUTS timeouts = f->readTimeouts;
    LeaveCriticalSection(&f->InputSection);
    // The line's time-outs as the platform applies them to a read: a total for the whole
    // read and an interval between bytes; "return at once" is an interval of MAXDWORD with
    // no total. A total of zero (wait for ever) waits the longest this monitor allows.
    bool atOnce = timeouts.ReadIntervalTimeout == MAXDWORD &&
                  timeouts.ReadTotalTimeoutConstant == 0 &&
                  timeouts.ReadTotalTimeoutMultiplier == 0;
    ULONGLONG total = timeouts.ReadTotalTimeoutConstant +
                      static_cast<ULONGLONG>(timeouts.ReadTotalTimeoutMultiplier) * count;
    DWORD totalMs = total == 0 || total > kReadPortLimitMs ? kReadPortLimitMs
                                                           : static_cast<DWORD>(total);
    DWORD interval = timeouts.ReadIntervalTimeout;
    ULONGLONG start = GetTickCount64();
    for (;;) {
        *read += Take(f, buffer + *read, count - *read);
        if (*read == count || atOnce) return TRUE;
        ULONGLONG spent = GetTickCount64() - start;
        if (spent >= totalMs) return TRUE;
        DWORD wait = static_cast<DWORD>(totalMs - spent);
        if (*read && interval && interval != MAXDWORD) wait = Min(wait, interval);
        HANDLE waits[2] = {f->hInputArrived, f->thread.hStop};
        if (WaitForMultipleObjects(2, waits, FALSE, wait) != WAIT_OBJECT_0) {
            *read += Take(f, buffer + *read, count - *read);
            return TRUE;
        }
    }
}
