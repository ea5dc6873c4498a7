// The monitor under a spooler's load in one process: eight threads mix jobs on three ports
// at once (each port with a printer line of its own; one printer now and then stays busy in
// XOFF for a while), transceive connections (some closed by another thread while a command
// runs on them), port adds and deletes, deletes of the ports the jobs hold, and port lists.
// Half way the monitor is shut down while jobs and transceive commands run, and initialised
// again, as a spooler that stops does. Afterwards every device opened has been closed once,
// no thread of the monitor is left, and memory has not grown with the number of operations.
//
// The suite runs a few seconds of it; scripts/bench runs a minute (VESK_SOAK_SECONDS) and
// reports the figures this prints.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <random>
#include <memory>
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
constexpr int kPorts = 3;
const wchar_t* const kJobPorts[kPorts] = {L"VESK", L"VESK2", L"VESK3"};
// The printer of this port now and then stays busy (XOFF) for kHoldMs.
constexpr int kHeldPort = 2;
constexpr DWORD kHoldMs = 300;
// Longest a worker may take to finish once told to stop: one job's write waits at most the
// retry time-out set below per chunk, a wake-up its ten reads.
constexpr DWORD kWorkerEndMs = 120000;
// How long the shutdown half way waits for a moment when a job runs.
constexpr DWORD kBusyMomentMs = 5000;
// The settings printer's answer to the wake-up of the command that runs across the shutdown.
constexpr DWORD kSlowAnswerMs = 300;
// The heaps may hold more at the end than at the second quarter by what a run keeps whatever
// its length (Wine's caches, the work in progress when each count is taken), plus this much
// per thousand operations; a leak grows with the operations.
constexpr LONGLONG kKeptBytes = 48 * 1024;
constexpr LONGLONG kGrowthLimitPerThousandOps = 1024;

// Bytes in the blocks allocated on the process's heaps: the memory the program holds, without
// the thread stacks and the pages an allocator keeps, which come and go with the threads that
// happen to be alive when the count is taken.
long long HeapBytesInUse() {
    HANDLE heaps[64];
    DWORD n = GetProcessHeaps(64, heaps);
    long long total = 0;
    for (DWORD i = 0; i < n && i < 64; ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
        HeapUnlock(heaps[i]);
    }
    return total;
}

DWORD SoakSeconds() {
    wchar_t value[16];
    DWORD n = GetEnvironmentVariableW(L"VESK_SOAK_SECONDS", value, 16);
    DWORD seconds = n > 0 && n < 16 ? wcstoul(value, nullptr, 10) : 0;
    return seconds ? seconds : 6;
}

// Every question declined at once, from any thread.
const PromptHooks kDecline = {[](HWND, LPCWSTR, LPCWSTR, UINT) { return IDNO; },
                              [](LPCWSTR, HWND, LPCOMMCONFIG) -> BOOL { return FALSE; }, nullptr,
                              nullptr, 0};

BOOL WINAPI NoPorts(LPWSTR, DWORD, LPBYTE, DWORD, LPDWORD needed, LPDWORD returned) {
    *needed = 0;
    *returned = 0;
    return TRUE;
}

struct Counts {
    volatile LONG jobs = 0, started = 0, writes = 0, xcv = 0, closedUnder = 0, portChanges = 0,
                  lists = 0, requests = 0, requestsDuringJob = 0, busyDeletes = 0,
                  wrongDeletes = 0, mostJobsAtOnce = 0, jobsAtShutdown = 0, xcvAtShutdown = 0;
    LONG Operations() const { return jobs + xcv + closedUnder + portChanges + lists + requests; }
};

// A printer on each port and one for the settings commands. Every third chunk of print
// data fills a printer's buffer: XOFF, and 20 ms later a status byte and XON; the held
// port's printer instead stays busy for kHoldMs after every fifth chunk.
struct Printers {
    Printers() : settings(nullptr) {
        for (int p = 0; p < kPorts; ++p) lines[p] = std::make_unique<FakeLine>(kJobPorts[p]);
        for (int p = 0; p < kPorts; ++p) Answer(*lines[p], p);
        Answer(settings, -1);
    }
    void Answer(FakeLine& line, int port) {
        line.keepsRecords = false;
        line.SetReadTimeouts(50, 200);
        line.onWrite = [port, chunks = std::make_shared<std::atomic<int>>(0)](FakeLine& l,
                                                                           const std::string& b) {
            if (!b.empty() && b.find_first_not_of('\0') == std::string::npos)
                l.Deliver("\x11", port < 0 ? slowAnswerMs.load() : 2);
            if (b == "\x18\x1D\x49\x04") l.Deliver("9600,N,8,1\r", 2);
            if (b == "\x1D\x49\x0F") l.Deliver(std::string("\x06\x00\x00", 3), 2);
            if (b.empty() || b[0] != 'r') return;
            if (port != kHeldPort && GetTickCount64() < heldUntil) ++writesWhileHeld;
            int n = ++*chunks;
            if (port == kHeldPort && n % 5 == 0) {
                heldUntil = GetTickCount64() + kHoldMs;
                ++holds;
                l.Deliver("\x13");
                l.Deliver("\x11", kHoldMs);
            } else if (n % 3 == 0) {
                l.Deliver("\x13");
                l.Deliver("s\x11", 20);
            }
        };
    }
    // Every device opened was closed, once.
    void ExpectEveryOpenClosed() {
        for (FakeLine* l : All()) {
            EXPECT_EQ(l->Opens(), l->Closes());
            EXPECT_EQ(l->DoubleCloses(), 0);
            EXPECT_EQ(l->StillOpen(), 0);
        }
    }
    int Opens() {
        int n = 0;
        for (FakeLine* l : All()) n += l->Opens();
        return n;
    }
    int Closes() {
        int n = 0;
        for (FakeLine* l : All()) n += l->Closes();
        return n;
    }
    std::vector<FakeLine*> All() { return {lines[0].get(), lines[1].get(), lines[2].get(), &settings}; }

    // When the held printer's XOFF ends (GetTickCount64), for the other lines to see.
    static inline std::atomic<ULONGLONG> heldUntil{0};
    static inline std::atomic<int> holds{0}, writesWhileHeld{0};
    static inline std::atomic<DWORD> slowAnswerMs{2};
    std::unique_ptr<FakeLine> lines[kPorts];
    FakeLine settings;
};

class Soak {
public:
    explicit Soak(bool shutDownMidway = true) : shutDownMidway_(shutDownMidway) {
        InitializeSRWLock(&gate_);
        for (SRWLOCK& l : portUse_) InitializeSRWLock(&l);
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
        DWORD quarterMs = seconds * 250;
        Sleep(quarterMs);
        bytesSecondQuarter = HeapBytesInUse();
        operationsSecondQuarter = counts.Operations();
        Sleep(quarterMs);
        if (shutDownMidway_) ShutDownWhileBusy();
        Sleep(2 * quarterMs);
        // Measured while the workers still run, as at the second quarter: their stacks and
        // the work in progress count the same in both.
        bytesEnd = HeapBytesInUse();
        operationsEnd = counts.Operations();
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
    long long bytesSecondQuarter = 0, bytesEnd = 0;  // on the heaps
    LONG operationsSecondQuarter = 0, operationsEnd = 0;

private:
    void Start() {
        table_ = InitializePrintMonitor2(nullptr, &monitor_);
        ASSERT_NE(table_, nullptr);
        InterlockedIncrement(&generation_);
    }
    void Stop() {
        if (table_) table_->pfnShutdown(monitor_);
        table_ = nullptr;
    }

    // The spooler stops: Shutdown comes while jobs write and a transceive command waits for
    // the printer (only a job's start is let finish first). The ports the jobs hold stay
    // theirs until they close them; the monitor then starts again.
    void ShutDownWhileBusy() {
        HANDLE command = CreateThread(nullptr, 0, [](void* p) WINAPI -> DWORD {
            auto* soak = static_cast<Soak*>(p);
            while (InterlockedCompareExchange(&soak->settingsBusy_, 1, 0) != 0) Sleep(1);
            Printers::slowAnswerMs = kSlowAnswerMs;
            soak->SettingsExchange(soak->table_);
            Printers::slowAnswerMs = 2;
            InterlockedExchange(&soak->settingsBusy_, 0);
            return 0;
        }, this, 0, nullptr);
        ULONGLONG until = GetTickCount64() + kBusyMomentMs;
        for (;;) {
            while (GetTickCount64() < until && !(liveJobs_ > 0 && slowCommand_ > 0)) Sleep(1);
            AcquireSRWLockExclusive(&gate_);
            // The jobs seen may have ended while the port list's users let go of it (a busy
            // machine makes that wait long): the moment is looked for again.
            if ((liveJobs_ > 0 && slowCommand_ > 0) || GetTickCount64() >= until) break;
            ReleaseSRWLockExclusive(&gate_);
        }
        threadsMidway = vt::ProcessThreads();
        counts.jobsAtShutdown = liveJobs_;
        counts.xcvAtShutdown = slowCommand_;
        // The table stays in place for the workers that do not use the port list.
        table_->pfnShutdown(monitor_);
        Start();
        ReleaseSRWLockExclusive(&gate_);
        WaitForSingleObject(command, kWorkerEndMs);
        CloseHandle(command);
    }

    // A wake-up and a query through a connection of its own; the caller holds the settings
    // printer.
    void SettingsExchange(LPMONITOR2 table) {
        HANDLE xcv = nullptr;
        if (!table->pfnXcvOpenPort(monitor_, L"VESK", SERVER_ACCESS_ADMINISTER, &xcv)) return;
        XcvPortSettings record{};
        DWORD needed = 0, token = 0;
        table->pfnXcvDataPort(xcv, XCV_GET_SETTINGS, nullptr, 0, reinterpret_cast<PBYTE>(&record),
                              sizeof record, &needed);
        InterlockedIncrement(&slowCommand_);
        table->pfnXcvDataPort(xcv, XCV_SET_PRINT_SETTINGS, reinterpret_cast<PBYTE>(&record),
                              sizeof record, reinterpret_cast<PBYTE>(&token), sizeof token, &needed);
        InterlockedDecrement(&slowCommand_);
        table->pfnXcvClosePort(xcv);
    }

    void Work(int index) {
        std::minstd_rand rng(1000 + index);
        char skip[16] = "";
        GetEnvironmentVariableA("VESK_SOAK_SKIP", skip, 16);
        while (!stop_) {
            int kind = static_cast<int>(rng() % 9);
            if (Skipped(skip, kind)) {
                Sleep(1);
                continue;
            }
            switch (kind) {
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
        }
    }

    // VESK_SOAK_SKIP leaves out kinds of work, to see which of them memory grows with: j
    // jobs, x transceive connections, p port adds and deletes, l port lists.
    static bool Skipped(const char* skip, int kind) {
        return (strchr(skip, 'j') && kind < 4) || (strchr(skip, 'x') && (kind == 4 || kind == 5)) ||
               (strchr(skip, 'p') && kind == 7) || (strchr(skip, 'l') && kind == 8);
    }

    // One job at a time on a port, as the spooler sends them; the three ports print at once.
    bool TakePort(int p) { return InterlockedCompareExchange(&portBusy_[p], 1, 0) == 0; }
    void FreePort(int p) { InterlockedExchange(&portBusy_[p], 0); }

    void Job(std::minstd_rand& rng) {
        int p = static_cast<int>(rng() % kPorts);
        if (!TakePort(p)) return;
        InterlockedIncrement(&counts.jobs);
        HANDLE port = nullptr;
        BOOL started = FALSE;
        LONG generation = 0;
        AcquireSRWLockShared(&gate_);
        LPMONITOR2 table = table_;
        if (table->pfnOpenPort(monitor_, const_cast<LPWSTR>(kJobPorts[p]), &port)) {
            generation = generation_;
            started = table->pfnStartDocPort(port, const_cast<LPWSTR>(L"Vesk Receipt"), 7, 1, nullptr);
            if (started) {
                LONG together = InterlockedIncrement(&liveJobs_);
                for (LONG most = counts.mostJobsAtOnce; together > most; most = counts.mostJobsAtOnce)
                    InterlockedCompareExchange(&counts.mostJobsAtOnce, together, most);
            }
        } else {
            port = nullptr;
        }
        ReleaseSRWLockShared(&gate_);
        if (port && started) {
            InterlockedIncrement(&counts.started);
            DeleteHeldPort(p, generation);
            // Reads that return at once; the port is open to the other workers' requests
            // until it is closed.
            COMMTIMEOUTS atOnce{MAXDWORD, 0, 0, 0, 0};
            table->pfnSetPortTimeOuts(port, &atOnce, 0);
            InterlockedExchangePointer(&jobPort_[p], port);

            std::string data(1 + rng() % 300, 'r');
            for (int i = 0, n = 1 + static_cast<int>(rng() % 4); i < n; ++i) {
                DWORD written = 0;
                table->pfnWritePort(port, reinterpret_cast<LPBYTE>(data.data()),
                                    static_cast<DWORD>(data.size()), &written);
                InterlockedIncrement(&counts.writes);
            }
            BYTE in[8];
            DWORD read = 0, returned = 0;
            if (rng() % 4 == 0) table->pfnReadPort(port, in, sizeof in, &read);
            table->pfnGetPrinterDataFromPort(port, 0x1B0040, nullptr, nullptr, 0, nullptr, 0,
                                             &returned);
            // Now and then the spooler closes a port whose document it never ended.
            if (rng() % 6) table->pfnEndDocPort(port);
            InterlockedDecrement(&liveJobs_);
        }
        if (port) {
            // The others' requests on the port end before the spooler lets go of it.
            AcquireSRWLockExclusive(&portUse_[p]);
            InterlockedExchangePointer(&jobPort_[p], nullptr);
            ReleaseSRWLockExclusive(&portUse_[p]);
            table->pfnClosePort(port);
        }
        FreePort(p);
    }

    // The user deletes the port a job holds: refused while the spooler has it open (unless
    // a shutdown since has given the port list a new entry of that name, which nobody holds).
    void DeleteHeldPort(int p, LONG generation) {
        AcquireSRWLockShared(&gate_);
        if (generation == generation_) {
            vt::Xcv x(table_, monitor_, L",XcvMonitor Vesk Port Monitor", SERVER_ACCESS_ADMINISTER);
            if (x.Name(XCV_DELETE_PORT, kJobPorts[p]).status == ERROR_BUSY)
                InterlockedIncrement(&counts.busyDeletes);
            else
                InterlockedIncrement(&counts.wrongDeletes);
        }
        ReleaseSRWLockShared(&gate_);
    }

    void Transceive(std::minstd_rand& rng, int index) {
        LPMONITOR2 table = table_;
        HANDLE xcv = nullptr;
        if (!table->pfnXcvOpenPort(monitor_, L"VESK", SERVER_ACCESS_ADMINISTER, &xcv)) return;
        InterlockedIncrement(&counts.xcv);
        // Offered to the other workers, which may close it while the command below runs.
        InterlockedExchangePointer(&closeable_[index], xcv);
        XcvPortSettings record{};
        DWORD needed = 0, token = 0;
        table->pfnXcvDataPort(xcv, XCV_GET_SETTINGS, nullptr, 0, reinterpret_cast<PBYTE>(&record),
                              sizeof record, &needed);
        // Now and then the printer is reached through the connection: a wake-up and a query
        // on the line of the settings commands.
        if (rng() % 4 == 0 && InterlockedCompareExchange(&settingsBusy_, 1, 0) == 0) {
            table->pfnXcvDataPort(xcv, XCV_SET_PRINT_SETTINGS, reinterpret_cast<PBYTE>(&record),
                                  sizeof record, reinterpret_cast<PBYTE>(&token), sizeof token,
                                  &needed);
            InterlockedExchange(&settingsBusy_, 0);
        }
        if (InterlockedExchangePointer(&closeable_[index], nullptr) == xcv)
            table->pfnXcvClosePort(xcv);
    }

    // A request on the device of another worker's job, which may end it meanwhile; the port
    // itself stays the job's until the request is done.
    void AskTheRunningJob(std::minstd_rand& rng) {
        int p = static_cast<int>(rng() % kPorts);
        AcquireSRWLockShared(&portUse_[p]);
        if (HANDLE port = jobPort_[p]) {
            LPMONITOR2 table = table_;
            BYTE in[8];
            DWORD read = 0, returned = 0;
            BOOL ok = rng() % 2 ? table->pfnReadPort(port, in, sizeof in, &read)
                                : table->pfnGetPrinterDataFromPort(port, 0x1B0040, nullptr, nullptr,
                                                                   0, nullptr, 0, &returned);
            InterlockedIncrement(&counts.requests);
            if (ok) InterlockedIncrement(&counts.requestsDuringJob);
        }
        ReleaseSRWLockShared(&portUse_[p]);
    }

    void CloseSomeonesConnection(std::minstd_rand& rng) {
        if (HANDLE xcv = InterlockedExchangePointer(&closeable_[rng() % kWorkers], nullptr)) {
            table_->pfnXcvClosePort(xcv);
            InterlockedIncrement(&counts.closedUnder);
        }
    }

    void AddOrDeletePort(std::minstd_rand& rng) {
        AcquireSRWLockShared(&gate_);
        {
            vt::Xcv x(table_, monitor_, L",XcvMonitor Vesk Port Monitor", SERVER_ACCESS_ADMINISTER);
            std::wstring name = L"VESK1" + std::to_wstring(rng() % 4);
            x.Name(rng() % 2 ? XCV_ADD_PORT : XCV_DELETE_PORT, name);
        }
        ReleaseSRWLockShared(&gate_);
        InterlockedIncrement(&counts.portChanges);
    }

    void ListPorts(std::minstd_rand& rng) {
        DWORD level = 1 + rng() % 2, needed = 0, count = 0;
        LPMONITOR2 table = table_;
        table->pfnEnumPorts(monitor_, nullptr, level, nullptr, 0, &needed, &count);
        std::vector<BYTE> buffer(needed);
        table->pfnEnumPorts(monitor_, nullptr, level, buffer.data(), needed, &needed, &count);
        InterlockedIncrement(&counts.lists);
    }

    bool shutDownMidway_;
    SRWLOCK gate_;  // shared by the port list's users, exclusive for the shutdown
    LPMONITOR2 table_ = nullptr;
    HANDLE monitor_ = nullptr;
    volatile LONG generation_ = 0;  // one more with each start of the monitor
    volatile LONG stop_ = 0;
    volatile LONG portBusy_[kPorts] = {};
    volatile LONG settingsBusy_ = 0;
    volatile LONG liveJobs_ = 0, slowCommand_ = 0;
    SRWLOCK portUse_[kPorts];
    void* volatile jobPort_[kPorts] = {};  // each port's running job, while it is open
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
    spooler.Configure(L"log", L"0");
    // Wine's own port list costs the process about 4 KB of memory with every call: the
    // check that a new port's name is free sees an empty list instead.
    static SpoolerServices services = Spooler();
    services.EnumPortsW = NoPorts;
    ReplaceSpoolerServices(&services);
    ReplacePrompt(&kDecline);
    Printers printers;

    // What the first use of each path loads and keeps is not counted against the soak.
    { Soak warmUp(false); warmUp.Run(1); }
    int handlesBefore = vt::OpenHandles(), threadsBefore = vt::ProcessThreads();
    SIZE_T bytesBefore = vt::CommittedBytes();
    int holdsBefore = Printers::holds, heldWritesBefore = Printers::writesWhileHeld;

    DWORD seconds = SoakSeconds();
    Counts counts;
    int threadsMidway = 0;
    long long bytesQuarter = 0, bytesEnd = 0;
    LONG operationsQuarter = 0, operationsEnd = 0;
    {
        Soak soak;
        soak.Run(seconds);
        counts = soak.counts;
        threadsMidway = soak.threadsMidway;
        bytesQuarter = soak.bytesSecondQuarter;
        bytesEnd = soak.bytesEnd;
        operationsQuarter = soak.operationsSecondQuarter;
        operationsEnd = soak.operationsEnd;
    }
    int handlesAfter = vt::OpenHandles(), threadsAfter = vt::ProcessThreads();
    SIZE_T bytesAfter = vt::CommittedBytes();
    ReplacePrompt(nullptr);
    ReplaceSpoolerServices(nullptr);
    vt::SetValue(L"windows", L"TransmissionRetryTimeout", nullptr);

    LONGLONG operations = operationsEnd - operationsQuarter;
    LONGLONG growth = bytesEnd - bytesQuarter;
    LONGLONG perThousand = operations > 0 ? growth * 1000 / operations : growth;
    int holds = Printers::holds - holdsBefore, heldWrites = Printers::writesWhileHeld - heldWritesBefore;
    std::printf("soak: %lu s, %d threads, one shutdown and reload with %ld jobs and %ld transceive "
                "commands running; jobs %ld (started %ld, at most %ld at once, writes %ld, "
                "requests from other threads %ld, %ld of them during the job), held printer "
                "%d times busy for %lu ms with %d writes on the other ports meanwhile; open "
                "ports deleted %ld (refused busy %ld); transceive connections %ld (%ld closed by "
                "another thread), port adds and deletes %ld, port lists %ld; devices opened %d "
                "closed %d; handles before %d after %d; threads before %d midway %d after %d; "
                "committed KB before %llu after %llu; memory growth %lld bytes per 1000 "
                "operations (heap in use %lld KB at the second quarter, %lld KB at the end, over "
                "%lld operations)\n",
                seconds, kWorkers, counts.jobsAtShutdown, counts.xcvAtShutdown, counts.jobs,
                counts.started, counts.mostJobsAtOnce, counts.writes, counts.requests,
                counts.requestsDuringJob, holds, kHoldMs, heldWrites,
                counts.busyDeletes + counts.wrongDeletes, counts.busyDeletes, counts.xcv,
                counts.closedUnder, counts.portChanges, counts.lists, printers.Opens(),
                printers.Closes(), handlesBefore, handlesAfter, threadsBefore, threadsMidway,
                threadsAfter, static_cast<unsigned long long>(bytesBefore / 1024),
                static_cast<unsigned long long>(bytesAfter / 1024), perThousand, bytesQuarter / 1024,
                bytesEnd / 1024, operations);
    std::fflush(stdout);
    EXPECT_GT(counts.started, 0);
    EXPECT_GT(counts.closedUnder, 0);
    EXPECT_GT(counts.jobsAtShutdown, 0) << "Shutdown came with no job running";
    EXPECT_GT(counts.xcvAtShutdown, 0) << "Shutdown came with no transceive command running";
    EXPECT_GE(counts.mostJobsAtOnce, kPorts) << "the three ports never printed at once";
    EXPECT_GT(holds, 0);
    EXPECT_GT(heldWrites, 0) << "the held printer paused the other ports";
    EXPECT_GT(counts.busyDeletes, 0);
    EXPECT_EQ(counts.wrongDeletes, 0) << "a port was deleted under its job";
    printers.ExpectEveryOpenClosed();
    EXPECT_GT(threadsMidway, threadsBefore + kWorkers - 1);
    EXPECT_LE(threadsAfter, threadsBefore) << "a thread of the monitor outlived its Shutdown";
    EXPECT_LE(handlesAfter, handlesBefore + 8);
    EXPECT_GT(counts.requestsDuringJob, 0);
    EXPECT_LE(growth, kKeptBytes + kGrowthLimitPerThousandOps * operations / 1000)
        << "memory grows with the operations";
}
