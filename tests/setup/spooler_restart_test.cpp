// The spooler's restart: against the service manager of a prefix made for this run (its
// "Spooler" service, and a service of the test's own that will not stop), and through a
// stand-in for the service calls where the timing itself is the point.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "setup_fixture.h"
#include "spooler_restart.h"
#include "system_error_text.h"
#include "windows_family.h"

namespace {

constexpr char kStubborn[] = "VeskStubbornService";

TEST(SpoolerRestart, StopsAndStartsTheSpoolerService) {
    st::RecordingFrontEnd messages;
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager, nullptr);
    SC_HANDLE spooler = OpenServiceA(manager, kSpoolerService, SERVICE_ALL_ACCESS);
    ASSERT_NE(spooler, nullptr);
    // Running first, so that the restart has something to stop.
    if (st::ServiceState(kSpoolerService) != SERVICE_RUNNING) {
        ASSERT_EQ(StartServiceAndWait(spooler), 0u);
    }
    ASSERT_EQ(st::ServiceState(kSpoolerService), DWORD(SERVICE_RUNNING));

    DWORD start = GetTickCount();
    EXPECT_EQ(RestartSpooler(), 0u);
    DWORD took = GetTickCount() - start;
    EXPECT_GE(took, kSpoolerRestartPauseMs);
    EXPECT_EQ(st::ServiceState(kSpoolerService), DWORD(SERVICE_RUNNING));
    EXPECT_TRUE(messages.Messages().empty());

    // Already stopped: nothing to stop, and it is started.
    SERVICE_STATUS status{};
    ControlService(spooler, SERVICE_CONTROL_STOP, &status);
    for (int i = 0; i < 50 && st::ServiceState(kSpoolerService) != SERVICE_STOPPED; ++i) Sleep(100);
    ASSERT_EQ(st::ServiceState(kSpoolerService), DWORD(SERVICE_STOPPED));
    EXPECT_EQ(StopServiceAndDependents(manager, spooler, true, 1000), 0u);
    EXPECT_EQ(RestartSpooler(), 0u);
    EXPECT_EQ(st::ServiceState(kSpoolerService), DWORD(SERVICE_RUNNING));
    CloseServiceHandle(spooler);
    CloseServiceHandle(manager);
}

TEST(SpoolerRestart, AServiceThatIgnoresTheStopEndsInATimeout) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager, nullptr);
    std::string program = "\"" + st::ProgramFolder() + "vesk_stubborn_service.exe\"";
    SC_HANDLE service = CreateServiceA(manager, kStubborn, kStubborn, SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                       SERVICE_ERROR_NORMAL, program.c_str(), nullptr, nullptr,
                                       "Spooler\0", nullptr, nullptr);
    ASSERT_NE(service, nullptr) << GetLastError();
    ASSERT_EQ(StartServiceAndWait(service), 0u);

    st::RecordingFrontEnd messages;
    const DWORD timeout = 1500;
    DWORD start = GetTickCount();
    EXPECT_EQ(StopServiceAndDependents(manager, service, false, timeout), DWORD(ERROR_TIMEOUT));
    DWORD took = GetTickCount() - start;
    EXPECT_GE(took, timeout);
    EXPECT_LT(took, timeout + 2000);
    EXPECT_EQ(st::ServiceState(kStubborn), DWORD(SERVICE_RUNNING));

    // It will not stop: its process is ended.
    SERVICE_STATUS_PROCESS process{};
    DWORD bytes = 0;
    ASSERT_TRUE(QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&process),
                                     sizeof(process), &bytes));
    HANDLE running = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process.dwProcessId);
    ASSERT_NE(running, nullptr);
    TerminateProcess(running, 0);
    EXPECT_EQ(WaitForSingleObject(running, 5000), WAIT_OBJECT_0);
    CloseHandle(running);
    DeleteService(service);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

// Service calls that follow a script instead of a service manager: a clock that moves only
// when the restart sleeps, and states that change at chosen moments.
class ScriptedServices : public ServiceCalls {
public:
    struct Service {
        std::string name;
        DWORD state = SERVICE_RUNNING;
        DWORD waitHint = 0;
        DWORD checkPoint = 0;
        bool stops = true;        // reaches "stopped" after a stop control
        DWORD stopsAfterMs = 0;   // stop pending this long after the stop control
        DWORD startError = 0;     // the start is refused with this error
        DWORD startsAfterMs = 0;  // start pending this long after the start
        DWORD progressEveryMs = 0;  // the check point grows this often while starting
        DWORD stopAt = 0;
    };
    std::vector<Service> services;
    std::vector<std::string> dependents;
    std::vector<std::string> calls;
    std::vector<DWORD> sleeps;
    DWORD now = 0;
    DWORD failOpenManager = 0;
    // The status query that fails (counted from 1; 0 for none), with this error.
    int failingQuery = 0;
    DWORD queryError = ERROR_INVALID_HANDLE;

    SC_HANDLE OpenManager(DWORD) override {
        calls.push_back("open manager");
        if (failOpenManager) {
            SetLastError(failOpenManager);
            return nullptr;
        }
        return Handle(0);
    }
    SC_HANDLE OpenByName(SC_HANDLE, const char* name, DWORD) override {
        calls.push_back(std::string("open ") + name);
        for (size_t i = 0; i < services.size(); ++i)
            if (services[i].name == name) return Handle(i + 1);
        SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return nullptr;
    }
    BOOL QueryStatus(SC_HANDLE handle, SERVICE_STATUS& status) override {
        Service& s = Of(handle);
        if (++queries_ == failingQuery) {
            SetLastError(queryError);
            return FALSE;
        }
        if (s.state == SERVICE_STOP_PENDING && s.stops && now >= s.stopAt) s.state = SERVICE_STOPPED;
        if (s.state == SERVICE_START_PENDING && now - started_ >= s.startsAfterMs)
            s.state = SERVICE_RUNNING;
        if (s.state == SERVICE_START_PENDING && s.progressEveryMs)
            s.checkPoint = (now - started_) / s.progressEveryMs;
        status = {};
        status.dwCurrentState = s.state;
        status.dwWaitHint = s.waitHint;
        status.dwCheckPoint = s.checkPoint;
        return TRUE;
    }
    BOOL Control(SC_HANDLE handle, DWORD, SERVICE_STATUS& status) override {
        Service& s = Of(handle);
        calls.push_back("stop " + s.name);
        s.state = s.stops && !s.stopsAfterMs ? SERVICE_STOPPED : SERVICE_STOP_PENDING;
        s.stopAt = now + s.stopsAfterMs;
        status = {};
        status.dwCurrentState = s.state;
        return TRUE;
    }
    BOOL EnumDependents(SC_HANDLE, DWORD, ENUM_SERVICE_STATUSA* buffer, DWORD size,
                        DWORD* needed, DWORD* returned) override {
        DWORD bytes = static_cast<DWORD>(dependents.size() * sizeof(ENUM_SERVICE_STATUSA));
        for (const std::string& d : dependents) bytes += static_cast<DWORD>(d.size() + 1);
        *needed = bytes;
        *returned = 0;
        if (dependents.empty()) return TRUE;
        if (size < bytes) {
            SetLastError(ERROR_MORE_DATA);
            return FALSE;
        }
        char* text = reinterpret_cast<char*>(buffer + dependents.size());
        for (size_t i = 0; i < dependents.size(); ++i) {
            lstrcpyA(text, dependents[i].c_str());
            buffer[i].lpServiceName = buffer[i].lpDisplayName = text;
            text += dependents[i].size() + 1;
        }
        *returned = static_cast<DWORD>(dependents.size());
        return TRUE;
    }
    BOOL Start(SC_HANDLE handle) override {
        Service& s = Of(handle);
        calls.push_back("start " + s.name);
        if (s.startError) {
            SetLastError(s.startError);
            return FALSE;
        }
        s.state = SERVICE_START_PENDING;
        s.checkPoint = 0;
        started_ = now;
        return TRUE;
    }
    void Close(SC_HANDLE) override { ++closed; }
    DWORD Tick() override { return now; }
    void Sleep(DWORD ms) override {
        sleeps.push_back(ms);
        now += ms;
    }
    void Trace(const char*) override {}

    int closed = 0;

    DWORD StateOf(const char* name) {
        for (const Service& s : services)
            if (s.name == name) return s.state;
        return 0;
    }

private:
    static SC_HANDLE Handle(size_t index) { return reinterpret_cast<SC_HANDLE>(index + 0x100); }
    Service& Of(SC_HANDLE handle) { return services[reinterpret_cast<size_t>(handle) - 0x101]; }
    DWORD started_ = 0;
    int queries_ = 0;
};

TEST(SpoolerRestartTiming, PollsAStartingServiceAtATenthOfItsWaitHintWithinBounds) {
    for (auto [hint, poll] : {std::pair<DWORD, DWORD>{50000, 5000}, {2000, 1000},
                              {200000, 10000}}) {
        ScriptedServices scripted;
        scripted.services.push_back({"Spooler", SERVICE_STOPPED, hint});
        scripted.services[0].startsAfterMs = 3 * poll;
        scripted.services[0].progressEveryMs = poll;
        SC_HANDLE spooler = scripted.OpenByName(nullptr, "Spooler", 0);
        EXPECT_EQ(StartServiceAndWait(spooler, scripted), 0u) << hint;
        EXPECT_EQ(scripted.sleeps, std::vector<DWORD>(3, poll)) << hint;
    }
}

TEST(SpoolerRestartTiming, AStartWithoutProgressEndsAfterItsWaitHint) {
    ScriptedServices scripted;
    scripted.services.push_back({"Spooler", SERVICE_STOPPED, 3000});
    scripted.services[0].startsAfterMs = 1000000;
    SC_HANDLE spooler = scripted.OpenByName(nullptr, "Spooler", 0);
    EXPECT_EQ(StartServiceAndWait(spooler, scripted), DWORD(ERROR_TIMEOUT));
    EXPECT_LE(scripted.now, 5000u);

    // Progress for ever is not waited for for ever either.
    ScriptedServices endless;
    endless.services.push_back({"Spooler", SERVICE_STOPPED, 3000});
    endless.services[0].startsAfterMs = 100000000;
    endless.services[0].progressEveryMs = 1000;
    spooler = endless.OpenByName(nullptr, "Spooler", 0);
    EXPECT_EQ(StartServiceAndWait(spooler, endless), DWORD(ERROR_TIMEOUT));
    EXPECT_LE(endless.now, kMaxStartWaitMs + kMaxStartPollMs);
}

TEST(SpoolerRestartTiming, StopsDependantsFirstAndGivesUpAtTheTimeout) {
    ScriptedServices scripted;
    scripted.services.push_back({"Spooler", SERVICE_RUNNING, 0});
    scripted.services.push_back({"Fax", SERVICE_RUNNING, 0});
    scripted.services.push_back({"Stubborn", SERVICE_RUNNING, 0});
    scripted.services[2].stops = false;
    scripted.dependents = {"Fax", "Stubborn"};
    st::RecordingFrontEnd messages;
    EXPECT_EQ(RestartSpooler(kWin2000Family, scripted), DWORD(ERROR_TIMEOUT));
    // The time-out in the platform's words, and the dependant that could not be started
    // again (it is still stopping); the one that stopped runs again.
    EXPECT_EQ(messages.Messages(),
              std::vector<std::string>{SystemErrorText(ERROR_TIMEOUT) + "\n\n" +
                                       kNotRestartedText + " Stubborn"});
    std::vector<std::string> expected = {"open manager", "open Spooler", "open Fax", "stop Fax",
                                         "open Stubborn", "stop Stubborn", "open Fax",
                                         "start Fax", "open Stubborn"};
    EXPECT_EQ(scripted.calls, expected);
    EXPECT_EQ(scripted.StateOf("Fax"), DWORD(SERVICE_RUNNING));
    EXPECT_EQ(scripted.StateOf("Spooler"), DWORD(SERVICE_RUNNING));
    // A wait hint of 0 does not make a busy loop, and both waits keep their bounds.
    for (DWORD sleep : scripted.sleeps) EXPECT_GE(sleep, kMinStopPollMs);
    EXPECT_GT(scripted.now, kSpoolerStopTimeoutMs + kLateStopWaitMs);
    EXPECT_LE(scripted.now, kSpoolerStopTimeoutMs + kLateStopWaitMs + 2 * kMinStopPollMs);
    EXPECT_EQ(scripted.closed, 6);  // each dependant twice, the spooler, the manager
}

TEST(SpoolerRestartTiming, WhatWasRunningRunsAgainOnEveryPathSpoolerFirst) {
    auto machine = [](ScriptedServices& scripted) {
        scripted.services.push_back({"Spooler", SERVICE_RUNNING, 0});
        scripted.services.push_back({"Fax", SERVICE_RUNNING, 0});
        scripted.services.push_back({"Net", SERVICE_RUNNING, 0});
        scripted.dependents = {"Fax", "Net"};
    };
    const std::vector<std::string> restarted = {"start Spooler", "open Fax", "start Fax",
                                                "open Net", "start Net"};
    auto tail = [](const ScriptedServices& scripted, size_t n) {
        return std::vector<std::string>(scripted.calls.end() - std::min(n, scripted.calls.size()),
                                        scripted.calls.end());
    };
    {
        // A restart that goes well leaves no dependant stopped.
        ScriptedServices scripted;
        machine(scripted);
        st::RecordingFrontEnd messages;
        EXPECT_EQ(RestartSpooler(kNT4Family, scripted), 0u);
        EXPECT_TRUE(messages.Messages().empty());
        EXPECT_EQ(tail(scripted, restarted.size()), restarted);
        for (const char* name : {"Spooler", "Fax", "Net"})
            EXPECT_EQ(scripted.StateOf(name), DWORD(SERVICE_RUNNING)) << name;
    }
    {
        // The spooler's stop outlasts the time-out but ends soon after: it is started again.
        ScriptedServices scripted;
        machine(scripted);
        scripted.services[0].stopsAfterMs = kSpoolerStopTimeoutMs + 3000;
        st::RecordingFrontEnd messages;
        EXPECT_EQ(RestartSpooler(kWin2000Family, scripted), DWORD(ERROR_TIMEOUT));
        EXPECT_EQ(messages.Messages(), std::vector<std::string>{SystemErrorText(ERROR_TIMEOUT)});
        EXPECT_EQ(tail(scripted, restarted.size()), restarted);
        for (const char* name : {"Spooler", "Fax", "Net"})
            EXPECT_EQ(scripted.StateOf(name), DWORD(SERVICE_RUNNING)) << name;
    }
    {
        // A status query that fails once the stop was sent.
        ScriptedServices scripted;
        machine(scripted);
        scripted.services[0].stopsAfterMs = 500;
        scripted.failingQuery = 2;  // the spooler's state after its stop control
        scripted.queryError = ERROR_INVALID_HANDLE;
        st::RecordingFrontEnd messages;
        EXPECT_EQ(RestartSpooler(kWin2000Family, scripted), DWORD(ERROR_INVALID_HANDLE));
        EXPECT_EQ(messages.Messages(), std::vector<std::string>{SystemErrorText(ERROR_INVALID_HANDLE)});
        EXPECT_EQ(tail(scripted, restarted.size()), restarted);
        for (const char* name : {"Spooler", "Fax", "Net"})
            EXPECT_EQ(scripted.StateOf(name), DWORD(SERVICE_RUNNING)) << name;
    }
    {
        // A spooler that will not start: it and its dependants are named, once, and the run
        // is told that there is no spooler.
        ScriptedServices scripted;
        machine(scripted);
        scripted.services[0].startError = ERROR_SERVICE_DISABLED;
        st::RecordingFrontEnd messages;
        EXPECT_EQ(RestartSpooler(kWin2000Family, scripted), kSpoolerNotRunning);
        EXPECT_EQ(messages.Messages(),
                  std::vector<std::string>{SystemErrorText(ERROR_SERVICE_DISABLED) + "\n\n" +
                                           kNotRestartedText + " Spooler, Fax, Net"});
        EXPECT_EQ(scripted.calls.back(), "start Spooler");
    }
}

TEST(SpoolerRestartTiming, AccessDeniedEndsWithTheAdministratorHint) {
    ScriptedServices scripted;
    scripted.failOpenManager = ERROR_ACCESS_DENIED;
    st::RecordingFrontEnd messages;
    EXPECT_EQ(RestartSpooler(kWin2000Family, scripted), DWORD(ERROR_ACCESS_DENIED));
    ASSERT_EQ(messages.Messages().size(), 1u);
    const std::string& text = messages.Messages()[0];
    EXPECT_EQ(text, SystemErrorText(ERROR_ACCESS_DENIED));
    ASSERT_GT(text.size(), std::string(kAdministratorHint).size());
    EXPECT_EQ(text.substr(text.size() - std::string(kAdministratorHint).size()), kAdministratorHint);
    EXPECT_GT(text.size(), std::string(kAdministratorHint).size() + 5);
}

TEST(SpoolerRestartTiming, Windows98HasNoServiceToRestart) {
    ScriptedServices scripted;
    EXPECT_EQ(RestartSpooler(kWin98Family, scripted), 0u);
    EXPECT_EQ(RestartSpooler(kOtherFamily, scripted), 0u);
    EXPECT_TRUE(scripted.calls.empty());
}

}  // namespace
