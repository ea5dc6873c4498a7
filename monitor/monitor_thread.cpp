#include "monitor_thread.h"

#include "line_ops.h"

namespace {

DWORD WINAPI ThreadMain(LPVOID parameter) {
    auto* t = static_cast<MonitorThread*>(parameter);
    DWORD code = t->run(t);
    HMODULE module = t->module;
    ReleaseMonitorThread(t);
    // Returning would run the rest of this function from code the last FreeLibrary may
    // already have unmapped; this call drops the reference and ends the thread in one.
    FreeLibraryAndExitThread(module, code);
}

}  // namespace

BOOL InitMonitorThread(MonitorThread* t) {
    t->refs = 1;
    t->ownsDevice = 0;
    t->hThread = nullptr;
    t->module = nullptr;
    t->hStop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return t->hStop != nullptr;
}

BOOL StartMonitorThread(MonitorThread* t) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&ThreadMain), &module))
        return FALSE;
    t->module = module;
    InterlockedIncrement(&t->refs);
    t->hThread = CreateThread(nullptr, 16384, ThreadMain, t, 0, nullptr);
    if (!t->hThread) {
        DWORD err = GetLastError();
        InterlockedDecrement(&t->refs);
        t->module = nullptr;
        FreeLibrary(module);
        SetLastError(err);
        return FALSE;
    }
    return TRUE;
}

void AcquireMonitorThread(MonitorThread* t) {
    InterlockedIncrement(&t->refs);
}

void ReleaseMonitorThread(MonitorThread* t) {
    if (InterlockedDecrement(&t->refs) == 0) t->destroy(t);
}

BOOL StopMonitorThread(MonitorThread* t, DWORD* code, bool handDevice) {
    SetEvent(t->hStop);
    BOOL ended = TRUE;
    // The thread itself may end up here, when its own last reference on the library unloads
    // it: it cannot wait for itself.
    if (t->hThread && GetThreadId(t->hThread) == GetCurrentThreadId()) {
        ended = FALSE;
    } else if (t->hThread) {
        ended = WaitForSingleObject(t->hThread, kThreadStopLimitMs) == WAIT_OBJECT_0;
        if (!ended) {
            // The thread is stuck in a request of the driver: cancel what it has pending.
            if (t->hDevice && t->hDevice != INVALID_HANDLE_VALUE) CancelIoEx(t->hDevice, nullptr);
            CancelSynchronousIo(t->hThread);
            ended = WaitForSingleObject(t->hThread, kThreadStopLimitMs) == WAIT_OBJECT_0;
        }
        if (ended && code) GetExitCodeThread(t->hThread, code);
    }
    if (!ended) {
        OutputDebugStringW(L"A monitor thread did not end; it frees its own data");
        if (handDevice) InterlockedExchange(&t->ownsDevice, 1);
    }
    ReleaseMonitorThread(t);
    return ended;
}

void CloseMonitorThreadHandles(MonitorThread* t) {
    if (t->ownsDevice && t->hDevice && t->hDevice != INVALID_HANDLE_VALUE) Line().close(t->hDevice);
    t->hDevice = nullptr;
    if (t->hThread) CloseHandle(t->hThread);
    if (t->hStop) CloseHandle(t->hStop);
    t->hThread = nullptr;
    t->hStop = nullptr;
}
