// The printer link on the wire: the monitor's protocol against the printer simulator on
// COM1, opened the way the settings commands open it.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "job_flow.h"
#include "long_dos_names.h"
#include "monitor_state.h"
#include "printer_link.h"
#include "profile.h"
#include "prompt_recorder.h"
#include "serial_open.h"
#include "simulator.h"

namespace {

struct Settings {
    Settings() {
        DWORD needed = 0;
        err = GetVeskPortSettings(nullptr, 0, reinterpret_cast<PBYTE>(&record), sizeof record, &needed);
    }
    ~Settings() {
        if (record.pConfig) LocalFree(record.pConfig);
    }
    PBYTE bytes() { return reinterpret_cast<PBYTE>(&record); }
    DWORD err;
    VeskPortSettings record{};
};

class LinkWire : public ::testing::Test {
protected:
    void SetUp() override {
        VESK_SKIP_WITHOUT_LONG_DOS_NAMES();  // every open here goes through NONSPOOLED_COM1
        InitializeMonitorLocks();
        vt::WriteSection(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}});
        prompts.onQuestion = [this] { simAtQuestion.push_back(sim.Sync()); };
    }
    void TearDown() override {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        vt::DeleteSection(L"Vesk Ports");
    }
    DWORD Open() {
        DWORD block = 0;
        h = OpenVeskPort(&settings.record, &block);
        EXPECT_NE(h, INVALID_HANDLE_VALUE);
        return block;
    }

    vt::Simulator sim;
    Settings settings;
    vt::PromptRecorder prompts;
    // The simulator's state while each question was open.
    std::vector<std::map<std::string, std::string>> simAtQuestion;
    HANDLE h = INVALID_HANDLE_VALUE;
};

std::string Zeros(size_t n) {
    return std::string(n, '\0');
}

// The bursts the printer told apart (runs of zero bytes between pauses).
std::vector<std::string> BurstsSeen(const std::vector<vt::WireRecord>& log) {
    std::vector<std::string> bursts;
    for (const auto& r : log)
        if (r.direction == '#' && r.text.rfind("burst ", 0) == 0) bursts.push_back(r.text);
    return bursts;
}

}  // namespace

TEST_F(LinkWire, SleepingPrinterGetsBurstsOfTheBlockSizeThenCan) {
    sim.Control("wake-after 2");
    sim.Sync();
    DWORD block = Open();
    ASSERT_EQ(block, 48u);
    ASSERT_TRUE(Wakeup(h, block));
    sim.Sync();
    auto log = sim.WireLog();
    EXPECT_EQ(vt::BytesFromPc(log), Zeros(48) + Zeros(48) + "\x18");
    EXPECT_EQ(BurstsSeen(log), (std::vector<std::string>{"burst 48", "burst 48"}));
    EXPECT_EQ(sim.Count("wakes"), 1);
}

TEST_F(LinkWire, AwakePrinterAnswersTheFirstBurstAtAnyRate) {
    vt::WriteSection(L"Vesk Ports", {{L"VESK", L"COM1:,115200,N,8,1"}});
    Settings fast;
    sim.Control("settings 115200,n,8,1");
    sim.Sync();
    DWORD block = 0;
    h = OpenVeskPort(&fast.record, &block);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(block, 576u);
    ASSERT_TRUE(Wakeup(h, block));
    sim.Sync();
    auto log = sim.WireLog();
    EXPECT_EQ(vt::BytesFromPc(log), Zeros(576) + "\x18");
    EXPECT_EQ(BurstsSeen(log), (std::vector<std::string>{"burst 576"}));
}

TEST_F(LinkWire, PrinterThatNeverAnswersFailsAfterTenSilentRounds) {
    sim.Control("wake-after 0");
    sim.Sync();
    DWORD block = Open();
    DWORD start = GetTickCount();
    SetLastError(0);
    EXPECT_FALSE(Wakeup(h, block));
    EXPECT_EQ(GetLastError(), kNoAnswer);
    DWORD elapsed = GetTickCount() - start;
    // Ten reads that each wait the 5 s total time-out, with 96 ms between them.
    EXPECT_GE(elapsed, 10 * 5000u);
    EXPECT_LE(elapsed, 10 * 5096u + 3000);
    std::string sent = vt::BytesFromPc(sim.WireLog());
    EXPECT_EQ(sent.find('\x18'), std::string::npos) << "no CAN";
    // About ten bursts a second go on while each read waits its 5 s; one burst a read would
    // be eleven. A busy machine may slow the bursts, not stop them.
    EXPECT_GE(sim.Count("bursts"), 100) << "bursts go on while the reader waits";
}

TEST_F(LinkWire, QueryClearsTheReceiverAndComparesTheReply) {
    DWORD block = Open();
    ASSERT_TRUE(Wakeup(h, block));
    sim.Control("send 39 36 30 30 2C 4E 2C 38 2C 31 0D");  // a stale reply waiting in the line
    sim.Sync();
    Sleep(100);
    const DCB& dcb = settings.record.pConfig->dcb;
    sim.Control("mark query");
    sim.Sync();
    EXPECT_TRUE(SetPrinterSettings(h, dcb));
    auto log = sim.WireLog();
    std::string afterMark;
    bool marked = false;
    for (const auto& r : log) {
        if (r.direction == '#' && r.text == "mark query") marked = true;
        else if (marked && r.direction == '>') afterMark += r.bytes;
    }
    EXPECT_EQ(vt::Hex(afterMark), "18 1D 49 04");

    sim.Control("reply-prefix \\x20\\x20\\x20");
    sim.Sync();
    EXPECT_TRUE(SetPrinterSettings(h, dcb)) << "leading blanks";
    sim.Control("reply-prefix ");
    sim.Control("reply-query 39 36 30 30 2C 4E 2C 38 0A");
    sim.Sync();
    EXPECT_TRUE(SetPrinterSettings(h, dcb)) << "a shorter reply that starts the text";
    sim.Control("reply-query 31 39 32 30 30 2C 4E 2C 38 2C 31 0D");
    sim.Sync();
    EXPECT_FALSE(SetPrinterSettings(h, dcb)) << "another baud rate";
    sim.Control("reply-query 00 00 00 00");
    sim.Sync();
    EXPECT_FALSE(SetPrinterSettings(h, dcb)) << "NUL bytes";
    sim.Control("reply-query " + std::string(80, '9'));
    sim.Sync();
    EXPECT_FALSE(SetPrinterSettings(h, dcb)) << "longer than the reply buffer";
}

TEST_F(LinkWire, ReachingThePrinterHandsOverTheOpenDevice) {
    LONG handle = 0;
    DWORD needed = 0;
    ASSERT_EQ(SetVeskPrintSettings(settings.bytes(), sizeof settings.record,
                                   reinterpret_cast<PBYTE>(&handle), sizeof handle, &needed), 0u);
    EXPECT_EQ(needed, 4u);
    h = LongToHandle(handle);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteBuffer(h, "ok", 2, &written)) << "the handle is the open device";

    sim.Control("reply-query 34 38 30 30 2C 4E 2C 38 2C 31 0D");
    sim.Sync();
    LONG other = 0;
    EXPECT_EQ(SetVeskPrintSettings(settings.bytes(), sizeof settings.record,
                                   reinterpret_cast<PBYTE>(&other), sizeof other, &needed), 1u);
    EXPECT_EQ(LongToHandle(other), INVALID_HANDLE_VALUE);
}

TEST_F(LinkWire, SettingsChangeAsksForThePowerCycleBeforeTheSwitch) {
    sim.Control("power-cycle on");
    sim.Sync();
    LONG handle = 0;
    DWORD needed = 0;
    ASSERT_EQ(SetVeskPrintSettings(settings.bytes(), sizeof settings.record,
                                   reinterpret_cast<PBYTE>(&handle), sizeof handle, &needed), 0u);
    Settings next;
    next.record.pConfig->dcb.BaudRate = 19200;
    next.record.hComm = LongToHandle(handle);
    sim.Control("mark change");
    sim.Sync();
    EXPECT_EQ(SetVeskPortSettings(next.bytes(), sizeof next.record, nullptr, 0, nullptr), 0u);

    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_NE(prompts.questions[0].text.find(L"Please remove power or charger"), std::wstring::npos);
    EXPECT_EQ(simAtQuestion[0]["statuses"], "1");
    EXPECT_EQ(simAtQuestion[0]["switches"], "0") << "asked before the switch command";

    std::string sent;
    bool marked = false;
    for (const auto& r : sim.WireLog()) {
        if (r.direction == '#' && r.text == "mark change") marked = true;
        else if (marked && r.direction == '>') sent += r.bytes;
    }
    std::string expected = std::string("\x1B\x58\x04") + "19200,n,8,1" + "\x1D\x49\x0F" +
                           std::string("\x1B\x58\x0B\x00\x00", 5);
    EXPECT_EQ(vt::Hex(sent.substr(0, expected.size())), vt::Hex(expected));
    auto state = sim.Sync();
    EXPECT_EQ(state["settings"], "19200,n,8,1");
    EXPECT_EQ(state["pc_baud"], "19200") << "the line was reopened at the new settings";
    EXPECT_EQ(vt::Value(L"Vesk Ports", L"VESK"), std::wstring(L"COM1:,19200,n,8,1"));
}

TEST_F(LinkWire, SettingsChangeThatNeverMatchesStopsAfterTwelveAttempts) {
    LONG handle = 0;
    DWORD needed = 0;
    ASSERT_EQ(SetVeskPrintSettings(settings.bytes(), sizeof settings.record,
                                   reinterpret_cast<PBYTE>(&handle), sizeof handle, &needed), 0u);
    sim.Control("reply-query 58 0D");
    sim.Sync();
    Settings next;
    next.record.pConfig->dcb.BaudRate = 19200;
    next.record.hComm = LongToHandle(handle);
    EXPECT_EQ(SetVeskPortSettings(next.bytes(), sizeof next.record, nullptr, 0, nullptr), 1u);
    EXPECT_EQ(sim.Count("statuses"), 12);
    EXPECT_EQ(sim.Count("settings_changes"), 12);
    EXPECT_EQ(vt::Value(L"Vesk Ports", L"VESK"), std::wstring(L"COM1:,9600,N,8,1"));
}

TEST_F(LinkWire, SynchronisationTakesThePrintersSettingsAndStoresThem) {
    // The printer listens at 9600 baud but with 7 data bits and even parity, which a
    // pseudo-terminal cannot show: it hears the PC and answers with its own settings.
    sim.Control("settings 9600,e,7,1");
    sim.Sync();
    prompts.answer = IDYES;
    DCB chosen{};
    chosen.BaudRate = 9600;
    chosen.Parity = EVENPARITY;
    chosen.ByteSize = 7;
    chosen.StopBits = ONESTOPBIT;
    prompts.chosen = chosen;
    EXPECT_TRUE(SyncronizePrinter());
    ASSERT_GE(prompts.questions.size(), 1u);
    EXPECT_EQ(prompts.questions[0].text,
              L"The printer settings are not the same with the PC serial port settings.\n"
              L"Please click yes if you want to select the printer settings!");
    EXPECT_EQ(vt::Value(L"Vesk Ports", L"VESK"), std::wstring(L"COM1:,9600,e,7,1"));
    EXPECT_EQ(sim.Count("switches"), 1);
}

TEST_F(LinkWire, SynchronisationEndsWhenTheUserDeclines) {
    prompts.answer = IDNO;
    EXPECT_FALSE(SyncronizePrinter());
    EXPECT_TRUE(prompts.settingsDialogs.empty()) << "no settings dialog after No";
    prompts.answer = IDYES;  // and Cancel in the settings dialog
    EXPECT_FALSE(SyncronizePrinter());
    EXPECT_EQ(prompts.questions.size(), 2u);
    EXPECT_EQ(prompts.settingsDialogs, std::vector<std::wstring>{L"COM1"});
    EXPECT_EQ(vt::Value(L"Vesk Ports", L"VESK"), std::wstring(L"COM1:,9600,N,8,1"));
}

TEST_F(LinkWire, BusyThreadFollowsThePrintersXoffAndXon) {
    DWORD block = Open();
    ASSERT_TRUE(Wakeup(h, block));
    // Reads that never end by themselves: only the end of the document can stop the busy
    // thread's read.
    COMMTIMEOUTS endless{};
    ASSERT_TRUE(SetCommTimeouts(h, &endless));
    JobFlow* flow = StartJobFlow(h, 60000);
    ASSERT_NE(flow, nullptr);
    auto inXoff = [&] { return WaitForSingleObject(flow->XoffSection, 0) == static_cast<DWORD>(WAIT_TIMEOUT); };
    sim.Control("send 13");
    EXPECT_TRUE(vt::WaitUntil(inXoff, 10000)) << "XOFF holds the job";
    sim.Control("send 41 42 11");
    EXPECT_TRUE(vt::WaitUntil([&] { return !inXoff(); }, 10000)) << "XON after other bytes lets it go";
    HANDLE thread = nullptr;
    DuplicateHandle(GetCurrentProcess(), flow->thread.hThread, GetCurrentProcess(), &thread, 0,
                    FALSE, DUPLICATE_SAME_ACCESS);
    DWORD start = GetTickCount();
    StopJobFlow(flow);
    // Left to its read, the thread would outlast the stop's whole wait for it.
    EXPECT_LT(GetTickCount() - start, kThreadStopLimitMs / 2);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "the thread has ended";
    CloseHandle(thread);
    // The flow owned the device and closed it with its last user.
    EXPECT_FALSE(GetCommTimeouts(h, &endless)) << "the device is closed";
    h = INVALID_HANDLE_VALUE;
}
