// The spooler's side of the monitor for tests that link its code: the monitor initialised as
// the spooler does it, a started job, and a call on a thread of its own.
#pragma once

#include <windows.h>
#include <winsplp.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "dialog_driver.h"
#include "fake_line.h"
#include "profile.h"
#include "test_env.h"

extern "C" LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT init, PHANDLE monitor);

namespace vt {

// The monitor as the spooler has it, with the ports VESK and VESK2.
struct Monitor {
    Monitor() : ports(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}, {L"VESK2", L""}}) {
        table = InitializePrintMonitor2(nullptr, &handle);
    }
    ~Monitor() { Shutdown(); }
    void Shutdown() {
        if (table) table->pfnShutdown(handle);
        table = nullptr;
    }
    HANDLE Open(const wchar_t* name) {
        HANDLE port = nullptr;
        EXPECT_TRUE(table->pfnOpenPort(handle, const_cast<LPWSTR>(name), &port));
        return port;
    }
    vt::ScopedSection ports;
    HANDLE handle = nullptr;
    LPMONITOR2 table = nullptr;
};

// A thread running `body`; the destructor waits for it (bounded) before the test's objects go.
class Background {
public:
    template <typename F>
    explicit Background(F body) : body_(body) {
        thread_ = CreateThread(nullptr, 0, [](void* p) WINAPI -> DWORD {
            static_cast<Background*>(p)->body_();
            return 0;
        }, this, 0, nullptr);
    }
    ~Background() {
        if (!Join(vt::kWaitMs)) {
            std::fprintf(stderr, "a background call of the test did not end; stopping here\n");
            std::fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 3);
        }
        CloseHandle(thread_);
    }
    bool Join(DWORD ms) { return WaitForSingleObject(thread_, ms) == WAIT_OBJECT_0; }

private:
    std::function<void()> body_;
    HANDLE thread_;
};

// A started document on VESK with a printer that answers at 9600,N,8,1.
struct Job {
    explicit Job(Monitor& m, vt::FakeLine& line) {
        vt::AnswerAsPrinter(line, "9600,N,8,1\r");
        port = m.Open(L"VESK");
        started = m.table->pfnStartDocPort(port, const_cast<LPWSTR>(L"Vesk Receipt"), 7, 1, nullptr);
    }
    HANDLE port = nullptr;
    BOOL started = FALSE;
};

}  // namespace vt
