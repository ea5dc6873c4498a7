#include "spooler_restart.h"

#include <algorithm>

#include "spooler_enum.h"
#include "system_error_text.h"
#include "windows_family.h"

SC_HANDLE ServiceCalls::OpenManager(DWORD access) {
    return OpenSCManagerA(nullptr, nullptr, access);
}
SC_HANDLE ServiceCalls::OpenByName(SC_HANDLE manager, const char* name, DWORD access) {
    return OpenServiceA(manager, name, access);
}
BOOL ServiceCalls::QueryStatus(SC_HANDLE service, SERVICE_STATUS& status) {
    return QueryServiceStatus(service, &status);
}
BOOL ServiceCalls::Control(SC_HANDLE service, DWORD control, SERVICE_STATUS& status) {
    return ControlService(service, control, &status);
}
BOOL ServiceCalls::EnumDependents(SC_HANDLE service, DWORD state, ENUM_SERVICE_STATUSA* buffer,
                                  DWORD size, DWORD* needed, DWORD* returned) {
    return EnumDependentServicesA(service, state, buffer, size, needed, returned);
}
BOOL ServiceCalls::Start(SC_HANDLE service) {
    return StartServiceA(service, 0, nullptr);
}
void ServiceCalls::Close(SC_HANDLE handle) {
    CloseServiceHandle(handle);
}
DWORD ServiceCalls::Tick() {
    return GetTickCount();
}
void ServiceCalls::Sleep(DWORD ms) {
    ::Sleep(ms);
}
void ServiceCalls::Trace(const char* text) {
    OutputDebugStringA(text);
}

ServiceCalls& PlatformServiceCalls() {
    static ServiceCalls calls;
    return calls;
}

namespace {

constexpr DWORD kDependentAccess = SERVICE_STOP | SERVICE_QUERY_STATUS;  // 0x24

// Time since `start`, on the tick counter (which wraps after 49 days).
DWORD Since(ServiceCalls& calls, DWORD start) {
    return calls.Tick() - start;
}

// The pause before the next status query of a stopping service: its wait hint, but never a
// busy loop, and never much past the time-out.
DWORD StopPause(DWORD waitHint, DWORD elapsed, DWORD timeoutMs) {
    DWORD left = elapsed < timeoutMs ? timeoutMs - elapsed : 0;
    return std::min(std::max(waitHint, kMinStopPollMs), std::max(left, kMinStopPollMs));
}

// Waits until `service` has stopped; 0, ERROR_TIMEOUT or the failing query's error.
DWORD WaitForStop(ServiceCalls& calls, SC_HANDLE service, SERVICE_STATUS& status, DWORD start,
                  DWORD timeoutMs) {
    while (status.dwCurrentState != SERVICE_STOPPED) {
        calls.Sleep(StopPause(status.dwWaitHint, Since(calls, start), timeoutMs));
        if (!calls.QueryStatus(service, status)) return GetLastError();
        if (status.dwCurrentState == SERVICE_STOPPED) break;
        if (Since(calls, start) > timeoutMs) return ERROR_TIMEOUT;
    }
    return 0;
}

struct ServiceHandle {
    ServiceCalls& calls;
    SC_HANDLE handle;
    ~ServiceHandle() {
        if (handle) calls.Close(handle);
    }
};

DWORD StopDependents(ServiceCalls& calls, SC_HANDLE manager, SC_HANDLE service, DWORD start,
                     DWORD timeoutMs) {
    Enumeration dependents =
        Enumerate([&](BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
            return calls.EnumDependents(service, SERVICE_ACTIVE,
                                        reinterpret_cast<ENUM_SERVICE_STATUSA*>(buffer), size,
                                        needed, returned);
        });
    if (dependents.status == EnumerationStatus::Empty && !dependents.sizeQueryFailed) return 0;
    if (dependents.status != EnumerationStatus::Listed)
        return dependents.error ? dependents.error : ERROR_GEN_FAILURE;
    const ENUM_SERVICE_STATUSA* items = dependents.Items<ENUM_SERVICE_STATUSA>();
    for (DWORD i = 0; i < dependents.count; ++i) {
        ServiceHandle dependent{calls, calls.OpenByName(manager, items[i].lpServiceName,
                                                         kDependentAccess)};
        if (!dependent.handle) return GetLastError();
        SERVICE_STATUS status{};
        if (!calls.Control(dependent.handle, SERVICE_CONTROL_STOP, status)) return GetLastError();
        if (DWORD error = WaitForStop(calls, dependent.handle, status, start, timeoutMs))
            return error;
    }
    return 0;
}

}  // namespace

DWORD StopServiceAndDependents(SC_HANDLE manager, SC_HANDLE service, bool stopDependents,
                               DWORD timeoutMs, ServiceCalls& calls) {
    DWORD start = calls.Tick();
    SERVICE_STATUS status{};
    if (!calls.QueryStatus(service, status)) return GetLastError();
    if (status.dwCurrentState == SERVICE_STOPPED) return 0;
    while (status.dwCurrentState == SERVICE_STOP_PENDING) {
        calls.Sleep(StopPause(status.dwWaitHint, Since(calls, start), timeoutMs));
        if (!calls.QueryStatus(service, status)) return GetLastError();
        if (status.dwCurrentState == SERVICE_STOPPED) return 0;
        if (Since(calls, start) > timeoutMs) return ERROR_TIMEOUT;
    }
    if (stopDependents) {
        if (DWORD error = StopDependents(calls, manager, service, start, timeoutMs)) return error;
    }
    if (!calls.Control(service, SERVICE_CONTROL_STOP, status)) return GetLastError();
    return WaitForStop(calls, service, status, start, timeoutMs);
}

DWORD StartServiceAndWait(SC_HANDLE service, ServiceCalls& calls) {
    if (!calls.Start(service)) return GetLastError();
    SERVICE_STATUS status{};
    if (!calls.QueryStatus(service, status)) return GetLastError();
    DWORD begin = calls.Tick();
    DWORD progressTick = begin;
    DWORD checkPoint = status.dwCheckPoint;
    while (status.dwCurrentState == SERVICE_START_PENDING) {
        calls.Trace("w");
        calls.Sleep(std::clamp(status.dwWaitHint / 10, kMinStartPollMs, kMaxStartPollMs));
        if (!calls.QueryStatus(service, status)) break;
        if (status.dwCheckPoint > checkPoint) {
            progressTick = calls.Tick();
            checkPoint = status.dwCheckPoint;
        } else if (Since(calls, progressTick) > status.dwWaitHint) {
            break;
        }
        // A service that reports progress for ever is not waited for for ever.
        if (Since(calls, begin) > kMaxStartWaitMs) break;
    }
    return status.dwCurrentState == SERVICE_RUNNING ? 0 : ERROR_TIMEOUT;
}

DWORD RestartSpooler(int family, ServiceCalls& calls) {
    if (family != kNT4Family && family != kWin2000Family) return 0;
    SC_HANDLE manager = calls.OpenManager(SC_MANAGER_ALL_ACCESS);
    if (!manager) {
        DWORD error = GetLastError();
        ShowSystemError(error);
        return error;
    }
    ServiceHandle managerHandle{calls, manager};
    ServiceHandle spooler{calls, calls.OpenByName(manager, kSpoolerService, SERVICE_ALL_ACCESS)};
    if (!spooler.handle) {
        DWORD error = GetLastError();
        ShowSystemError(error);
        return error;
    }
    if (DWORD error = StopServiceAndDependents(manager, spooler.handle, true,
                                               kSpoolerStopTimeoutMs, calls)) {
        ShowSystemError(error);
        return error;
    }
    calls.Sleep(kSpoolerRestartPauseMs);
    DWORD error = StartServiceAndWait(spooler.handle, calls);
    if (error) ShowSystemError(error);
    return error;
}

DWORD RestartSpooler() {
    return RestartSpooler(WindowsFamily(), PlatformServiceCalls());
}
