#include "spooler_restart.h"

#include <algorithm>
#include <string>
#include <vector>

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
constexpr DWORD kRestartAccess = SERVICE_START | SERVICE_QUERY_STATUS;

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

// The active dependants of `service`, by name; 0 or the failing call's error.
DWORD ListDependents(ServiceCalls& calls, SC_HANDLE service, std::vector<std::string>& names) {
    names.clear();
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
    for (DWORD i = 0; i < dependents.count; ++i)
        names.emplace_back(items[i].lpServiceName ? items[i].lpServiceName : "");
    return 0;
}

DWORD StopDependents(ServiceCalls& calls, SC_HANDLE manager,
                     const std::vector<std::string>& names, DWORD start, DWORD timeoutMs) {
    for (const std::string& name : names) {
        ServiceHandle dependent{calls, calls.OpenByName(manager, name.c_str(), kDependentAccess)};
        if (!dependent.handle) return GetLastError();
        SERVICE_STATUS status{};
        if (!calls.Control(dependent.handle, SERVICE_CONTROL_STOP, status)) return GetLastError();
        if (DWORD error = WaitForStop(calls, dependent.handle, status, start, timeoutMs))
            return error;
    }
    return 0;
}

// Starts `service` again unless it runs (or is starting) already; 0 when it runs afterwards,
// else why not. One still stopping is given a last, bounded wait first.
DWORD StartAgain(ServiceCalls& calls, SC_HANDLE service) {
    SERVICE_STATUS status{};
    if (!calls.QueryStatus(service, status)) return GetLastError();
    if (status.dwCurrentState == SERVICE_RUNNING || status.dwCurrentState == SERVICE_START_PENDING)
        return 0;
    if (DWORD error = WaitForStop(calls, service, status, calls.Tick(), kLateStopWaitMs))
        return error;
    return StartServiceAndWait(service, calls);
}

// The message of a restart that did not go as planned: the reason, then whatever could not
// be started again.
void ShowRestartFailure(DWORD error, const std::vector<std::string>& notStarted) {
    std::string text = error ? SystemErrorText(error) : std::string();
    if (!notStarted.empty()) {
        if (!text.empty()) text += "\n\n";
        text += kNotRestartedText;
        for (size_t i = 0; i < notStarted.size(); ++i)
            text += (i ? ", " : " ") + notStarted[i];
    }
    ShowEngineMessage(text);
}

}  // namespace

DWORD StopServiceAndDependents(SC_HANDLE manager, SC_HANDLE service, bool stopDependents,
                               DWORD timeoutMs, ServiceCalls& calls,
                               std::vector<std::string>* stoppedDependents) {
    if (stoppedDependents) stoppedDependents->clear();
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
        std::vector<std::string> names;
        if (DWORD error = ListDependents(calls, service, names)) return error;
        if (stoppedDependents) *stoppedDependents = names;
        if (DWORD error = StopDependents(calls, manager, names, start, timeoutMs)) return error;
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
    // What was running is started again on every way out once the stop was sent: the
    // spooler first, then the dependants it had, each bounded as the start itself.
    std::vector<std::string> dependents;
    DWORD error = StopServiceAndDependents(manager, spooler.handle, true, kSpoolerStopTimeoutMs,
                                           calls, &dependents);
    if (!error) calls.Sleep(kSpoolerRestartPauseMs);
    std::vector<std::string> notStarted;
    DWORD startError = StartAgain(calls, spooler.handle);
    bool spoolerRuns = startError == 0;
    if (!spoolerRuns) {
        notStarted.push_back(kSpoolerService);
        notStarted.insert(notStarted.end(), dependents.begin(), dependents.end());
        if (!error) error = startError;
    } else {
        for (const std::string& name : dependents) {
            ServiceHandle dependent{calls, calls.OpenByName(manager, name.c_str(),
                                                            kRestartAccess)};
            if (!dependent.handle || StartAgain(calls, dependent.handle) != 0)
                notStarted.push_back(name);
        }
    }
    if (error || !notStarted.empty()) ShowRestartFailure(error, notStarted);
    // Every later step needs the spooler: the run is told when it is not there.
    if (!spoolerRuns) return kSpoolerNotRunning;
    return error;
}

DWORD RestartSpooler() {
    return RestartSpooler(WindowsFamily(), PlatformServiceCalls());
}
