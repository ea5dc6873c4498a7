// What the spooler holds stays valid, and what the monitor starts ends with its owner: a
// port the spooler has open, a transceive connection closed under a running command, a job
// that Shutdown ends, devices that close only after the last request on them, and the one
// reader of a job's line. The monitor is initialised as the spooler does it; its line is the
// scripted fake.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "fake_line.h"
#include "fake_spooler_table.h"
#include "job_flow.h"
#include "monitor_thread.h"
#include "port_list.h"
#include "printer_link.h"
#include "profile.h"
#include "test_env.h"
#include "spooler_side.h"
#include "xcv_connection.h"

using vt::FakeLine;
using vt::Background;
using vt::Job;
using vt::Monitor;

namespace {

const std::string kXonByte(1, '\x11');
const std::string kXoffByte(1, '\x13');

}  // namespace

TEST(PortLifetime, AnOpenPortIsNotDeletedUntilTheSpoolerClosesIt) {
    Monitor m;
    ASSERT_NE(m.table, nullptr);
    HANDLE port = m.Open(L"VESK2");
    vt::Xcv x(m.table, m.handle, L",XcvMonitor Vesk Port Monitor", SERVER_ACCESS_ADMINISTER);
    EXPECT_EQ(x.Name(XCV_DELETE_PORT, L"VESK2").status, static_cast<DWORD>(ERROR_BUSY));
    SetLastError(0);
    EXPECT_FALSE(m.table->pfnDeletePort(m.handle, nullptr, nullptr, const_cast<LPWSTR>(L"VESK2")));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
    EXPECT_EQ(vt::KeyNames(L"Vesk Ports"), (std::vector<std::wstring>{L"VESK", L"VESK2"}));
    EXPECT_TRUE(m.table->pfnClosePort(port)) << "the spooler's handle is still the port";
    EXPECT_EQ(x.Name(XCV_DELETE_PORT, L"VESK2").status, 0u) << "once closed, it goes";
    EXPECT_EQ(vt::KeyNames(L"Vesk Ports"), std::vector<std::wstring>{L"VESK"});
}

TEST(PortLifetime, ShutdownLeavesThePortsTheSpoolerHoldsUntilItClosesThem) {
    vt::FakeSpoolerInProcess spooler;
    FakeLine line;
    Monitor m;
    Job job(m, line);
    ASSERT_TRUE(job.started);
    HANDLE idle = m.Open(L"VESK2");
    auto* running = static_cast<PortEntry*>(job.port);
    auto* held = static_cast<PortEntry*>(idle);
    LPMONITOR2 table = m.table;
    m.Shutdown();  // the spooler still holds both ports
    // Memory the monitor has let go of is soon someone else's.
    std::vector<HGLOBAL> others;
    for (int i = 0; i < 64; ++i) {
        SIZE_T size = i % 2 ? running->Size : held->Size;
        others.push_back(GlobalAlloc(GMEM_FIXED, size));
        FillMemory(others.back(), size, 0xAB);
    }
    EXPECT_EQ(running->Signature, kPortEntrySignature);
    EXPECT_EQ(held->Signature, kPortEntrySignature);
    EXPECT_STREQ(held->pName, L"VESK2");
    char data[4] = {};
    DWORD written = 0;
    SetLastError(0);
    EXPECT_FALSE(table->pfnWritePort(job.port, reinterpret_cast<LPBYTE>(data), 4, &written));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE)) << "its job ended with the monitor";
    EXPECT_TRUE(table->pfnEndDocPort(job.port));
    SetLastError(0);
    EXPECT_FALSE(table->pfnStartDocPort(idle, const_cast<LPWSTR>(L"Vesk Receipt"), 8, 1, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE)) << "no new job after Shutdown";
    EXPECT_TRUE(table->pfnClosePort(job.port));
    EXPECT_TRUE(table->pfnClosePort(idle));
    for (HGLOBAL h : others) GlobalFree(h);
    EXPECT_EQ(line.Closes(), line.Opens());
    EXPECT_EQ(spooler.Count(L"ClosePrinter"), 1) << vt::Narrow(spooler.Log());
}

TEST(JobLifetime, ShutdownEndsTheJobsTheSpoolerLeftOpen) {
    vt::FakeSpoolerInProcess spooler;
    FakeLine line;
    Monitor m;
    Job job(m, line);
    ASSERT_TRUE(job.started);
    HANDLE busy = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(),
                                static_cast<PortEntry*>(job.port)->pFlow->thread.hThread,
                                GetCurrentProcess(), &busy, 0, FALSE, DUPLICATE_SAME_ACCESS));
    // The printer is busy: a write waits for its XON when the monitor is shut down.
    line.Deliver(kXoffByte);
    ASSERT_TRUE(line.WaitUntilReadAll(vt::kWaitMs));
    BOOL wrote = TRUE;
    DWORD error = 0;
    {
        Background write([&] {
            char data[200] = {};
            DWORD written = 0;
            wrote = m.table->pfnWritePort(job.port, reinterpret_cast<LPBYTE>(data), 200, &written);
            error = GetLastError();
        });
        // The write holds the job's flow (port, busy thread and write: three holders) and
        // waits for XON when the monitor is shut down.
        JobFlow* flow = static_cast<PortEntry*>(job.port)->pFlow;
        ASSERT_TRUE(vt::WaitUntil([&] { return flow->thread.refs >= 3; }, vt::kWaitMs));
        m.Shutdown();  // no EndDocPort, no ClosePort
        EXPECT_TRUE(write.Join(vt::kWaitMs));
    }
    EXPECT_FALSE(wrote);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_OPERATION_ABORTED)) << "ended under the write";
    EXPECT_EQ(WaitForSingleObject(busy, 0), WAIT_OBJECT_0) << "the busy thread has ended";
    CloseHandle(busy);
    EXPECT_EQ(line.Closes(), line.Opens()) << "the device is closed";
    EXPECT_EQ(spooler.Count(L"ClosePrinter"), 1) << vt::Narrow(spooler.Log());
}

TEST(JobLifetime, TheDeviceClosesOnlyAfterTheLastRequestOnIt) {
    vt::FakeSpoolerInProcess spooler;
    FakeLine line;
    Monitor m;
    Job job(m, line);
    ASSERT_TRUE(job.started);
    HANDLE inside = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    line.onControl = [&](DWORD) {
        SetEvent(inside);
        WaitForSingleObject(release, vt::kWaitMs);
        return TRUE;
    };
    BOOL requested = FALSE;
    {
        Background request([&] {
            DWORD returned = 0;
            requested = m.table->pfnGetPrinterDataFromPort(job.port, 0x1B0040, nullptr, nullptr, 0,
                                                           nullptr, 0, &returned);
        });
        ASSERT_EQ(WaitForSingleObject(inside, vt::kWaitMs), WAIT_OBJECT_0);
        EXPECT_TRUE(m.table->pfnEndDocPort(job.port)) << "the end of the document does not wait";
        EXPECT_EQ(line.Closes(), 0) << "the device stays open under the request";
        SetEvent(release);
        EXPECT_TRUE(request.Join(vt::kWaitMs));
    }
    EXPECT_TRUE(requested);
    EXPECT_EQ(line.Closes(), 1) << "closed once, after the request";
    DWORD returned = 0;
    EXPECT_FALSE(m.table->pfnGetPrinterDataFromPort(job.port, 0x1B0040, nullptr, nullptr, 0,
                                                    nullptr, 0, &returned)) << "no job, no device";
    COMMTIMEOUTS timeouts{};
    EXPECT_FALSE(m.table->pfnSetPortTimeOuts(job.port, &timeouts, 0));
    EXPECT_TRUE(m.table->pfnClosePort(job.port));
    CloseHandle(inside);
    CloseHandle(release);
}

TEST(JobLifetime, ReadPortGetsThePrintersBytesAndTheBusyThreadKeepsXonAndXoff) {
    vt::FakeSpoolerInProcess spooler;
    FakeLine line;
    Monitor m;
    Job job(m, line);
    ASSERT_TRUE(job.started);
    JobFlow* flow = static_cast<PortEntry*>(job.port)->pFlow;
    line.Deliver("A" + kXoffByte + "B" + kXonByte + "C");
    ASSERT_TRUE(line.WaitUntilReadAll(vt::kWaitMs));
    BYTE buffer[16] = {};
    DWORD read = 0;
    EXPECT_TRUE(m.table->pfnReadPort(job.port, buffer, sizeof buffer, &read));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), read), "ABC");
    EXPECT_EQ(WaitForSingleObject(flow->XoffSection, 0), WAIT_OBJECT_0) << "the XON let the job go";

    // A ReadPort waiting while the printer turns busy takes its data but not its XOFF.
    std::string got;
    {
        Background reader([&] {
            BYTE b[16];
            DWORD n = 0;
            if (m.table->pfnReadPort(job.port, b, sizeof b, &n)) got.assign(reinterpret_cast<char*>(b), n);
        });
        Sleep(50);
        line.Deliver(kXoffByte + "D");
        EXPECT_TRUE(reader.Join(vt::kWaitMs));
    }
    EXPECT_EQ(got, "D");
    EXPECT_EQ(WaitForSingleObject(flow->XoffSection, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    line.Deliver(kXonByte);
    EXPECT_TRUE(vt::WaitUntil([&] { return WaitForSingleObject(flow->XoffSection, 0) == WAIT_OBJECT_0; },
                              vt::kWaitMs));
    // The spooler's "return at once" time-outs apply to its reads, not to the busy thread's.
    COMMTIMEOUTS atOnce{MAXDWORD, 0, 0, 0, 0};
    EXPECT_TRUE(m.table->pfnSetPortTimeOuts(job.port, &atOnce, 0));
    double before = line.NowMs();
    EXPECT_TRUE(m.table->pfnReadPort(job.port, buffer, sizeof buffer, &read));
    EXPECT_EQ(read, 0u);
    EXPECT_LT(line.NowMs() - before, 100.0);
    line.Deliver(kXoffByte + "E");
    EXPECT_TRUE(vt::WaitUntil([&] { return WaitForSingleObject(flow->XoffSection, 0) != WAIT_OBJECT_0; },
                              vt::kWaitMs)) << "the busy thread still reads and obeys";
    line.Deliver(kXonByte);
    EXPECT_TRUE(m.table->pfnEndDocPort(job.port));
    SetLastError(0);
    EXPECT_FALSE(m.table->pfnReadPort(job.port, buffer, sizeof buffer, &read));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE)) << "no document, no line";
    EXPECT_TRUE(m.table->pfnClosePort(job.port));
}

TEST(JobLifetime, AWakeupReaderThatDoesNotStopKeepsTheDeviceUntilItEnds) {
    // A driver that does not complete the cancel: the reader stays in its read until the
    // line's time-out. The wake-up gives up within its bound and leaves the device to the
    // reader, which closes it when it ends rather than have it closed under its read.
    FakeLine line;
    line.readsIgnoreStop = true;
    line.SetReadTimeouts(200, 8000);
    int bursts = 0;
    line.accept = [&](const std::string& b) { return ++bursts == 1 ? static_cast<DWORD>(b.size()) : 0u; };
    double start = line.NowMs();
    bool taken = false;
    SetLastError(0);
    EXPECT_FALSE(Wakeup(line.handle(), 48, &taken));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WRITE_FAULT));
    EXPECT_LT(line.NowMs() - start, 2.0 * kThreadStopLimitMs + 2000.0);
    EXPECT_TRUE(taken);
    EXPECT_EQ(line.Closes(), 0) << "not while the reader is in its read";
    EXPECT_TRUE(vt::WaitUntil([&] { return line.Closes() == 1; }, vt::kWaitMs)) << "closed by the reader";
}

TEST(XcvLifetime, AConnectionClosedUnderARunningCommandClosesItsDeviceOnce) {
    FakeLine line;
    line.SetReadTimeouts(200, 300);
    // The printer stays silent until the connection has been closed, so the command is still
    // waking it then.
    volatile bool answer = false;
    line.onWrite = [&](FakeLine& l, const std::string& b) {
        if (answer && !b.empty() && b.find_first_not_of('\0') == std::string::npos) l.Deliver(kXonByte, 2);
        if (b == "\x18\x1D\x49\x04") l.Deliver("9600,N,8,1\r", 2);
    };
    Monitor m;
    ASSERT_NE(m.table, nullptr);
    HANDLE xcv = nullptr;
    ASSERT_TRUE(m.table->pfnXcvOpenPort(m.handle, L"VESK", SERVER_ACCESS_ADMINISTER, &xcv));
    XcvPortSettings record{};
    DWORD needed = 0;
    ASSERT_EQ(m.table->pfnXcvDataPort(xcv, XCV_GET_SETTINGS, nullptr, 0,
                                      reinterpret_cast<PBYTE>(&record), sizeof record, &needed), 0u);
    DWORD status = 0xdeadbeef, token = 0;
    {
        Background command([&] {
            status = m.table->pfnXcvDataPort(xcv, XCV_SET_PRINT_SETTINGS,
                                             reinterpret_cast<PBYTE>(&record), sizeof record,
                                             reinterpret_cast<PBYTE>(&token), sizeof token, &needed);
        });
        ASSERT_TRUE(vt::WaitUntil([&] { return !line.Writes().empty(); }, vt::kWaitMs));
        EXPECT_TRUE(m.table->pfnXcvClosePort(xcv));
        answer = true;
        EXPECT_TRUE(command.Join(vt::kWaitMs));
    }
    EXPECT_EQ(status, static_cast<DWORD>(ERROR_INVALID_HANDLE)) << "its client has gone";
    EXPECT_EQ(token, kXcvNoDevice);
    EXPECT_EQ(line.Opens(), 1);
    EXPECT_EQ(line.Closes(), 1) << "the device the command opened is closed, once";
}
