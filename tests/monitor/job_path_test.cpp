// Print jobs through the monitor's entry points, loaded as the spooler loads them, with the
// printer simulator on COM1 and the spooler's services replaced by the fake, which records
// what the monitor does to the job and answers its questions.
#include <windows.h>
#include <winioctl.h>
#include <winspool.h>
#include <winsplp.h>

#include <gtest/gtest.h>

#include <string>

#include "fake_spooler.h"
#include "monitor_library.h"
#include "profile.h"
#include "simulator.h"
#include "test_env.h"

namespace {

// IOCTL_SERIAL_GET_BAUD_RATE and IOCTL_SERIAL_GET_TIMEOUTS of the serial driver interface;
// the driver's time-out record has the layout of COMMTIMEOUTS.
constexpr DWORD kGetBaudRate = CTL_CODE(FILE_DEVICE_SERIAL_PORT, 20, METHOD_BUFFERED, FILE_ANY_ACCESS);
constexpr DWORD kGetTimeouts = CTL_CODE(FILE_DEVICE_SERIAL_PORT, 8, METHOD_BUFFERED, FILE_ANY_ACCESS);

// Print data without the bytes the printer takes as commands (CAN, ESC, GS).
std::string Receipt(size_t bytes, unsigned seed = 1) {
    std::string s;
    const char* lines[] = {"VESK RECEIPT PRINTER\r\n", "1 x Coffee            2.50\r\n",
                           "2 x Croissant         3.80\r\n", "--------------------------\r\n",
                           "TOTAL                 6.30\r\n"};
    for (unsigned i = seed; s.size() < bytes; ++i) s += lines[i % 5];
    s.resize(bytes);
    return s;
}

class JobPath : public ::testing::Test {
protected:
    JobPath()
        : section(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}, {L"VESK2:", L""}}),
          table(lib.Initialize()) {}

    void SetUp() override {
        ASSERT_NE(table, nullptr);
        port = Open(L"VESK");
        ASSERT_NE(port, nullptr);
        vt::DeleteSection(L"windows");
    }
    void TearDown() override {
        if (port) table->Monitor.pfnClosePort(port);
    }

    HANDLE Open(const wchar_t* name) {
        HANDLE h = nullptr;
        return table->Monitor.pfnOpenPort(const_cast<LPWSTR>(name), &h) ? h : nullptr;
    }
    BOOL Start(const wchar_t* printer = L"Vesk Receipt", DWORD job = 7, HANDLE on = nullptr) {
        DOC_INFO_1W doc{const_cast<LPWSTR>(L"receipt"), nullptr, const_cast<LPWSTR>(L"RAW")};
        SetLastError(0xdeadbeef);
        return table->Monitor.pfnStartDocPort(on ? on : port, const_cast<LPWSTR>(printer), job, 1,
                                              reinterpret_cast<LPBYTE>(&doc));
    }
    // Writes in the spooler's 4096-byte pieces.
    bool Write(const std::string& data, HANDLE on = nullptr) {
        for (size_t done = 0; done < data.size();) {
            DWORD piece = static_cast<DWORD>(std::min<size_t>(4096, data.size() - done));
            DWORD written = 0;
            if (!table->Monitor.pfnWritePort(on ? on : port,
                                             reinterpret_cast<LPBYTE>(const_cast<char*>(data.data() + done)),
                                             piece, &written))
                return false;
            done += written;
        }
        return true;
    }
    BOOL End(HANDLE on = nullptr) { return table->Monitor.pfnEndDocPort(on ? on : port); }
    std::string PaperAfter(size_t bytes) {
        sim.WaitFor("printed", static_cast<long>(bytes), 20000);
        return sim.Paper();
    }

    vt::ScopedSection section;
    vt::FakeSpooler spooler;  // before the library: the monitor takes its services at load
    vt::MonitorLibrary lib;
    LPMONITOREX table;
    vt::Simulator sim;
    HANDLE port = nullptr;
};

}  // namespace

TEST_F(JobPath, JobReachesThePaperByteExactAndIsMarkedSent) {
    std::string data = Receipt(1500);
    ASSERT_TRUE(Start()) << GetLastError();
    ASSERT_TRUE(Write(data));
    ASSERT_TRUE(End());
    EXPECT_TRUE(vt::SameBytes(PaperAfter(data.size()), data));
    std::string sent = vt::BytesFromPc(sim.WireLog());
    EXPECT_EQ(vt::Hex(sent.substr(0, 53)), vt::Hex(std::string(48, '\0') + "\x18\x18\x1D\x49\x04"))
        << "wake-up, CAN, then the settings query";
    EXPECT_EQ(spooler.Count(L"OpenPrinterW Vesk Receipt ok"), 1);
    EXPECT_EQ(spooler.Count(L"SetJobW 7 command 6"), 1) << vt::Narrow(spooler.Log());
    EXPECT_EQ(spooler.Count(L"status 0x20"), 0);
    EXPECT_EQ(spooler.Count(L"ClosePrinter"), 1);
}

TEST_F(JobPath, PrinterXoffKeepsAJobLargerThanItsBufferIntact) {
    // The printer takes bytes at the line's rate and prints slower than that. A
    // pseudo-terminal holds up to 20 KB that the PC has written and the printer has not yet
    // taken, so the printer's XOFF leaves more than that free in its 32 KB buffer.
    vt::WriteSection(L"Vesk Ports", {{L"VESK", L"COM1:,115200,N,8,1"}, {L"VESK2:", L""}});
    sim.Control("settings 115200,n,8,1");
    sim.Control("pace on");
    sim.Control("buffer 32768");
    sim.Control("xoff-at 8192");
    sim.Control("xon-at 2048");
    sim.Control("paper-rate 6000");
    sim.Sync();
    std::string data = Receipt(49152, 3);
    ASSERT_TRUE(Start()) << GetLastError();
    ASSERT_TRUE(Write(data));
    ASSERT_TRUE(End());
    EXPECT_TRUE(vt::SameBytes(PaperAfter(data.size()), data)) << "every byte once and in order";
    auto state = sim.Sync();
    EXPECT_EQ(state["overflow"], "0");
    EXPECT_GE(std::stol(state["xoffs"]), 2);
    EXPECT_GE(std::stol(state["xons"]), 2);
}

TEST_F(JobPath, SecondStartOfARunningPortIsBusy) {
    std::string data = Receipt(300);
    ASSERT_TRUE(Start());
    EXPECT_FALSE(Start(L"Vesk Receipt", 8));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
    ASSERT_TRUE(Write(data));
    ASSERT_TRUE(End());
    EXPECT_TRUE(vt::SameBytes(PaperAfter(data.size()), data));
    EXPECT_EQ(spooler.Count(L"SetJobW 8"), 0) << "the refused start touched no job";
}

TEST_F(JobPath, EndAndCloseWithoutADocumentDoNothing) {
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(End());
    EXPECT_TRUE(table->Monitor.pfnClosePort(port));
    EXPECT_EQ(spooler.Log(), L"");
    EXPECT_EQ(sim.Count("received"), 0);
}

TEST_F(JobPath, WithoutAPrinterNameThereIsNoJobToMark) {
    std::string data = Receipt(200);
    ASSERT_TRUE(Start(nullptr, 0)) << GetLastError();
    ASSERT_TRUE(Write(data));
    ASSERT_TRUE(End());
    EXPECT_TRUE(vt::SameBytes(PaperAfter(data.size()), data));
    EXPECT_EQ(spooler.Log(), L"");
}

TEST_F(JobPath, PrinterThatCannotBeOpenedFailsTheStartQuietly) {
    EXPECT_FALSE(Start(L"NoSuchPrinter", 9));
    EXPECT_EQ(spooler.Count(L"OpenPrinterW NoSuchPrinter fails"), 1);
    EXPECT_EQ(spooler.Count(L"SetJobW"), 0) << "no printer handle, nothing to mark";
    EXPECT_EQ(spooler.Count(L"Ask"), 0);
    std::string data = Receipt(100);
    ASSERT_TRUE(Start()) << "the port can be started again";
    ASSERT_TRUE(Write(data));
    ASSERT_TRUE(End());
    EXPECT_TRUE(vt::SameBytes(PaperAfter(data.size()), data));
}

TEST_F(JobPath, PrinterAtOtherSettingsAsksTheUserAndDeletesTheJob) {
    // Even parity and 7 data bits do not show on a pseudo-terminal: the printer hears the
    // PC and answers the query with its own settings.
    sim.Control("settings 9600,e,7,1");
    sim.Sync();
    spooler.Answer(IDNO);
    EXPECT_FALSE(Start());
    std::wstring log = spooler.Log();
    // The whole question, its two lines and its Yes and No buttons, asked once for job 7.
    EXPECT_EQ(spooler.Count(L"Ask job 7 [Vesk Port Monitor] The printer settings are not the same with the PC "
                            L"serial port settings.\nPlease click yes if you want to select the printer "
                            L"settings! style 0x4 timeout 600 -> 7\n"),
              1)
        << vt::Narrow(log);
    EXPECT_EQ(spooler.Count(L"Ask "), 1);
    EXPECT_EQ(spooler.Count(L"SetJobW 7 status 0x20 document receipt"), 1) << vt::Narrow(log);
    EXPECT_EQ(spooler.Count(L"SetJobW 7 command 5"), 1);
    EXPECT_EQ(spooler.Count(L"ClosePrinter"), 1);

    sim.Control("settings 9600,n,8,1");
    sim.Sync();
    std::string data = Receipt(100);
    ASSERT_TRUE(Start()) << "the port is startable again";
    ASSERT_TRUE(Write(data));
    ASSERT_TRUE(End());
    EXPECT_TRUE(vt::SameBytes(PaperAfter(data.size()), data));
}

TEST_F(JobPath, SilentPrinterFailsTheJobWithoutQuestions) {
    sim.Control("silent on");
    sim.Sync();
    EXPECT_FALSE(Start());
    EXPECT_EQ(GetLastError(), 15080u);
    EXPECT_EQ(spooler.Count(L"SetJobW 7 status 0x20"), 1);
    EXPECT_EQ(spooler.Count(L"SetJobW 7 command 5"), 1);
    EXPECT_EQ(spooler.Count(L"Ask"), 0);
    sim.Control("silent off");
    sim.Sync();
    ASSERT_TRUE(Start()) << "the port is startable again";
    EXPECT_TRUE(End());
}

TEST_F(JobPath, PrinterAtAnotherBaudRateHearsNoiseAndTheJobFails) {
    sim.Control("settings 19200,n,8,1");
    sim.Sync();
    EXPECT_FALSE(Start());
    EXPECT_EQ(GetLastError(), 15080u) << "without DSR a deaf printer cannot be told from an absent one";
    EXPECT_EQ(spooler.Count(L"SetJobW 7 status 0x20"), 1);
    EXPECT_EQ(spooler.Count(L"SetJobW 7 command 5"), 1);
    EXPECT_GT(sim.Count("noise"), 0);
    EXPECT_EQ(sim.Count("received"), 0);
}

TEST_F(JobPath, TwoPortsShareTheDeviceOneAtATime) {
    HANDLE second = Open(L"VESK2:");
    ASSERT_NE(second, nullptr);
    std::string data = Receipt(2000, 2);
    ASSERT_TRUE(Start(L"Vesk Receipt", 7));
    ASSERT_TRUE(Write(data.substr(0, 1000)));
    // The second port's job waits its turn: no notice, and the job stays as it is.
    EXPECT_FALSE(Start(L"Vesk Receipt", 8, second));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
    EXPECT_EQ(spooler.Count(L"[ValidateDosDevicePort]"), 0) << vt::Narrow(spooler.Log());
    EXPECT_EQ(spooler.Count(L"SetJobW 8"), 0);
    ASSERT_TRUE(Write(data.substr(1000)));
    ASSERT_TRUE(End());
    EXPECT_TRUE(vt::SameBytes(PaperAfter(data.size()), data)) << "the first job is untouched";

    std::string more = Receipt(300, 4);
    sim.Reset();
    ASSERT_TRUE(Start(L"Vesk Receipt", 9, second)) << "free again once the first job ended";
    ASSERT_TRUE(Write(more, second));
    ASSERT_TRUE(End(second));
    EXPECT_TRUE(vt::SameBytes(PaperAfter(more.size()), more));
    table->Monitor.pfnClosePort(second);
}

TEST_F(JobPath, SmallerEntryPointsOfAnOpenPort) {
    BYTE buf[8];
    DWORD n = 0;
    SetLastError(0);
    EXPECT_FALSE(table->Monitor.pfnReadPort(port, buf, sizeof buf, &n));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE)) << "no job, no device";
    EXPECT_FALSE(table->Monitor.pfnGetPrinterDataFromPort(port, kGetBaudRate, nullptr, nullptr, 0,
                                                          reinterpret_cast<LPWSTR>(buf), sizeof buf, &n));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    ASSERT_TRUE(Start());
    DWORD baud = 0;
    DWORD returned = 0;
    EXPECT_TRUE(table->Monitor.pfnGetPrinterDataFromPort(port, kGetBaudRate, nullptr, nullptr, 0,
                                                         reinterpret_cast<LPWSTR>(&baud),
                                                         sizeof baud, &returned));
    EXPECT_EQ(baud, 9600u);
    EXPECT_EQ(returned, 4u);
    SetLastError(0);
    EXPECT_FALSE(table->Monitor.pfnGetPrinterDataFromPort(port, 0, nullptr, nullptr, 0, nullptr, 0, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // The time-outs as the port's device has them, read through the port.
    auto deviceTimeouts = [&] {
        COMMTIMEOUTS now{};
        DWORD size = 0;
        EXPECT_TRUE(table->Monitor.pfnGetPrinterDataFromPort(port, kGetTimeouts, nullptr, nullptr, 0,
                                                             reinterpret_cast<LPWSTR>(&now), sizeof now, &size));
        EXPECT_EQ(size, sizeof now);
        return now;
    };
    auto same = [](const COMMTIMEOUTS& a, const COMMTIMEOUTS& b) {
        return a.ReadIntervalTimeout == b.ReadIntervalTimeout &&
               a.ReadTotalTimeoutMultiplier == b.ReadTotalTimeoutMultiplier &&
               a.ReadTotalTimeoutConstant == b.ReadTotalTimeoutConstant &&
               a.WriteTotalTimeoutMultiplier == b.WriteTotalTimeoutMultiplier &&
               a.WriteTotalTimeoutConstant == b.WriteTotalTimeoutConstant;
    };
    COMMTIMEOUTS opened = deviceTimeouts();
    EXPECT_EQ(opened.ReadIntervalTimeout, 200u);
    EXPECT_EQ(opened.ReadTotalTimeoutConstant, 5000u);
    EXPECT_EQ(opened.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(opened.WriteTotalTimeoutConstant, 3000u);
    COMMTIMEOUTS t{100, 7, 1000, 8, 9};
    EXPECT_FALSE(table->Monitor.pfnSetPortTimeOuts(port, &t, 1)) << "reserved must be 0";
    EXPECT_TRUE(same(deviceTimeouts(), opened)) << "a refused call changes nothing";
    EXPECT_TRUE(table->Monitor.pfnSetPortTimeOuts(port, &t, 0));
    // The spooler's read time-outs are those of its ReadPort; the device keeps the ones the
    // busy thread reads it with.
    EXPECT_TRUE(same(deviceTimeouts(), opened));
    BYTE buffer[8];
    DWORD read = 99, start = GetTickCount();
    EXPECT_TRUE(table->Monitor.pfnReadPort(port, buffer, sizeof buffer, &read));
    DWORD waited = GetTickCount() - start;
    EXPECT_EQ(read, 0u);
    EXPECT_GE(waited, 900u) << "the spooler's total time-out of 1000 ms";
    EXPECT_LT(waited, 4000u) << "not the line's 5000 ms";
    EXPECT_TRUE(End());
}
