// The wake-up that precedes every job and every settings exchange.
#include "../common/win_raii.h"
#include "line_ops.h"
#include "monitor_thread.h"
#include "printer_link.h"

DWORD WINAPI ReadThread(LPVOID parameters);

namespace {

// Shared by the wake-up and its reader; freed by the one that lets go last.
struct ReaderParameters {
    MonitorThread thread;  // thread.hStop is set when the wake-up gives up
    DWORD blockSize;
};

void DestroyReader(MonitorThread* t) {
    CloseMonitorThreadHandles(t);
    GlobalFree(t);
}

DWORD RunReader(MonitorThread* t) {
    return ReadThread(t);
}

}  // namespace

// Waits for the printer's answer: XON, or DSR raised. Ends with 0 on an answer, with
// kNoAnswer after kWakeupReadRounds rounds without one.
DWORD WINAPI ReadThread(LPVOID parameters) {
    auto* p = static_cast<ReaderParameters*>(parameters);
    HANDLE device = p->thread.hDevice, stop = p->thread.hStop;
    for (int round = 0; round < kWakeupReadRounds; ++round) {
        BYTE b = 0;
        DWORD got = 0;
        BOOL ok = Line().readOrStop(device, &b, 1, &got, stop);
        // Once told to stop, the device is no longer ours to touch: the wake-up's caller
        // may close it.
        if ((!ok && GetLastError() == ERROR_OPERATION_ABORTED) ||
            WaitForSingleObject(stop, 0) == WAIT_OBJECT_0)
            return kNoAnswer;
        if (got == 1 && b == kXon) return 0;
        if (DsrOn(device)) return 0;
        if (WaitForSingleObject(stop, 2 * p->blockSize) == WAIT_OBJECT_0) return kNoAnswer;
    }
    return kNoAnswer;
}

BOOL Wakeup(HANDLE handle, DWORD blockSize, bool* deviceTaken) {
    if (deviceTaken) *deviceTaken = false;
    if (!DsrOn(handle)) {
        if (blockSize == 0) {
            // Below 300 baud no burst fits the window: nothing can wake the printer.
            OutputDebugStringW(L"Error WriteToFile");
            SetLastError(ERROR_WRITE_FAULT);
            return FALSE;
        }
        vesk::GlobalBlock zeros(blockSize);
        auto* params = static_cast<ReaderParameters*>(GlobalAlloc(GPTR, sizeof(ReaderParameters)));
        if (!zeros || !params) {
            if (params) GlobalFree(params);
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return FALSE;
        }
        params->thread.run = RunReader;
        params->thread.destroy = DestroyReader;
        params->thread.hDevice = handle;
        params->blockSize = blockSize;
        if (!InitMonitorThread(&params->thread) || !StartMonitorThread(&params->thread)) {
            DWORD err = GetLastError();
            ReleaseMonitorThread(&params->thread);
            SetLastError(err ? err : ERROR_NOT_ENOUGH_MEMORY);
            return FALSE;
        }
        HANDLE reader = params->thread.hThread;

        DWORD err = 0;
        for (;;) {
            DWORD written = 0;
            BOOL ok = Line().write(handle, zeros.get(), blockSize, &written, nullptr);
            if (written == 0) {
                err = ok ? ERROR_WRITE_FAULT : GetLastError();
                OutputDebugStringW(L"Error WriteToFile");
                break;
            }
            if (WaitForSingleObject(reader, 2 * blockSize) == WAIT_OBJECT_0) break;
        }
        // The reader ends before the caller may close the device; one that does not end in
        // time keeps the parameters it shares, and the device, and frees them itself.
        DWORD code = kNoAnswer;
        if (!StopMonitorThread(&params->thread, &code, deviceTaken != nullptr)) {
            code = kNoAnswer;
            if (deviceTaken) *deviceTaken = true;
        }
        if (err || code != 0) {
            SetLastError(err ? err : code);
            return FALSE;
        }
    }
    DWORD written = 0;
    BYTE can = kCan;
    Line().write(handle, &can, 1, &written, nullptr);
    return TRUE;
}
