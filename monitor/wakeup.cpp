// The wake-up that precedes every job and every settings exchange.
#include "../common/win_raii.h"
#include "line_ops.h"
#include "printer_link.h"

namespace {

struct ReaderParameters {
    HANDLE device;
    DWORD blockSize;
    HANDLE stop;  // set by the wake-up when it gives up before the reader has ended
};

}  // namespace

// Waits for the printer's answer: XON, or DSR raised. Ends with 0 on an answer, with
// kNoAnswer after kWakeupReadRounds rounds without one.
DWORD WINAPI ReadThread(LPVOID parameters) {
    auto* p = static_cast<ReaderParameters*>(parameters);
    for (int round = 0; round < kWakeupReadRounds; ++round) {
        BYTE b = 0;
        DWORD got = 0;
        BOOL ok = Line().readOrStop(p->device, &b, 1, &got, p->stop);
        if (!ok && GetLastError() == ERROR_OPERATION_ABORTED) return kNoAnswer;
        if (got == 1 && b == kXon) return 0;
        if (DsrOn(p->device)) return 0;
        if (WaitForSingleObject(p->stop, 2 * p->blockSize) == WAIT_OBJECT_0) return kNoAnswer;
    }
    return kNoAnswer;
}

BOOL Wakeup(HANDLE handle, DWORD blockSize) {
    if (!DsrOn(handle)) {
        if (blockSize == 0) {
            // Below 300 baud no burst fits the window: nothing can wake the printer.
            OutputDebugStringW(L"Error WriteToFile");
            SetLastError(ERROR_WRITE_FAULT);
            return FALSE;
        }
        vesk::GlobalBlock zeros(blockSize);
        vesk::UniqueHandle stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!zeros || !stop) return FALSE;
        ReaderParameters params{handle, blockSize, stop.get()};
        vesk::UniqueHandle reader(CreateThread(nullptr, 16384, ReadThread, &params,
                                               0, nullptr));
        if (!reader) return FALSE;

        for (;;) {
            DWORD written = 0;
            BOOL ok = Line().write(handle, zeros.get(), blockSize, &written, nullptr);
            if (written == 0) {
                DWORD err = ok ? ERROR_WRITE_FAULT : GetLastError();
                OutputDebugStringW(L"Error WriteToFile");
                // The reader must be gone before its parameters and the device are.
                SetEvent(stop.get());
                WaitForSingleObject(reader.get(), kReaderStopLimitMs);
                SetLastError(err);
                return FALSE;
            }
            if (WaitForSingleObject(reader.get(), 2 * blockSize) == WAIT_OBJECT_0) break;
        }
        DWORD code = kNoAnswer;
        GetExitCodeThread(reader.get(), &code);
        if (code != 0) {
            SetLastError(code);
            return FALSE;
        }
    }
    DWORD written = 0;
    BYTE can = kCan;
    Line().write(handle, &can, 1, &written, nullptr);
    return TRUE;
}
