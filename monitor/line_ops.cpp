#include "line_ops.h"

#include "../common/win_raii.h"
#include "../serial/serial.h"
#include "serial_open.h"

namespace {

BOOL RealWaitForDsr(HANDLE h, DWORD timeoutMs) {
    if (!SetCommMask(h, EV_DSR)) return FALSE;
    vesk::UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event) return FALSE;
    OVERLAPPED ov{};
    ov.hEvent = event.get();
    DWORD mask = 0, ignored = 0;
    BOOL ok = WaitCommEvent(h, &mask, &ov);
    if (!ok && GetLastError() == ERROR_IO_PENDING) {
        if (WaitForSingleObject(event.get(), timeoutMs) != WAIT_OBJECT_0) {
            // A cleared mask completes the wait; the cancel covers drivers that do not.
            SetCommMask(h, 0);
            CancelIo(h);
            GetOverlappedResult(h, &ov, &ignored, TRUE);
            return FALSE;
        }
        ok = GetOverlappedResult(h, &ov, &ignored, TRUE);
    }
    return ok && (mask & EV_DSR);
}

BOOL RealControl(HANDLE h, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD* returned) {
    *returned = 0;
    // The device was opened for overlapped I/O, so the request needs an OVERLAPPED of its
    // own. It and the request's buffers live in one block of the heap: a driver that never
    // completes even the cancel would write into them after this returns, so then the block
    // is left to the driver rather than freed, and the caller's buffers are never its target.
    struct Request {
        OVERLAPPED ov;
        HANDLE event;
    };
    // Summed in 64 bits: two sizes near 4 GB would wrap a 32-bit sum to a small block that
    // the copies below then overrun. The block's size must fit a DWORD on both builds.
    ULONGLONG bytes = sizeof(Request) + static_cast<ULONGLONG>(inSize) + outSize;
    if (bytes > MAXDWORD) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto* r = static_cast<Request*>(GlobalAlloc(GPTR, static_cast<SIZE_T>(bytes)));
    if (!r) return FALSE;
    BYTE* inCopy = reinterpret_cast<BYTE*>(r + 1);
    BYTE* outCopy = inCopy + inSize;
    if (in && inSize) CopyMemory(inCopy, in, inSize);
    r->event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!r->event) {
        GlobalFree(r);
        return FALSE;
    }
    r->ov.hEvent = r->event;
    DWORD moved = 0;
    BOOL ok = DeviceIoControl(h, code, in ? inCopy : nullptr, inSize, out ? outCopy : nullptr,
                              outSize, &moved, &r->ov);
    if (!ok && GetLastError() == ERROR_IO_PENDING) {
        if (WaitForSingleObject(r->event, kDeviceControlLimitMs) != WAIT_OBJECT_0) {
            CancelIoEx(h, &r->ov);
            if (WaitForSingleObject(r->event, kDeviceControlLimitMs) != WAIT_OBJECT_0) {
                OutputDebugStringW(L"A device request did not end after its cancel");
                SetLastError(ERROR_OPERATION_ABORTED);
                return FALSE;
            }
        }
        ok = GetOverlappedResult(h, &r->ov, &moved, FALSE);
    }
    DWORD err = GetLastError();
    if (ok && out) {
        if (moved > outSize) moved = outSize;
        CopyMemory(out, outCopy, moved);
        *returned = moved;
    }
    CloseHandle(r->event);
    GlobalFree(r);
    SetLastError(err);
    return ok;
}

const LineOperations kRealLine = {
    WriteBuffer,
    ReadBuffer,
    ReadBufferOrStop,
    [](HANDLE h, DWORD* status) -> BOOL { return GetCommModemStatus(h, status); },
    [](HANDLE h, DWORD flags) -> BOOL { return PurgeComm(h, flags); },
    RealWaitForDsr,
    [](HANDLE h) -> BOOL { return FlushFileBuffers(h); },
    RealControl,
    [](HANDLE h) -> BOOL { return CloseHandle(h); },
    ValidateDosDevicePort,
    OpenVeskPort,
};

const LineOperations* g_line = nullptr;

}  // namespace

const LineOperations& Line() {
    const LineOperations* l = g_line;
    return l ? *l : kRealLine;
}

void ReplaceLine(const LineOperations* line) {
    g_line = line;
}

bool DsrOn(HANDLE h) {
    DWORD status = 0;
    return Line().modemStatus(h, &status) && (status & MS_DSR_ON);
}
