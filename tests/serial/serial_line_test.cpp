// The serial layer on a real COM port of Wine, with the printer simulator at the other end
// of the line (both character forms).
#include <windows.h>
#include <tchar.h>

#include <gtest/gtest.h>

#include <string>

#include "dialog_driver.h"
#include "long_dos_names.h"
#include "profile.h"
#include "serial.h"
#include "settings.h"
#include "simulator.h"

namespace {

DCB LineDcb(DWORD baud, BYTE stop) {
    DCB d{};
    d.DCBlength = sizeof d;
    d.BaudRate = baud;
    d.ByteSize = 8;
    d.Parity = NOPARITY;
    d.StopBits = stop;
    return d;
}

class SerialLine : public ::testing::Test {
protected:
    void SetUp() override { VESK_SKIP_WITHOUT_LONG_DOS_NAMES(); }
    void TearDown() override {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        if (!IsSkipped()) RemoveNonspooledDefinition(_T("COM1"));
        vt::DeleteSection(L"ports");
    }
    void Open(LPCTSTR com, bool overlapped, const DCB& dcb, DWORD* block = nullptr) {
        NonspooledOpenOptions how;
        how.overlapped = overlapped;
        h = OpenNonspooledDevice(com, how);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
        ASSERT_TRUE(ConfigureLine(h, dcb, _T("COM1"), block));
    }

    vt::Simulator sim;
    HANDLE h = INVALID_HANDLE_VALUE;
};

}  // namespace

TEST_F(SerialLine, OpensThroughTheNonspooledNameWithOrWithoutColon) {
    DWORD block = 0;
    Open(_T("COM1:"), true, LineDcb(19200, TWOSTOPBITS), &block);
    EXPECT_EQ(block, 96u);
    EXPECT_EQ(sim.PcLine(), "19200/2");
    CloseHandle(h);
    h = INVALID_HANDLE_VALUE;
    Open(_T("COM1"), true, LineDcb(57600, ONESTOPBIT));
    EXPECT_EQ(sim.PcLine(), "57600/1");
    auto state = sim.Sync();
    EXPECT_EQ(state["pc_ixon"], "0");
    EXPECT_EQ(state["pc_ixoff"], "0");
}

TEST_F(SerialLine, PortsEntryOverridesTheLine) {
    vt::WriteSection(L"ports", {{L"COM1", L"2400,n,8,2"}});
    Open(_T("COM1"), true, LineDcb(9600, ONESTOPBIT));
    EXPECT_EQ(sim.PcLine(), "2400/2");
}

TEST_F(SerialLine, AnOpenSetsEveryTimeOutWhateverTheLastOpenerLeft) {
    // A serial driver keeps the time-outs of the program that had the port before. Wine
    // starts each open at zero, so that program's values are put on this handle itself: a
    // read multiplier of 1000 ms would let a 30-byte read wait 30 s more than the link's 5 s.
    h = OpenNonspooledDevice(_T("COM1"), NonspooledOpenOptions{});
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    COMMTIMEOUTS left{MAXDWORD, 1000, 1, 250, 1};
    ASSERT_TRUE(SetCommTimeouts(h, &left));
    ASSERT_TRUE(ConfigureLine(h, LineDcb(9600, ONESTOPBIT), _T("COM1"), nullptr));
    COMMTIMEOUTS t{};
    ASSERT_TRUE(GetCommTimeouts(h, &t));
    EXPECT_EQ(t.ReadIntervalTimeout, 200u);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 5000u);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 3000u);
}

TEST_F(SerialLine, WritesReachThePrinterOverlappedAndBlocking) {
    for (bool overlapped : {true, false}) {
        Open(_T("COM1"), overlapped, LineDcb(9600, ONESTOPBIT));
        long before = sim.Count("received");
        char data[100];
        for (int i = 0; i < 100; ++i) data[i] = static_cast<char>('a' + i % 26);
        DWORD written = 0;
        EXPECT_TRUE(WriteBuffer(h, data, sizeof data, &written));
        EXPECT_EQ(written, 100u);
        EXPECT_TRUE(sim.WaitFor("received", before + 100, 2000)) << overlapped;
        CloseHandle(h);
        h = INVALID_HANDLE_VALUE;
    }
}

TEST_F(SerialLine, AnOpenStartsWithoutWhatThePrinterSentBefore) {
    // A printer that restarts after a settings switch sends XOFF while the PC has the line
    // closed; on a line whose other end keeps the bytes, the next open must not take them for
    // an answer to what it sends next.
    Open(_T("COM1"), true, LineDcb(9600, ONESTOPBIT));
    CloseHandle(h);
    h = INVALID_HANDLE_VALUE;
    sim.Control("send 13 41 42");
    sim.Sync();
    HANDLE probe = OpenNonspooledDevice(_T("COM1"), NonspooledOpenOptions{});
    ASSERT_NE(probe, INVALID_HANDLE_VALUE);
    COMSTAT waiting{};
    DWORD errors = 0;
    ASSERT_TRUE(vt::WaitUntil([&] {
        return ClearCommError(probe, &errors, &waiting) && waiting.cbInQue == 3;
    })) << "the bytes wait on the line (" << waiting.cbInQue << ")";
    CloseHandle(probe);

    Open(_T("COM1"), true, LineDcb(9600, ONESTOPBIT));
    ASSERT_TRUE(ClearCommError(h, &errors, &waiting));
    EXPECT_EQ(waiting.cbInQue, 0u) << "the configured line starts empty";
}

TEST_F(SerialLine, ShortReplyEndsTheReadAfterTheIntervalTimeOut) {
    for (bool overlapped : {true, false}) {
        Open(_T("COM1"), overlapped, LineDcb(9600, ONESTOPBIT));
        PurgeComm(h, PURGE_RXCLEAR);
        sim.Control("send 39 36 30 30 2C 4E 2C 38 2C 31 0D");
        sim.Sync();
        char buf[30] = {};
        DWORD got = 99;
        DWORD start = GetTickCount();
        EXPECT_TRUE(ReadBuffer(h, buf, 30, &got));
        DWORD elapsed = GetTickCount() - start;
        EXPECT_EQ(got, 11u) << overlapped;
        EXPECT_EQ(std::string(buf, got), "9600,N,8,1\r");
        // About 200 ms after the last byte, which arrived before the read began: the interval
        // time-out, not at once and not the 5 s total time-out (however busy the machine).
        EXPECT_GE(elapsed, 150u);
        EXPECT_LE(elapsed, 3500u);
        CloseHandle(h);
        h = INVALID_HANDLE_VALUE;
    }
}

TEST_F(SerialLine, SilentLineEndsTheReadAfterTheTotalTimeOut) {
    Open(_T("COM1"), true, LineDcb(9600, ONESTOPBIT));
    PurgeComm(h, PURGE_RXCLEAR);
    char buf[30];
    DWORD got = 99;
    DWORD start = GetTickCount();
    EXPECT_TRUE(ReadBuffer(h, buf, 30, &got)) << GetLastError();
    DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(got, 0u);
    EXPECT_GE(elapsed, 4800u);
    EXPECT_LE(elapsed, 6500u);
}

TEST_F(SerialLine, ReadEndsAtOnceWhenItsStopEventIsSet) {
    Open(_T("COM1"), true, LineDcb(9600, ONESTOPBIT));
    PurgeComm(h, PURGE_RXCLEAR);
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    struct Args {
        HANDLE h, stop;
        BOOL ok;
        DWORD err, got, elapsed;
    } a{h, stop, TRUE, 0, 99, 0};
    HANDLE t = CreateThread(
        nullptr, 0,
        [](void* p) WINAPI -> DWORD {
            auto* a = static_cast<Args*>(p);
            char buf[30];
            DWORD start = GetTickCount();
            a->ok = ReadBufferOrStop(a->h, buf, 30, &a->got, a->stop);
            a->err = GetLastError();
            a->elapsed = GetTickCount() - start;
            return 0;
        },
        &a, 0, nullptr);
    Sleep(300);
    SetEvent(stop);
    EXPECT_EQ(WaitForSingleObject(t, 2000), WAIT_OBJECT_0);
    EXPECT_FALSE(a.ok);
    EXPECT_EQ(a.err, static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    EXPECT_EQ(a.got, 0u);
    EXPECT_LT(a.elapsed, 1500u) << "not the 5 s time-out";
    CloseHandle(t);

    // The device is still usable afterwards.
    sim.Control("send 41 42");
    sim.Sync();
    char buf[4];
    DWORD got = 0;
    ResetEvent(stop);
    EXPECT_TRUE(ReadBufferOrStop(h, buf, 2, &got, stop));
    EXPECT_EQ(std::string(buf, got), "AB");
    CloseHandle(stop);
}

TEST(SerialLineNames, OpenOfAnUnknownComNameDefinesNothing) {
    NonspooledOpenOptions how;
    SetLastError(0);
    EXPECT_EQ(OpenNonspooledDevice(_T("NOCOM"), how), INVALID_HANDLE_VALUE);
    EXPECT_NE(GetLastError(), 0u);
    TCHAR target[512];
    EXPECT_EQ(QueryDosDevice(_T("NONSPOOLED_NOCOM"), target, 512), 0u) << "nothing left defined";
}
