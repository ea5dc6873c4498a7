// The monitor under a spooler's load in one process: eight threads mix jobs, transceive
// connections (some closed by another thread while a command runs on them), port adds and
// deletes and port lists, while the printer answers the print data with XOFF and XON; half way the monitor
// is shut down and initialised again, as a spooler that unloads it does. Afterwards the
// process holds what it held before and no thread of the monitor is left.
//
// The suite runs a few seconds of it; scripts/bench runs a minute (VESK_SOAK_SECONDS) and
// reports the figures this prints.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "fake_line.h"
#include "fake_spooler_table.h"
#include "handles.h"
#include "profile.h"
#include "prompt.h"
#include "spooler_services.h"
#include "xcv_connection.h"

extern "C" LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT init, PHANDLE monitor);

using vt::FakeLine;

namespace {

constexpr int kWorkers = 8;
const wchar_t* const kJobPorts[] = {L"VESK", L"VESK2", L"VESK3"};
// Longest a worker may take to finish once told to stop: one job's write waits at most the
// retry time-out set below per chunk, a wake-up its ten reads.
constexpr DWORD kWorkerEndMs = 120000;

DWORD SoakSeconds() {
    wchar_t value[16];
    DWORD n = GetEnvironmentVariableW(L"VESK_SOAK_SECONDS", value, 16);
    DWORD seconds = n > 0 && n < 16 ? wcstoul(value, nullptr, 10) : 0;
    return seconds ? seconds : 6;
}

// Every question declined at once, from any thread.
const PromptHooks kDecline = {[](HWND, LPCWSTR, LPCWSTR, UINT) { return IDNO; },
                              [](LPCWSTR, HWND, LPCOMMCONFIG) -> BOOL { return FALSE; }, nullptr,
                              nullptr};

BOOL WINAPI NoPorts(LPWSTR, DWORD, LPBYTE, DWORD, LPDWORD needed, LPDWORD returned) {
    *needed = 0;
    *returned = 0;
    return TRUE;
}

struct Counts {
    volatile LONG jobs = 0, started = 0, writes = 0, xcv = 0, closedUnder = 0, portChanges = 0,
                  lists = 0, requests = 0, requestsDuringJob = 0;
};

class Soak {
public:
    explicit Soak(FakeLine& line) : line_(line) {
        InitializeSRWLock(&gate_);
        Start();
    }
    ~Soak() { Stop(); }

    void Run(DWORD seconds) {
        std::vector<HANDLE> workers;
        for (int i = 0; i < kWorkers; ++i)
            workers.push_back(CreateThread(nullptr, 0, [](void* p) WINAPI -> DWORD {
                auto* w = static_cast<std::pair<Soak*, int>*>(p);
                w->first->Work(w->second);
                delete w;
                return 0;
            }, new std::pair<Soak*, int>(this, i), 0, nullptr));
        Sleep(seconds * 500);
        // The spooler unloads the monitor only once nothing of it is in use.
        AcquireSRWLockExclusive(&gate_);
        threadsMidway = vt::ProcessThreads();
        Stop();
        Start();
        ReleaseSRWLockExclusive(&gate_);
        Sleep(seconds * 500);
        InterlockedExchange(&stop_, 1);
        for (HANDLE h : workers) {
            if (WaitForSingleObject(h, kWorkerEndMs) != WAIT_OBJECT_0) {
                std::fprintf(stderr, "soak: a worker did not end within %lu ms\n", kWorkerEndMs);
                std::fflush(stderr);
                TerminateProcess(GetCurrentProcess(), 3);
            }
            CloseHandle(h);
        }
        Stop();
    }
    Counts counts;
    int threadsMidway = 0;  // the workers among them: the count sees the threads it should

private:
    void Start() {
        table_ = InitializePrintMonitor2(nullptr, &monitor_);
        ASSERT_NE(table_, nullptr);
    }
    void Stop() {
        if (table_) table_->pfnShutdown(monitor_);
        table_ = nullptr;
    }

    void Work(int index) {
        std::minstd_rand rng(1000 + index);
        while (!stop_) {
            AcquireSRWLockShared(&gate_);
            switch (rng() % 9) {
            case 0: case 1: case 2: case 3: Job(rng); break;
            case 4: case 5: Transceive(rng, index); break;
            case 6:
                if (rng() % 2)
                    CloseSomeonesConnection(rng);
                else
                    AskTheRunningJob(rng);
                break;
            case 7: AddOrDeletePort(rng); break;
            default: ListPorts(rng); break;
            }
            ReleaseSRWLockShared(&gate_);
        }
    }

    // All VESK ports lead to the one COM port, which a job or a settings exchange holds
    // alone (the platform's exclusive open; the fake line does not refuse a second one).
    bool TakeLine() { return InterlockedCompareExchange(&lineBusy_, 1, 0) == 0; }
    void FreeLine() { InterlockedExchange(&lineBusy_, 0); }

    void Job(std::minstd_rand& rng) {
        if (!TakeLine()) return;
        int p = static_cast<int>(rng() % 3);
        InterlockedIncrement(&counts.jobs);
        HANDLE port = nullptr;
        if (table_->pfnOpenPort(monitor_, const_cast<LPWSTR>(kJobPorts[p]), &port)) {
            if (table_->pfnStartDocPort(port, const_cast<LPWSTR>(L"Vesk Receipt"), 7, 1, nullptr)) {
                InterlockedIncrement(&counts.started);
                // Reads that return at once; the port is open to the other workers' requests
                // until it is closed.
                COMMTIMEOUTS atOnce{MAXDWORD, 0, 0, 0, 0};
                table_->pfnSetPortTimeOuts(port, &atOnce, 0);
                InterlockedExchangePointer(&jobPort_, port);

                std::string data(1 + rng() % 300, 'r');
                for (int i = 0, n = 1 + static_cast<int>(rng() % 4); i < n; ++i) {
                    DWORD written = 0;
                    table_->pfnWritePort(port, reinterpret_cast<LPBYTE>(data.data()),
                                         static_cast<DWORD>(data.size()), &written);
                    InterlockedIncrement(&counts.writes);
                }
                BYTE in[8];
                DWORD read = 0, returned = 0;
                if (rng() % 4 == 0) table_->pfnReadPort(port, in, sizeof in, &read);
                table_->pfnGetPrinterDataFromPort(port, 0x1B0040, nullptr, nullptr, 0, nullptr, 0,
                                                  &returned);
                // Now and then the spooler closes a port whose document it never ended.
                if (rng() % 6) table_->pfnEndDocPort(port);
            }
            table_->pfnClosePort(port);
            InterlockedExchangePointer(&jobPort_, nullptr);
        }
        FreeLine();
    }

    void Transceive(std::minstd_rand& rng, int index) {
        HANDLE xcv = nullptr;
        if (!table_->pfnXcvOpenPort(monitor_, L"VESK", SERVER_ACCESS_ADMINISTER, &xcv)) return;
        InterlockedIncrement(&counts.xcv);
        // Offered to the other workers, which may close it while the command below runs.
        InterlockedExchangePointer(&closeable_[index], xcv);
        XcvPortSettings record{};
        DWORD needed = 0, token = 0;
        table_->pfnXcvDataPort(xcv, XCV_GET_SETTINGS, nullptr, 0, reinterpret_cast<PBYTE>(&record),
                               sizeof record, &needed);
        // Now and then the printer is reached through the connection: a wake-up and a query
        // on the line the jobs use.
        if (rng() % 4 == 0 && TakeLine()) {
            table_->pfnXcvDataPort(xcv, XCV_SET_PRINT_SETTINGS, reinterpret_cast<PBYTE>(&record),
                                   sizeof record, reinterpret_cast<PBYTE>(&token), sizeof token,
                                   &needed);
            FreeLine();
        }
        if (InterlockedExchangePointer(&closeable_[index], nullptr) == xcv)
            table_->pfnXcvClosePort(xcv);
    }

    // A request on the device of another worker's job, which may end it meanwhile (the port's
    // entry itself stays: ports are deleted only when nobody holds them).
    void AskTheRunningJob(std::minstd_rand& rng) {
        HANDLE port = jobPort_;
        if (!port) return;
        BYTE in[8];
        DWORD read = 0, returned = 0;
        BOOL ok = rng() % 2 ? table_->pfnReadPort(port, in, sizeof in, &read)
                            : table_->pfnGetPrinterDataFromPort(port, 0x1B0040, nullptr, nullptr, 0,
                                                                nullptr, 0, &returned);
        InterlockedIncrement(&counts.requests);
        if (ok) InterlockedIncrement(&counts.requestsDuringJob);
    }

    void CloseSomeonesConnection(std::minstd_rand& rng) {
        if (HANDLE xcv = InterlockedExchangePointer(&closeable_[rng() % kWorkers], nullptr)) {
            table_->pfnXcvClosePort(xcv);
            InterlockedIncrement(&counts.closedUnder);
        }
    }

    void AddOrDeletePort(std::minstd_rand& rng) {
        vt::Xcv x(table_, monitor_, L",XcvMonitor Vesk Port Monitor", SERVER_ACCESS_ADMINISTER);
        std::wstring name = L"VESK1" + std::to_wstring(rng() % 4);
        x.Name(rng() % 2 ? XCV_ADD_PORT : XCV_DELETE_PORT, name);
        InterlockedIncrement(&counts.portChanges);
    }

    void ListPorts(std::minstd_rand& rng) {
        DWORD level = 1 + rng() % 2, needed = 0, count = 0;
        table_->pfnEnumPorts(monitor_, nullptr, level, nullptr, 0, &needed, &count);
        std::vector<BYTE> buffer(needed);
        table_->pfnEnumPorts(monitor_, nullptr, level, buffer.data(), needed, &needed, &count);
        InterlockedIncrement(&counts.lists);
    }

    FakeLine& line_;
    SRWLOCK gate_;
    LPMONITOR2 table_ = nullptr;
    HANDLE monitor_ = nullptr;
    volatile LONG stop_ = 0;
    volatile LONG lineBusy_ = 0;
    void* volatile jobPort_ = nullptr;  // the port of the running job, while it is open
    // Each worker's connection while a command runs on it, for another worker to close.
    void* volatile closeable_[kWorkers] = {};
};

}  // namespace

TEST(Soak, EightThreadsLeaveNothingBehind) {
    vt::ScopedSection ports(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}, {L"VESK2", L""},
                                            {L"VESK3", L""}});
    // A printer that stays busy fails a write after two seconds rather than ninety.
    vt::SetValue(L"windows", L"TransmissionRetryTimeout", L"2");
    vt::FakeSpoolerInProcess spooler;
    // Wine's own port list costs the process about 4 KB of memory with every call: the
    // check that a new port's name is free sees an empty list instead.
    static SpoolerServices services = Spooler();
    services.EnumPortsW = NoPorts;
    ReplaceSpoolerServices(&services);
    ReplacePrompt(&kDecline);
    FakeLine line;
    line.SetReadTimeouts(50, 200);
    vt::AnswerAsPrinter(line, "9600,N,8,1\r");
    // Every third chunk of print data fills the printer's buffer: XOFF, and 20 ms later a
    // status byte and XON.
    static std::atomic<int> chunks{0};
    line.onWrite = [answer = line.onWrite](FakeLine& l, const std::string& b) {
        answer(l, b);
        if (!b.empty() && b[0] == 'r' && ++chunks % 3 == 0) {
            l.Deliver("\x13");
            l.Deliver("s\x11", 20);
        }
    };

    // What the first use of each path loads and keeps is not counted against the soak.
    { Soak warmUp(line); warmUp.Run(1); }
    int handlesBefore = vt::OpenHandles(), threadsBefore = vt::ProcessThreads();
    SIZE_T bytesBefore = vt::CommittedBytes();

    DWORD seconds = SoakSeconds();
    Counts counts;
    int threadsMidway = 0;
    {
        Soak soak(line);
        soak.Run(seconds);
        counts = soak.counts;
        threadsMidway = soak.threadsMidway;
    }
    int handlesAfter = vt::OpenHandles(), threadsAfter = vt::ProcessThreads();
    SIZE_T bytesAfter = vt::CommittedBytes();
    ReplacePrompt(nullptr);
    ReplaceSpoolerServices(nullptr);
    vt::SetValue(L"windows", L"TransmissionRetryTimeout", nullptr);

    std::printf("soak: %lu s, %d threads, one shutdown and reload; jobs %ld (started %ld, writes "
                "%ld, requests from other threads %ld, %ld of them during the job), transceive connections %ld (%ld closed by another thread), port adds and "
                "deletes %ld, port lists %ld; handles before %d after %d; committed KB before "
                "%llu after %llu; threads before %d midway %d after %d\n",
                seconds, kWorkers, counts.jobs, counts.started, counts.writes, counts.requests,
                counts.requestsDuringJob, counts.xcv,
                counts.closedUnder, counts.portChanges, counts.lists, handlesBefore, handlesAfter,
                static_cast<unsigned long long>(bytesBefore / 1024),
                static_cast<unsigned long long>(bytesAfter / 1024), threadsBefore, threadsMidway, threadsAfter);
    std::fflush(stdout);
    EXPECT_GT(counts.started, 0);
    EXPECT_GT(counts.closedUnder, 0);
    EXPECT_GT(threadsMidway, threadsBefore + kWorkers - 1);
    EXPECT_LE(threadsAfter, threadsBefore) << "a thread of the monitor outlived its Shutdown";
    EXPECT_LE(handlesAfter, handlesBefore + 8);
    EXPECT_GT(counts.requestsDuringJob, 0);
    EXPECT_LE(bytesAfter, bytesBefore + 1024 * 1024);
}
