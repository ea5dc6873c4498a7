// The spooler service restarted before the installation changes what it has loaded: every
// active service that depends on it stopped, then the spooler, a pause, then the spooler
// started again. Windows 95/98/Me have no spooler service.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The service manager's calls the restart makes, replaceable so that its timing can be
// followed without waiting for real services.
struct ServiceCalls {
    virtual ~ServiceCalls() = default;
    virtual SC_HANDLE OpenManager(DWORD access);
    virtual SC_HANDLE OpenByName(SC_HANDLE manager, const char* name, DWORD access);
    virtual BOOL QueryStatus(SC_HANDLE service, SERVICE_STATUS& status);
    virtual BOOL Control(SC_HANDLE service, DWORD control, SERVICE_STATUS& status);
    virtual BOOL EnumDependents(SC_HANDLE service, DWORD state, ENUM_SERVICE_STATUSA* buffer,
                                DWORD size, DWORD* needed, DWORD* returned);
    virtual BOOL Start(SC_HANDLE service);
    virtual void Close(SC_HANDLE handle);
    virtual DWORD Tick();
    virtual void Sleep(DWORD ms);
    virtual void Trace(const char* text);
};

// The platform's own calls.
ServiceCalls& PlatformServiceCalls();

inline constexpr char kSpoolerService[] = "Spooler";
// How long the spooler and its dependants may take to stop.
inline constexpr DWORD kSpoolerStopTimeoutMs = 30000;
// The pause between the spooler's stop and its start.
inline constexpr DWORD kSpoolerRestartPauseMs = 2000;
// The shortest pause between two status queries while a service stops: a service that gives
// no wait hint is not asked in a busy loop.
inline constexpr DWORD kMinStopPollMs = 100;
// Polls while a service starts are a tenth of its wait hint, within these bounds.
inline constexpr DWORD kMinStartPollMs = 1000;
inline constexpr DWORD kMaxStartPollMs = 10000;
// A service still stopping when the restart would start it again is waited for this long
// more before it counts as not started.
inline constexpr DWORD kLateStopWaitMs = 10000;
// However long a starting service keeps reporting progress, the wait for it ends here.
inline constexpr DWORD kMaxStartWaitMs = 300000;

// Shown with the services a restart could not start again, their names following.
inline constexpr char kNotRestartedText[] =
    "These services could not be started again; please start them from the Services window:";
// The result of a restart after which the spooler is not running, whatever stopped it.
inline constexpr DWORD kSpoolerNotRunning = ERROR_SERVICE_NOT_ACTIVE;

// Restarts the spooler service; 0 on success or where there is none, else the error code
// (already shown to the user, with the services that could not be started again). Whatever
// was running before is started again on every path; kSpoolerNotRunning when the spooler
// itself is not running afterwards.
DWORD RestartSpooler();
DWORD RestartSpooler(int family, ServiceCalls& calls);

// Stops `service` (and first its active dependants when `stopDependents`), waiting at most
// `timeoutMs` from the call for all of it; 0, ERROR_TIMEOUT or the failing call's error.
// `stoppedDependents` receives the active dependants it set out to stop.
DWORD StopServiceAndDependents(SC_HANDLE manager, SC_HANDLE service, bool stopDependents,
                               DWORD timeoutMs, ServiceCalls& calls = PlatformServiceCalls(),
                               std::vector<std::string>* stoppedDependents = nullptr);
// Starts `service` and waits while it reports progress; 0 when it runs, else ERROR_TIMEOUT or
// the failing call's error.
DWORD StartServiceAndWait(SC_HANDLE service, ServiceCalls& calls = PlatformServiceCalls());
