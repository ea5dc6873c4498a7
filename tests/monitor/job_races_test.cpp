// A job's calls against the spooler's other threads: the job's printer handle is used and
// closed by one end of the job only, the port takes no new document while the failed one
// still uses its printer, a start that Shutdown overtakes goes no further (a device it is
// waking the printer on stays its own to close), and the busy thread reads the device only
// once its flow is the port's (a close on another thread then goes through the flow, never
// under the read).
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include "fake_spooler_table.h"
#include "job_flow.h"
#include "monitor_state.h"
#include "port_list.h"
#include "spooler_side.h"

using vt::Background;
using vt::FakeLine;
using vt::Job;
using vt::Monitor;

namespace {

// The fake spooler's services with one SetJobW (the first with the chosen command and level)
// or the first OpenPrinterW held inside the call until the test lets it go, and any
// ClosePrinter meanwhile counted.
struct HeldCall {
    static constexpr DWORD kOpenPrinter = 0xFFFFFFFF;  // as the command: hold OpenPrinterW
    explicit HeldCall(DWORD command, DWORD level = 0) {
        Current() = this;
        heldCommand = command;
        heldLevel = level;
        original = &Spooler();
        base = *original;
        table = base;
        table.SetJobW = SetJob;
        table.OpenPrinterW = Open;
        table.ClosePrinter = Close;
        ReplaceSpoolerServices(&table);
    }
    ~HeldCall() {
        SetEvent(release);
        ReplaceSpoolerServices(original);
        CloseHandle(inside);
        CloseHandle(release);
        Current() = nullptr;
    }
    static HeldCall*& Current() {
        static HeldCall* h = nullptr;
        return h;
    }
    static BOOL WINAPI SetJob(HANDLE printer, DWORD id, DWORD level, LPBYTE info, DWORD command) {
        HeldCall* h = Current();
        bool hold = command == h->heldCommand && level == h->heldLevel && h->Hold();
        BOOL ok = h->base.SetJobW(printer, id, level, info, command);
        if (hold) InterlockedDecrement(&h->inUse);
        return ok;
    }
    static BOOL WINAPI Open(LPWSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSW defaults) {
        HeldCall* h = Current();
        bool hold = h->heldCommand == kOpenPrinter && h->Hold();
        BOOL ok = h->base.OpenPrinterW(name, printer, defaults);
        if (hold) InterlockedDecrement(&h->inUse);
        return ok;
    }
    bool Hold() {
        if (InterlockedExchange(&holds, 0) != 1) return false;
        InterlockedIncrement(&inUse);
        SetEvent(inside);
        WaitForSingleObject(release, vt::kWaitMs);
        return true;
    }
    static BOOL WINAPI Close(HANDLE printer) {
        HeldCall* h = Current();
        if (h->inUse) InterlockedIncrement(&h->closedInUse);
        return h->base.ClosePrinter(printer);
    }
    bool WaitInside() { return WaitForSingleObject(inside, vt::kWaitMs) == WAIT_OBJECT_0; }
    void Release() { SetEvent(release); }

    HANDLE inside = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD heldCommand = 0, heldLevel = 0;
    volatile LONG holds = 1, inUse = 0, closedInUse = 0;
    const SpoolerServices* original = nullptr;
    SpoolerServices base{}, table{};
};

// The spooler in this process, a printer answering at 9600 on the fake line, and the
// monitor with its port VESK open.
struct AnsweringPort {
    vt::FakeSpoolerInProcess spooler;
    FakeLine line;
    Monitor m;
    HANDLE port = (vt::AnswerAsPrinter(line, "9600,N,8,1\r"), m.Open(L"VESK"));
};

}  // namespace

TEST(JobRaces, EndDocPortUsesThePrinterThatAClosePortOnAnotherThreadCannotClose) {
    vt::FakeSpoolerInProcess spooler;
    FakeLine line;
    Monitor m;
    Job job(m, line);
    ASSERT_TRUE(job.started);
    HeldCall held(JOB_CONTROL_SENT_TO_PRINTER, 0);
    {
        Background end([&] { m.table->pfnEndDocPort(job.port); });
        ASSERT_TRUE(held.WaitInside());
        EXPECT_TRUE(m.table->pfnClosePort(job.port));
        held.Release();
        EXPECT_TRUE(end.Join(vt::kWaitMs));
    }
    EXPECT_EQ(held.closedInUse, 0) << "the printer was closed under its SetJobW";
    EXPECT_EQ(spooler.Count(L"ClosePrinter"), 1) << vt::Narrow(spooler.Log());
    EXPECT_EQ(line.Closes(), line.Opens());
}

TEST(JobRaces, AFailedStartKeepsItsDocumentUntilItIsDoneWithThePrinter) {
    // The device will not open: the start marks the job offline and removes it, and until
    // then the port is still in that document.
    vt::FakeSpoolerInProcess spooler;
    static LineOperations refusing = FakeLine::kOperations;
    refusing.openForJob = [](PortEntry*, DWORD*) -> BOOL {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    };
    ReplaceLine(&refusing);
    Monitor m;
    HANDLE port = m.Open(L"VESK");
    HeldCall held(0, 1);  // the job's status: offline
    BOOL second = TRUE;
    DWORD secondError = 0;
    {
        Background start([&] {
            m.table->pfnStartDocPort(port, const_cast<LPWSTR>(L"Vesk Receipt"), 7, 1, nullptr);
        });
        ASSERT_TRUE(held.WaitInside());
        SetLastError(0);
        second = m.table->pfnStartDocPort(port, const_cast<LPWSTR>(L"Vesk Receipt"), 8, 1, nullptr);
        secondError = GetLastError();
        held.Release();
        EXPECT_TRUE(start.Join(vt::kWaitMs));
    }
    EXPECT_FALSE(second);
    EXPECT_EQ(secondError, static_cast<DWORD>(ERROR_BUSY)) << "a new document began under the failing one";
    EXPECT_EQ(spooler.Count(L"SetJobW 7 command 5"), 1) << vt::Narrow(spooler.Log());
    EXPECT_EQ(spooler.Count(L"SetJobW 8"), 0);
    EXPECT_EQ(spooler.Count(L"ClosePrinter"), 1);
    m.table->pfnClosePort(port);
    ReplaceLine(nullptr);
}

TEST(JobRaces, AStartThatShutdownOvertakesInOpenPrinterGoesNoFurther) {
    // The monitor is shut down while the spooler opens the job's printer: the start finds
    // its document ended, closes the printer it got and opens no device.
    AnsweringPort job;
    auto& [spooler, line, m, port] = job;
    LPMONITOR2 table = m.table;
    HeldCall held(HeldCall::kOpenPrinter);
    BOOL started = TRUE;
    DWORD error = 0;
    {
        Background start([&] {
            started = table->pfnStartDocPort(port, const_cast<LPWSTR>(L"Vesk Receipt"), 7, 1, nullptr);
            error = GetLastError();
        });
        ASSERT_TRUE(held.WaitInside());
        m.Shutdown();  // the spooler still holds the port
        held.Release();
        EXPECT_TRUE(start.Join(vt::kWaitMs));
    }
    EXPECT_FALSE(started);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_HANDLE)) << "as any start after Shutdown";
    EXPECT_EQ(spooler.Count(L"OpenPrinterW Vesk Receipt ok"), 1) << vt::Narrow(spooler.Log());
    EXPECT_EQ(spooler.Count(L"ClosePrinter"), 1) << "the printer handle was left open";
    EXPECT_EQ(line.Opens(), 0) << "the job went on on a shut-down port";
    EXPECT_EQ(line.Closes(), line.Opens());
    EXPECT_TRUE(table->pfnClosePort(port));
}

TEST(JobRaces, AShutdownOrClosePortDuringTheWakeupLeavesTheDeviceToTheStart) {
    // The wake-up writes and reads the job's device without the lock. Closed under it by
    // Shutdown or ClosePort on another thread, the device would go while in use, and its
    // handle value could be another open's by then. The start closes it itself, once, and
    // goes no further.
    for (bool shutdown : {true, false}) {
        SCOPED_TRACE(shutdown ? "Shutdown" : "ClosePort");
        vt::FakeSpoolerInProcess spooler;
        HANDLE inside = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        FakeLine line;
        // The printer answers the wake-up's first burst only once the test lets it.
        line.onWrite = [&](FakeLine& l, const std::string& b) {
            if (b.empty() || b.find_first_not_of('\0') != std::string::npos) return;
            SetEvent(inside);
            WaitForSingleObject(release, vt::kWaitMs);
            l.Deliver("\x11", 2);
        };
        Monitor m;
        LPMONITOR2 table = m.table;
        HANDLE port = m.Open(L"VESK");
        BOOL started = TRUE;
        DWORD error = 0;
        int closedUnderWakeup = -1;
        {
            Background start([&] {
                started = table->pfnStartDocPort(port, const_cast<LPWSTR>(L"Vesk Receipt"), 7, 1, nullptr);
                error = GetLastError();
            });
            EXPECT_EQ(WaitForSingleObject(inside, vt::kWaitMs), WAIT_OBJECT_0);
            if (shutdown)
                m.Shutdown();  // the spooler still holds the port
            else
                EXPECT_TRUE(table->pfnClosePort(port));
            closedUnderWakeup = line.Closes();
            SetEvent(release);
            EXPECT_TRUE(start.Join(vt::kWaitMs));
        }
        EXPECT_EQ(closedUnderWakeup, 0) << "the device was closed under the wake-up";
        EXPECT_FALSE(started);
        EXPECT_EQ(error, static_cast<DWORD>(shutdown ? ERROR_INVALID_HANDLE : ERROR_OPERATION_ABORTED));
        EXPECT_EQ(line.Opens(), 1);
        EXPECT_EQ(line.Closes(), 1);
        EXPECT_EQ(line.DoubleCloses(), 0);
        EXPECT_EQ(spooler.Count(L"ClosePrinter"), 1) << vt::Narrow(spooler.Log());
        if (shutdown) {
            EXPECT_TRUE(table->pfnClosePort(port));
        }
        CloseHandle(inside);
        CloseHandle(release);
    }
}

namespace {

// The line of the tests below: notes, at each read by a job's busy thread, whether the flow
// was already the port's. The settings query (the last read before the busy thread's) lets
// a helper in, as a close on another thread would come, until the busy thread reads or a
// while has passed.
struct Watch {
    static inline PortEntry* entry = nullptr;
    static inline volatile LONG queried = 0, unpublishedReads = 0, busyReads = 0;
    static inline HANDLE lockWanted = nullptr, busyRead = nullptr;
    static const LineOperations kLine;

    static void Begin(HANDLE port) {
        queried = 0;
        unpublishedReads = 0;
        busyReads = 0;
        lockWanted = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        busyRead = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        entry = static_cast<PortEntry*>(port);
        ReplaceLine(&kLine);
    }
    static void End() {
        entry = nullptr;
        ReplaceLine(&FakeLine::kOperations);
        CloseHandle(lockWanted);
        CloseHandle(busyRead);
    }
};

BOOL WINAPI WatchedRead(HANDLE h, void* b, DWORD n, DWORD* r) {
    if (Watch::entry && InterlockedExchange(&Watch::queried, 1) == 0) {
        SetEvent(Watch::lockWanted);
        Sleep(50);  // the helper comes in meanwhile; the query goes on without it
    }
    return FakeLine::kOperations.read(h, b, n, r);
}

BOOL WatchedReadOrStop(HANDLE h, void* b, DWORD n, DWORD* r, HANDLE stop) {
    if (Watch::entry && Watch::queried) {
        InterlockedIncrement(&Watch::busyReads);
        if (!Watch::entry->pFlow) InterlockedIncrement(&Watch::unpublishedReads);
        SetEvent(Watch::busyRead);
    }
    return FakeLine::kOperations.readOrStop(h, b, n, r, stop);
}

const LineOperations Watch::kLine = [] {
    LineOperations watched = FakeLine::kOperations;
    watched.read = [](HANDLE h, void* b, DWORD n, DWORD* r) -> BOOL { return WatchedRead(h, b, n, r); };
    watched.readOrStop = [](HANDLE h, void* b, DWORD n, DWORD* r, HANDLE stop) -> BOOL {
        return WatchedReadOrStop(h, b, n, r, stop);
    };
    return watched;
}();

}  // namespace

TEST(JobRaces, TheBusyThreadReadsOnlyOnceItsFlowIsThePorts) {
    AnsweringPort job;
    auto& [spooler, line, m, port] = job;
    Watch::Begin(port);
    BOOL started = FALSE;
    {
        // The helper holds the port list's lock, as a close on another thread would.
        Background locker([&] {
            if (WaitForSingleObject(Watch::lockWanted, vt::kWaitMs) != WAIT_OBJECT_0) return;
            VeskEnterSplSem();
            WaitForSingleObject(Watch::busyRead, 1000);
            VeskLeaveSplSem();
        });
        started = m.table->pfnStartDocPort(port, const_cast<LPWSTR>(L"Vesk Receipt"), 7, 1, nullptr);
        EXPECT_TRUE(locker.Join(vt::kWaitMs));
    }
    EXPECT_TRUE(started);
    EXPECT_TRUE(vt::WaitUntil([] { return Watch::busyReads > 0; }, vt::kWaitMs));
    EXPECT_EQ(Watch::unpublishedReads, 0) << "the busy thread read a device whose flow nobody could stop";
    EXPECT_TRUE(m.table->pfnEndDocPort(port));
    EXPECT_TRUE(m.table->pfnClosePort(port));
    Watch::End();
    EXPECT_EQ(line.Closes(), line.Opens());
}

TEST(JobRaces, AFlowThatAnotherThreadCanTakeHasItsBusyThreadAlready) {
    // A close or Shutdown that takes the port's flow waits for its busy thread; a flow found
    // before that thread exists would let them return while the thread is yet to run. The
    // start of a thread takes the loader lock (the thread's reference on the library): a
    // helper holds it from the settings query on, keeping the busy thread from starting, and
    // looks for the flow meanwhile as a close would.
    using LockLoader = LONG(NTAPI*)(ULONG flags, ULONG* state, ULONG_PTR* cookie);
    using UnlockLoader = LONG(NTAPI*)(ULONG flags, ULONG_PTR cookie);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto lockLoader = reinterpret_cast<LockLoader>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrLockLoaderLock")));
    auto unlockLoader = reinterpret_cast<UnlockLoader>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrUnlockLoaderLock")));
    ASSERT_TRUE(lockLoader && unlockLoader);
    constexpr ULONGLONG kLookMs = 500;
    AnsweringPort job;
    auto& [spooler, line, m, port] = job;
    Watch::Begin(port);
    volatile LONG found = 0, threadless = 0;
    BOOL started = FALSE;
    {
        Background looker([&] {
            if (WaitForSingleObject(Watch::lockWanted, vt::kWaitMs) != WAIT_OBJECT_0) return;
            ULONG_PTR cookie = 0;
            lockLoader(0, nullptr, &cookie);
            for (ULONGLONG end = GetTickCount64() + kLookMs; !found && GetTickCount64() < end; Sleep(1)) {
                if (!TryEnterCriticalSection(&SpoolerSection)) continue;
                if (JobFlow* flow = Watch::entry->pFlow) {
                    found = 1;
                    threadless = flow->thread.hThread == nullptr;
                }
                LeaveCriticalSection(&SpoolerSection);
            }
            unlockLoader(0, cookie);
        });
        started = m.table->pfnStartDocPort(port, const_cast<LPWSTR>(L"Vesk Receipt"), 7, 1, nullptr);
        EXPECT_TRUE(looker.Join(vt::kWaitMs));
    }
    EXPECT_TRUE(started);
    EXPECT_EQ(threadless, 0) << "a close could take the flow before its busy thread existed";
    EXPECT_TRUE(vt::WaitUntil([] { return Watch::busyReads > 0; }, vt::kWaitMs));
    EXPECT_TRUE(m.table->pfnEndDocPort(port));
    EXPECT_TRUE(m.table->pfnClosePort(port));
    Watch::End();
    EXPECT_EQ(line.Closes(), line.Opens());
}
