// Two hundred jobs, good and failing, in one process: the monitor keeps no handle (device,
// event, thread, printer) of a job after it, and its memory does not grow with the jobs.
#include <windows.h>
#include <psapi.h>
#include <winspool.h>
#include <winsplp.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "fake_spooler.h"
#include "handles.h"
#include "monitor_library.h"
#include "profile.h"
#include "simulator.h"

TEST(JobLeaks, NothingGrowsOverTwoHundredJobs) {
    vt::ScopedSection section(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}});
    vt::FakeSpooler spooler;
    vt::MonitorLibrary lib;
    LPMONITOREX t = lib.Initialize();
    ASSERT_NE(t, nullptr);
    vt::Simulator sim;
    HANDLE port = nullptr;
    ASSERT_TRUE(t->Monitor.pfnOpenPort(const_cast<LPWSTR>(L"VESK"), &port));
    const std::string data = "1 x Coffee 2.50\r\nTOTAL 2.50\r\n";

    int handlesAfterWarmUp = 0;
    SIZE_T bytesAfterWarmUp = 0;
    int good = 0, failed = 0;
    for (int i = 0; i < 200; ++i) {
        if (i == 8) {
            handlesAfterWarmUp = vt::OpenHandles();
            bytesAfterWarmUp = vt::CommittedBytes();
        }
        int kind = i % 4;
        const wchar_t* printer = kind == 2 ? L"NoSuchPrinter" : L"Vesk Receipt";
        if (kind == 3) {
            // The printer answers the query with other settings; the user declines.
            sim.Control("reply-query 34 38 30 30 2C 4E 2C 38 2C 31 0D");
            sim.Sync();
            spooler.Answer(IDNO);
        }
        BOOL started = t->Monitor.pfnStartDocPort(port, const_cast<LPWSTR>(printer), 100 + i, 1, nullptr);
        if (kind >= 2) {
            EXPECT_FALSE(started) << i;
            ++failed;
        } else if (started) {
            DWORD written = 0;
            EXPECT_TRUE(t->Monitor.pfnWritePort(port, reinterpret_cast<LPBYTE>(const_cast<char*>(data.data())),
                                                static_cast<DWORD>(data.size()), &written));
            EXPECT_TRUE(t->Monitor.pfnEndDocPort(port));
            ++good;
        } else {
            ADD_FAILURE() << "job " << i << " did not start: " << GetLastError();
        }
        if (kind == 3) {
            sim.Control("reply-query off");
            sim.Sync();
        }
    }
    int handlesAtEnd = vt::OpenHandles();
    SIZE_T bytesAtEnd = vt::CommittedBytes();
    std::printf("jobs: %d printed, %d failed; open handles after 8 jobs %d, after 200 %d; "
                "committed %lu KB -> %lu KB\n",
                good, failed, handlesAfterWarmUp, handlesAtEnd,
                static_cast<unsigned long>(bytesAfterWarmUp / 1024),
                static_cast<unsigned long>(bytesAtEnd / 1024));
    ASSERT_GT(handlesAfterWarmUp, 0);
    EXPECT_LE(handlesAtEnd, handlesAfterWarmUp + 2) << "handles grow with the jobs";
    EXPECT_LT(bytesAtEnd, bytesAfterWarmUp + 1024 * 1024) << "memory grows with the jobs";
    EXPECT_EQ(good, 100);
    EXPECT_EQ(spooler.Count(L"SetJobW"), 100 + 50 * 2) << "sent for each good job, offline and delete for each mismatch";
    t->Monitor.pfnClosePort(port);
    EXPECT_TRUE(sim.WaitFor("printed", static_cast<long>(100 * data.size()), 10000));
}
