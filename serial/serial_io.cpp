// Overlapped reads and writes that wait for their completion, one event per call.
#include "serial.h"

#include "../common/win_raii.h"

namespace {

enum class Direction { Read, Write };

BOOL Transfer(Direction dir, HANDLE handle, void* data, DWORD count, DWORD* done) {
    DWORD moved = 0;
    if (done) *done = 0;
    vesk::UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event) return FALSE;

    OVERLAPPED ov{};
    ov.hEvent = event.get();
    BOOL ok = dir == Direction::Write ? WriteFile(handle, data, count, nullptr, &ov)
                                      : ReadFile(handle, data, count, nullptr, &ov);
    if (ok || GetLastError() == ERROR_IO_PENDING) {
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
    if (!ok) {
        DWORD err = GetLastError();
        event.reset();
        SetLastError(err);
    }
    return ok;
}

}  // namespace

BOOL WriteBuffer(HANDLE handle, const void* data, DWORD count, DWORD* written) {
    return Transfer(Direction::Write, handle, const_cast<void*>(data), count, written);
}

BOOL ReadBuffer(HANDLE handle, void* buffer, DWORD count, DWORD* read) {
    return Transfer(Direction::Read, handle, buffer, count, read);
}

