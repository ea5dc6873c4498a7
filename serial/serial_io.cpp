// Overlapped reads and writes that wait for their completion, on an event of the caller's or
// on one made for the call.
#include "serial.h"

#include "../common/win_raii.h"

namespace {

enum class Direction { Read, Write };

BOOL Transfer(Direction dir, HANDLE handle, void* data, DWORD count, DWORD* done,
              HANDLE stop = nullptr, HANDLE callerEvent = nullptr) {
    DWORD moved = 0;
    if (done) *done = 0;
    vesk::UniqueHandle own;
    if (!callerEvent) {
        own.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!own) return FALSE;
    }
    HANDLE event = callerEvent ? callerEvent : own.get();

    OVERLAPPED ov{};
    // ReadFile and WriteFile reset the event when they start, so a reused one is never stale.
    ov.hEvent = event;
    BOOL ok = dir == Direction::Write ? WriteFile(handle, data, count, nullptr, &ov)
                                      : ReadFile(handle, data, count, nullptr, &ov);
    bool stopped = false;
    if (!ok && GetLastError() == ERROR_IO_PENDING && stop) {
        HANDLE waits[2] = {event, stop};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
            // Asked to stop: cancel this thread's request and let it complete, so the
            // OVERLAPPED and the buffer are no longer in use when we return.
            CancelIo(handle);
            stopped = true;
        }
    }
    if (ok || GetLastError() == ERROR_IO_PENDING || stopped) {
        // The count always comes from the overlapped result, never from the call itself.
        ok = GetOverlappedResult(handle, &ov, &moved, TRUE);
        // An expired read time-out is reported as ERROR_TIMEOUT by some serial drivers;
        // it is a short read like any other.
        if (!ok && dir == Direction::Read && GetLastError() == ERROR_TIMEOUT) {
            moved = static_cast<DWORD>(ov.InternalHigh);
            ok = TRUE;
        }
    }
    if (moved > count) moved = count;
    if (done) *done = moved;
    if (stopped && !(ok && moved == count)) {
        SetLastError(ERROR_OPERATION_ABORTED);
        ok = FALSE;
    }
    if (!ok) {
        DWORD err = GetLastError();
        own.reset();
        SetLastError(err);
    }
    return ok;
}

}  // namespace

BOOL WriteBuffer(HANDLE handle, const void* data, DWORD count, DWORD* written, HANDLE event) {
    return Transfer(Direction::Write, handle, const_cast<void*>(data), count, written, nullptr,
                    event);
}

BOOL ReadBuffer(HANDLE handle, void* buffer, DWORD count, DWORD* read) {
    return Transfer(Direction::Read, handle, buffer, count, read);
}

BOOL ReadBufferOrStop(HANDLE handle, void* buffer, DWORD count, DWORD* read, HANDLE stop) {
    return Transfer(Direction::Read, handle, buffer, count, read, stop);
}

