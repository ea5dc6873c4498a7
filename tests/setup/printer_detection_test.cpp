// Setup's side of the printer link, on the wire: the probe and the store against the printer
// simulator on the lane's COM1, reached through NONSPOOLED_COM1 as on Windows NT.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "engine_fixture.h"
#include "handles.h"
#include "printer_detection.h"
#include "simulator.h"
#include "system_error_text.h"

namespace {

PrinterPortRecord Record(const char* com, const char* settings) {
    PrinterPortRecord record{};
    lstrcpynA(record.ComName, com, sizeof(record.ComName));
    SetPortHandle(record, INVALID_HANDLE_VALUE);
    record.Config.dwSize = sizeof(COMMCONFIG);
    record.Config.wVersion = 1;
    record.Config.dwProviderSubType = PST_RS232;
    record.Config.dcb.DCBlength = sizeof(DCB);
    EXPECT_TRUE(BuildCommDCBA(settings, &record.Config.dcb));
    return record;
}

std::string FromPc(const vt::Simulator& sim) {
    return vt::BytesFromPc(sim.WireLog());
}

const std::string kWakeStatus("\x1D\x05", 2);
const std::string kCan("\x18", 1);
const std::string kQuery("\x18\x1D\x49\x04", 4);
const std::string kStatus("\x1D\x49\x0F", 3);

// The charger question: answered from a script, with the simulator told first what the
// person did (took the printer off its charger, or not).
vt::Simulator* g_sim = nullptr;
int g_answer = IDOK;
int g_asked = 0;
struct ChargerAnswers : InstallFrontEnd {
    int Ask(const std::string& text, UINT type) override {
        ++g_asked;
        EXPECT_EQ(type & MB_TYPEMASK, UINT(MB_OKCANCEL));
        EXPECT_EQ(text, "The charger is present. The printer settings can not be changed when "
                        "the charger is present.\nPlease disconect the charger and pres OK.");
        if (g_answer == IDOK) g_sim->Control("power-cycle off");
        g_sim->Sync();
        return g_answer;
    }
    bool AskPortSettings(const std::string&, COMMCONFIG&) override { return false; }
    void Progress(InstallProgress) override {}
};

class Detection : public ::testing::Test {
protected:
    void SetUp() override {
        g_sim = &sim;
        g_asked = 0;
    }
    vt::Simulator sim;
    // No message may wait for a person in a run without one.
    st::RecordingFrontEnd messages;
};

TEST_F(Detection, AnAwakePrinterIsAskedForItsSettingsAtOnce) {
    sim.Control("wake");
    sim.Sync();
    PrinterPortRecord record = Record("COM1", "9600,n,8,1");
    HANDLE handle = nullptr;
    ASSERT_EQ(ProbePrinter(record, &handle, true), 0u);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    CloseHandle(handle);
    sim.Sync();
    // The first attempt sends no status command.
    EXPECT_TRUE(vt::SameBytes(FromPc(sim), kWakeStatus + kCan + kQuery));
}

// Run with NONSPOOLED_COM1 leading nowhere (VESK_TEST_NONSPOOLED_OFF) while COM1 leads to
// the printer: the probe does not reach it, so it goes through the private name.
TEST(PrivateName, ThePortIsReachedThroughNonspooledCom1) {
    vt::Simulator sim;
    sim.Control("wake");
    sim.Sync();
    PrinterPortRecord record = Record("COM1", "9600,n,8,1");
    HANDLE handle = nullptr;
    st::RecordingFrontEnd messages;
    // What is there is no serial line: its state cannot be read.
    EXPECT_EQ(ProbePrinter(record, &handle, true), DWORD(ERROR_BUSY));
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(messages.Messages(), std::vector<std::string>{SystemErrorText(ERROR_BUSY)});
    EXPECT_EQ(FromPc(sim), "") << "nothing reached the printer";
    // The printer itself is there, behind COM1.
    HANDLE plain = CreateFileA("\\\\.\\COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(plain, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(plain, "\x18", 1, &written, nullptr));
    CloseHandle(plain);
    EXPECT_TRUE(sim.WaitFor("cans", 1, 5000));
}

TEST_F(Detection, ASleepingPrinterGetsZeroBlocksUntilItsXon) {
    sim.Control("wake-after 4");
    sim.Sync();
    PrinterPortRecord record = Record("COM1", "9600,n,8,1");
    HANDLE handle = nullptr;
    ASSERT_EQ(ProbePrinter(record, &handle, true), 0u);
    CloseHandle(handle);
    sim.Sync();
    std::vector<vt::WireRecord> log = sim.WireLog();
    // Four blocks of 48 zero bytes (50 ms of a 9600 baud line) woke it; then CAN and the query.
    // (A loaded machine may send one more before the XON is heard.)
    std::string sent = vt::BytesFromPc(log);
    size_t zeros = sent.size() - kWakeStatus.size() - kCan.size() - kQuery.size();
    EXPECT_TRUE(zeros == 4 * 48 || zeros == 5 * 48) << zeros;
    EXPECT_TRUE(vt::SameBytes(sent, kWakeStatus + std::string(zeros, '\0') + kCan + kQuery));
    // A new block at least every 225 ms.
    int blocks = 0;
    double last = -1;
    for (const vt::WireRecord& r : log) {
        if (r.direction != '>' || r.bytes.find('\0') == std::string::npos) continue;
        if (last < 0 || r.ms - last > 20) ++blocks;
        if (last >= 0 && r.ms - last > 20) {
            EXPECT_LE(r.ms - last, 225 + 150) << "between two blocks";
        }
        last = r.ms;
    }
    EXPECT_EQ(blocks * 48, int(zeros));
}

TEST_F(Detection, AnyOtherAnswerToTheBlocksGetsNoCanButTheQueryStillGoes) {
    sim.Control("wake-after 0");
    sim.Sync();
    std::thread answer([&] {
        if (sim.WaitFor("bursts", 1, 5000)) sim.Control("send 55");
    });
    PrinterPortRecord record = Record("COM1", "9600,n,8,1");
    HANDLE handle = nullptr;
    EXPECT_EQ(ProbePrinter(record, &handle, true), 1u);  // a sleeping printer has no reply
    answer.join();
    sim.Sync();
    std::string sent = FromPc(sim);
    EXPECT_EQ(sent.find(kCan + std::string("\x1D", 1)), sent.rfind(kQuery)) << vt::Hex(sent);
    EXPECT_EQ(sent.find(kCan), sent.rfind(kQuery)) << "CAN only as the query's first byte";
    EXPECT_EQ(sent.substr(sent.size() - 4), kQuery);
}

TEST_F(Detection, OnlyTheChosenSettingsMatch) {
    sim.Control("wake");
    PrinterPortRecord record = Record("COM1", "9600,n,8,1");
    int before = vt::OpenHandles();
    HANDLE handle = nullptr;
    sim.Control("reply-query " + std::string("393630302C4E2C382C310D"));  // 9600,N,8,1 CR
    sim.Sync();
    ASSERT_EQ(ProbePrinter(record, &handle, true), 0u);
    CloseHandle(handle);

    sim.Control("reply-query " + std::string("31393230302C4E2C382C310D"));  // 19200,N,8,1 CR
    sim.Sync();
    handle = nullptr;
    EXPECT_EQ(ProbePrinter(record, &handle, true), 1u);
    EXPECT_EQ(handle, INVALID_HANDLE_VALUE);
    // A printer at another baud rate hears noise and answers nothing.
    sim.Control("reply-query off");
    sim.Control("settings 19200,n,8,1");
    sim.Sync();
    handle = nullptr;
    EXPECT_EQ(ProbePrinter(record, &handle, true), 1u);
    EXPECT_EQ(handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(vt::OpenHandles(), before) << "every device closed";
    // A port that cannot be opened: its error, and the handle left as it was.
    PrinterPortRecord missing = Record("COM1", "9600,n,8,1");
    lstrcpyA(missing.ComName, "COM100");
    handle = nullptr;
    EXPECT_NE(ProbePrinter(missing, &handle, true), 0u);
    EXPECT_EQ(handle, nullptr);
}

TEST_F(Detection, TheRepeatProbeTestsForTheCharger) {
    sim.Control("wake");
    sim.Control("power-cycle on");
    sim.Sync();
    ChargerAnswers answers;
    FrontEndScope asking(answers);
    PrinterPortRecord record = Record("COM1", "9600,n,8,1");
    HANDLE handle = nullptr;
    // OK, with the charger taken away: the printer woken again and tested again.
    g_answer = IDOK;
    ASSERT_EQ(ProbePrinter(record, &handle, false), 0u);
    CloseHandle(handle);
    sim.Sync();
    EXPECT_EQ(g_asked, 1);
    EXPECT_TRUE(vt::SameBytes(FromPc(sim), kWakeStatus + kCan + kQuery + kStatus + kWakeStatus +
                                               kCan + kStatus));
    // Cancel: the probe gives up, the device closed.
    sim.Reset();
    sim.Control("power-cycle on");
    sim.Sync();
    g_answer = IDCANCEL;
    int before = vt::OpenHandles();
    EXPECT_EQ(ProbePrinter(record, &handle, false), 1u);
    EXPECT_EQ(handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(g_asked, 2);
    EXPECT_EQ(vt::OpenHandles(), before);
    // A printer that never answers the status command: the test ends after its attempts.
    sim.Control("reply-status 0600");  // too short to say anything of the charger
    sim.Reset();
    handle = nullptr;
    EXPECT_EQ(ProbePrinter(record, &handle, false), 1u);
    EXPECT_EQ(handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(sim.Count("statuses"), kChargerTestAttempts);
    EXPECT_EQ(g_asked, 2);
    EXPECT_EQ(vt::OpenHandles(), before);
}

TEST_F(Detection, TheStoreSwitchesAnOpenPrinterBeforeItWritesTheProfile) {
    WriteProfileStringA("Vesk Ports", "VESK", "COM2:,19200,e,7,1");
    // Without a device only the profile changes.
    PrinterPortRecord record = Record("COM1", "9600,n,8,1");
    std::string text;
    ASSERT_EQ(StorePortSettings(record, text), 0u);
    EXPECT_EQ(text, "COM1:,9600,n,8,1");
    EXPECT_EQ(st::ProfileText("Vesk Ports", "VESK"), "COM1:,9600,n,8,1");
    sim.Sync();
    EXPECT_EQ(FromPc(sim), "");

    // With the device of a repeat probe: the settings change, the switch, and the printer's
    // XOFF waited for.
    WriteProfileStringA("Vesk Ports", "VESK", "COM2:,19200,e,7,1");
    sim.Control("wake");
    sim.Sync();
    HANDLE handle = nullptr;
    ASSERT_EQ(ProbePrinter(record, &handle, false), 0u);
    SetPortHandle(record, handle);
    sim.Reset();
    int before = vt::OpenHandles();
    ASSERT_EQ(StorePortSettings(record, text), 0u);
    sim.Sync();
    EXPECT_TRUE(vt::SameBytes(FromPc(sim), std::string("\x1B\x58\x04" "9600,n,8,1") +
                                               std::string("\x1B\x58\x0B\x00\x00", 5)));
    EXPECT_EQ(sim.Count("switches"), 1);
    EXPECT_EQ(st::ProfileText("Vesk Ports", "VESK"), "COM1:,9600,n,8,1");
    EXPECT_EQ(vt::OpenHandles(), before - 1) << "the store closes the device";

    // A printer that never sends XOFF: the store gives up at its bound, the profile as it was.
    WriteProfileStringA("Vesk Ports", "VESK", "COM2:,19200,e,7,1");
    ASSERT_EQ(ProbePrinter(record, &handle, false), 0u);
    SetPortHandle(record, handle);
    sim.Control("silent on");
    sim.Sync();
    DWORD start = GetTickCount();
    EXPECT_EQ(StorePortSettings(record, text), 1u);
    EXPECT_LT(GetTickCount() - start, kStoreXoffLimitMs + 6000);
    EXPECT_EQ(st::ProfileText("Vesk Ports", "VESK"), "COM2:,19200,e,7,1");
    EXPECT_EQ(vt::OpenHandles(), before - 1);
}

}  // namespace
