// The printer link and the job's writes on a scripted line: DSR, exact bursts and timings,
// writes that move nothing, XOFF at chosen moments.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "fake_line.h"
#include "job_flow.h"
#include "job_path.h"
#include "monitor_state.h"
#include "port_dialogs.h"
#include "printer_link.h"
#include "profile.h"
#include "prompt.h"
#include "prompt_recorder.h"
#include "test_env.h"

using vt::FakeLine;

namespace {

const std::string kXonByte(1, '\x11');
const std::string kXoffByte(1, '\x13');

bool AllZero(const std::string& s, size_t n) {
    return s.size() == n && s.find_first_not_of('\0') == std::string::npos;
}

// A port entry whose device is the fake line, as a started document leaves it: the job's
// flow, with `xoffLimitMs`, owns the device. Without a limit, a port before its document.
struct FakePort {
    explicit FakePort(FakeLine& line, DWORD xoffLimitMs = 60000) {
        InitializeMonitorLocks();
        entry = VeskCreatePortEntry(&list, L"VESK");
        if (!xoffLimitMs) return;
        entry->hFile = line.handle();
        entry->Status = PORT_FLAG_OPEN | PORT_FLAG_IN_DOC;
        entry->pFlow = StartJobFlow(line.handle(), xoffLimitMs);
    }
    ~FakePort() {
        StopJobFlow(entry->pFlow);
        VeskDeletePortEntry(&list, L"VESK");
    }
    PortList list{kPortListSignature, nullptr};
    PortEntry* entry;
};

}  // namespace

TEST(FakeLineWakeup, WithDsrOnOnlyCanIsSent) {
    FakeLine line;
    line.SetDsr(true);
    EXPECT_TRUE(Wakeup(line.handle(), 48));
    EXPECT_EQ(line.AllWritten(), "\x18");
}

TEST(FakeLineWakeup, PrinterAnsweringAfterTheSecondBurstGetsTwoBlocksThenCan) {
    // Between bursts the wake-up waits twice the block size in milliseconds for the reader.
    // Blocks of 160 and 480 bytes (lines of 16000 and 48000 baud) make the waits long enough
    // that a busy machine's delay cannot blur them, and their difference shows the wait grows
    // with the block, which no fixed wait would.
    auto gapFor = [](DWORD block) -> double {
        FakeLine line;
        int zeroBlocks = 0;
        line.onWrite = [&](FakeLine& l, const std::string& b) {
            if (AllZero(b, block) && ++zeroBlocks == 2) l.Deliver(kXonByte, 5);
        };
        EXPECT_TRUE(Wakeup(line.handle(), block));
        auto writes = line.Writes();
        EXPECT_EQ(writes.size(), 3u) << block;
        if (writes.size() != 3) return -1;
        EXPECT_TRUE(AllZero(writes[0].bytes, block));
        EXPECT_TRUE(AllZero(writes[1].bytes, block));
        EXPECT_EQ(writes[2].bytes, "\x18");
        double gap = writes[1].startMs - writes[0].startMs;
        EXPECT_GE(gap, 2.0 * block - 10) << block;
        EXPECT_LE(gap, 2.0 * block + 500) << block << ": well below three times the block";
        return gap;
    };
    double small = gapFor(160), large = gapFor(480);
    ASSERT_GT(small, 0);
    ASSERT_GT(large, 0);
    EXPECT_GE(large - small, 2.0 * (480 - 160) - 300) << "the wait follows the block size";
}

TEST(FakeLineWakeup, AtOneHundredTenBaudNothingCanBeSent) {
    FakeLine line;
    double start = line.NowMs();
    SetLastError(0);
    EXPECT_FALSE(Wakeup(line.handle(), 0));
    EXPECT_NE(GetLastError(), kNoAnswer) << "not the no-answer code: the line could not be used";
    EXPECT_LT(line.NowMs() - start, 100.0);
    EXPECT_EQ(line.Writes().size(), 0u);
}

TEST(FakeLineWakeup, SilentPrinterFailsWithNoAnswerAfterTenReads) {
    FakeLine line;
    line.SetReadTimeouts(200, 300);
    double start = line.NowMs();
    SetLastError(0);
    EXPECT_FALSE(Wakeup(line.handle(), 48));
    EXPECT_EQ(GetLastError(), kNoAnswer);
    double elapsed = line.NowMs() - start;
    // Ten rounds of a 300 ms read and a 96 ms pause.
    EXPECT_GE(elapsed, 10 * 300.0);
    EXPECT_LE(elapsed, 10 * 396.0 + 1500);
    EXPECT_EQ(line.AllWritten().find('\x18'), std::string::npos) << "no CAN without an answer";
}

TEST(FakeLineWakeup, DsrRaisedDuringTheWakeupEndsIt) {
    FakeLine line;
    line.SetReadTimeouts(200, 300);
    line.onWrite = [](FakeLine&, const std::string&) {};
    HANDLE t = CreateThread(nullptr, 0, [](void* p) WINAPI -> DWORD {
        Sleep(150);
        static_cast<FakeLine*>(p)->SetDsr(true);
        return 0;
    }, &line, 0, nullptr);
    EXPECT_TRUE(Wakeup(line.handle(), 48));
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    EXPECT_EQ(line.AllWritten().back(), '\x18');
}

TEST(FakeLineWakeup, WriteThatMovesNothingFailsAndStopsTheReader) {
    FakeLine line;
    line.accept = [](const std::string&) -> DWORD { return 0; };
    double start = line.NowMs();
    EXPECT_FALSE(Wakeup(line.handle(), 48));
    EXPECT_NE(GetLastError(), kNoAnswer);
    EXPECT_LT(line.NowMs() - start, 1000.0) << "the reader is stopped, not waited out";
}

TEST(FakeLineQuery, ClearsTheReceiverThenAsksAndCompares) {
    FakeLine line;
    line.Deliver("stale bytes");
    vt::AnswerAsPrinter(line, "   9600,N,8,1\r");
    vt::SettingsRecord r;
    EXPECT_TRUE(SetPrinterSettings(line.handle(), r.config.dcb));
    EXPECT_EQ(line.Purges(), 1);
    EXPECT_EQ(line.AllWritten(), "\x18\x1D\x49\x04");
}

TEST(FakeLineQuery, BadRepliesAreMismatchesNeverFaults) {
    vt::SettingsRecord r;
    const std::string replies[] = {
        "19200,N,8,1\r", std::string(60, '9'), std::string(30, '\0'), "    \r", "\r",
        std::string("\x80\xFF\x13\x11\x00zz", 7), "9600,N,8,1,9600,N,8,1\r"};
    for (const auto& reply : replies) {
        FakeLine line;
        vt::AnswerAsPrinter(line, reply);
        EXPECT_FALSE(SetPrinterSettings(line.handle(), r.config.dcb)) << reply;
    }
    FakeLine silent;
    silent.SetReadTimeouts(200, 200);
    EXPECT_FALSE(SetPrinterSettings(silent.handle(), r.config.dcb)) << "no reply";
}

TEST(FakeLineWrite, ChunksOfSixtyFourBytes) {
    FakeLine line;
    FakePort port(line);
    std::string data(150, 'x');
    for (int i = 0; i < 150; ++i) data[i] = static_cast<char>('a' + i % 26);
    DWORD written = 12345;
    ASSERT_TRUE(VeskWritePort(port.entry, reinterpret_cast<LPBYTE>(data.data()), 150, &written));
    EXPECT_EQ(written, 150u);
    auto writes = line.Writes();
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0].bytes.size(), 64u);
    EXPECT_EQ(writes[1].bytes.size(), 64u);
    EXPECT_EQ(writes[2].bytes.size(), 22u);
    EXPECT_EQ(line.AllWritten(), data);

    ASSERT_TRUE(VeskWritePort(port.entry, reinterpret_cast<LPBYTE>(data.data()), 64, &written));
    EXPECT_EQ(line.Writes().size(), 4u) << "64 bytes are one write";
    ASSERT_TRUE(VeskWritePort(port.entry, reinterpret_cast<LPBYTE>(data.data()), 0, &written));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(line.Writes().size(), 5u) << "a write of nothing is one device write of nothing";
}

TEST(FakeLineWrite, PartialWritesGoOnWhereTheyStopped) {
    FakeLine line;
    FakePort port(line);
    line.accept = [](const std::string& b) -> DWORD { return b.size() < 10 ? b.size() : 10; };
    std::string data(150, 'y');
    for (int i = 0; i < 150; ++i) data[i] = static_cast<char>(i);
    DWORD written = 0;
    ASSERT_TRUE(VeskWritePort(port.entry, reinterpret_cast<LPBYTE>(data.data()), 150, &written));
    EXPECT_EQ(written, 150u);
    EXPECT_EQ(line.AllWritten(), data);
}

TEST(FakeLineWrite, WritesThatMoveNothingGiveUpWithCounterTimeout) {
    FakeLine line;
    FakePort port(line);
    line.accept = [](const std::string&) -> DWORD { return 0; };
    char data[100] = {};
    DWORD written = 99;
    SetLastError(0);
    EXPECT_FALSE(VeskWritePort(port.entry, reinterpret_cast<LPBYTE>(data), 100, &written));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_COUNTER_TIMEOUT));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(line.Writes().size(), static_cast<size_t>(kIdleChunkLimit));
}

TEST(FakeLineWrite, PortWithoutADocumentIsRefused) {
    FakeLine line;
    FakePort port(line, 0);
    char data[4] = {};
    DWORD written = 0;
    EXPECT_FALSE(VeskWritePort(port.entry, reinterpret_cast<LPBYTE>(data), 4, &written));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(line.Writes().size(), 0u);
}

namespace {
// A write of the job on a thread of its own. A test that fails while the write waits for XON
// leaves it to the destructor, which sends the XON and waits for the thread before the port
// and the line go.
struct Writer {
    PortEntry* entry;
    FakeLine& line;
    std::string data;
    BOOL ok = FALSE;
    DWORD written = 0, error = 0;
    HANDLE thread = nullptr;
    ~Writer() {
        if (!thread) return;
        if (!Join(0)) {
            line.Deliver(kXonByte);
            if (!Join(30000)) {
                std::fprintf(stderr, "a job write did not end 30 s after XON; stopping here\n");
                std::fflush(stderr);
                TerminateProcess(GetCurrentProcess(), 3);
            }
        }
        CloseHandle(thread);
    }
    void Start() {
        thread = CreateThread(nullptr, 0, [](void* p) WINAPI -> DWORD {
            auto* w = static_cast<Writer*>(p);
            w->ok = VeskWritePort(w->entry, reinterpret_cast<LPBYTE>(w->data.data()),
                                  static_cast<DWORD>(w->data.size()), &w->written);
            w->error = GetLastError();
            return 0;
        }, this, 0, nullptr);
    }
    bool Join(DWORD ms) { return WaitForSingleObject(thread, ms) == WAIT_OBJECT_0; }
};
}  // namespace

TEST(FakeLineFlow, XoffHoldsTheWriteAtAChunkBoundaryAndXonResumesIt) {
    FakeLine line;
    line.SetBaud(9600);  // 64 bytes take about 67 ms
    FakePort port(line);
    // The printer sends XOFF as the second chunk reaches it, and the line notes when the
    // monitor's reader took it: the moments that matter are the line's, however late the
    // threads run.
    int chunks = 0;
    line.onWrite = [&](FakeLine& l, const std::string&) {
        if (++chunks == 2) l.Deliver(kXoffByte);
    };
    Writer w{port.entry, line, std::string(640, 'z')};
    for (size_t i = 0; i < w.data.size(); ++i) w.data[i] = static_cast<char>('A' + i % 50);
    w.Start();
    ASSERT_TRUE(vt::WaitUntil([&] { return line.TakenAtMs(kXoffByte[0]) >= 0; }, 10000));
    double xoffTaken = line.TakenAtMs(kXoffByte[0]);
    Sleep(400);  // six chunks' time: a write that ignored XOFF would go on
    size_t during = 0;
    for (const auto& wr : line.Writes())
        if (wr.startMs > xoffTaken) during += wr.moved;
    EXPECT_LE(during, 64u) << "at most the chunk that was starting still goes";
    EXPECT_FALSE(w.Join(0)) << "the write waits for XON";
    line.Deliver(kXonByte);
    ASSERT_TRUE(w.Join(15000));
    EXPECT_TRUE(w.ok);
    EXPECT_EQ(w.written, 640u);
    EXPECT_EQ(line.AllWritten(), w.data) << "every byte once, in order";
}

TEST(FakeLineFlow, XoffLongerThanTheRetryTimeoutFailsTheWrite) {
    FakeLine line;
    FakePort port(line, 300);
    line.Deliver(kXoffByte);
    ASSERT_TRUE(line.WaitUntilReadAll(vt::kWaitMs)) << "the busy thread took the XOFF";
    Writer w{port.entry, line, std::string(100, 'q')};
    double start = line.NowMs();
    w.Start();
    ASSERT_TRUE(w.Join(3000));
    EXPECT_FALSE(w.ok);
    EXPECT_EQ(w.error, static_cast<DWORD>(ERROR_COUNTER_TIMEOUT));
    EXPECT_EQ(w.written, 0u);
    EXPECT_GE(line.NowMs() - start, 290.0);
}

TEST(FakeLineFlow, BusyThreadIgnoresStrayXonAndDataInsideABusyPeriod) {
    FakeLine line;
    FakePort port(line);
    JobFlow* flow = port.entry->pFlow;
    // Each state is looked at once the busy thread has read every byte and come back for
    // more, so it has acted on them all.
    line.Deliver(kXonByte + "junk");
    ASSERT_TRUE(line.WaitUntilReadAll(vt::kWaitMs));
    EXPECT_EQ(WaitForSingleObject(flow->XoffSection, 0), WAIT_OBJECT_0) << "XON alone changes nothing";
    line.Deliver(kXoffByte + "ab\x12" "cd");
    ASSERT_TRUE(line.WaitUntilReadAll(vt::kWaitMs));
    EXPECT_EQ(WaitForSingleObject(flow->XoffSection, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    line.Deliver("more data");
    ASSERT_TRUE(line.WaitUntilReadAll(vt::kWaitMs));
    EXPECT_EQ(WaitForSingleObject(flow->XoffSection, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    line.Deliver(kXonByte);
    ASSERT_TRUE(line.WaitUntilReadAll(vt::kWaitMs));
    EXPECT_EQ(WaitForSingleObject(flow->XoffSection, 0), WAIT_OBJECT_0);
}

TEST(FakeLineFlow, EndOfDocumentStopsABusyThreadThatWaitsForXon) {
    FakeLine line;
    line.SetReadTimeouts(200, 60000);  // reads that outlast the stop's whole wait for the thread
    JobFlow* flow = StartJobFlow(line.handle(), 60000);
    ASSERT_NE(flow, nullptr);
    line.Deliver(kXoffByte);
    ASSERT_TRUE(line.WaitUntilReadAll(vt::kWaitMs));
    ASSERT_EQ(WaitForSingleObject(flow->XoffSection, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    HANDLE thread = nullptr;
    DuplicateHandle(GetCurrentProcess(), flow->thread.hThread, GetCurrentProcess(), &thread, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    double start = line.NowMs();
    StopJobFlow(flow);
    EXPECT_LT(line.NowMs() - start, kThreadStopLimitMs / 2.0) << "not a read time-out, not the next XON";
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "the thread has ended";
    CloseHandle(thread);
}

TEST(FakeLineFlow, ReadsThatReturnAtOnceDoNotMakeTheBusyThreadSpin) {
    // Time-outs that make every read return at once with nothing, as a device request may
    // set them: the busy thread paces its reads, and still sees the printer's XOFF.
    FakeLine line;
    line.SetReadTimeouts(0, 0);
    JobFlow* flow = StartJobFlow(line.handle(), 1000);
    ASSERT_NE(flow, nullptr);
    long before = line.Reads();
    Sleep(500);
    long reads = line.Reads() - before;
    line.Deliver("\x13");
    EXPECT_TRUE(vt::WaitUntil([&] { return WaitForSingleObject(flow->XoffSection, 0) != WAIT_OBJECT_0; },
                              vt::kWaitMs));
    StopJobFlow(flow);
    EXPECT_LE(reads, 25) << "reads in half a second";
    EXPECT_GE(reads, 3) << "it still reads";
}

TEST(LineRequest, SizesWhoseSumWouldWrapAreRefused) {
    // On a 32-bit build the two sizes would add up to a small block that the copies overrun.
    HANDLE device = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD returned = 7;
    SetLastError(0);
    EXPECT_FALSE(Line().control(device, 0x1B0040, nullptr, 0xFFFFFF00u, nullptr, 0x200, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(returned, 0u);
    CloseHandle(device);
}

TEST(FakeLineSettingsChange, SendsTheChangeAndStatusThenSwitchesAndChecks) {
    vt::ScopedSection section(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}});
    FakeLine line;
    line.SetDsr(true);
    vt::AnswerAsPrinter(line, "19200,N,8,1\r", std::string("\x06\x00\x01", 3));
    vt::PromptRecorder prompts;
    std::vector<size_t> writesAtQuestion;
    prompts.onQuestion = [&] { writesAtQuestion.push_back(line.Writes().size()); };
    vt::SettingsRecord r(19200);
    r.record.hComm = line.handle();
    EXPECT_EQ(SetVeskPortSettings(r.bytes(), sizeof r.record, nullptr, 0, nullptr), 0u);
    std::string all = line.AllWritten();
    std::string expected = std::string("\x1B\x58\x04") + "19200,n,8,1" + "\x1D\x49\x0F" +
                           std::string("\x1B\x58\x0B\x00\x00", 5);
    EXPECT_EQ(all.substr(0, expected.size()), expected);
    ASSERT_EQ(prompts.questions.size(), 1u) << "the status asked for a power cycle";
    EXPECT_NE(prompts.questions[0].text.find(L"Please remove power or charger"), std::wstring::npos);
    EXPECT_EQ(writesAtQuestion[0], 2u) << "asked after the status, before the switch";
    EXPECT_EQ(line.LastOpenedDcb().BaudRate, 19200u) << "reopened at the new settings";
    EXPECT_EQ(vt::Value(L"Vesk Ports", L"VESK"), std::wstring(L"COM1:,19200,n,8,1"));
    EXPECT_GE(line.Closes(), 2) << "the old and the reopened line are both closed";
}

TEST(FakeLineSettingsChange, CancelledPowerCycleChangesNothing) {
    vt::ScopedSection section(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}});
    FakeLine line;
    vt::AnswerAsPrinter(line, "19200,N,8,1\r", std::string("\x06\x00\x01", 3));
    vt::PromptRecorder prompts;
    prompts.answer = IDCANCEL;
    vt::SettingsRecord r(19200);
    r.record.hComm = line.handle();
    EXPECT_EQ(SetVeskPortSettings(r.bytes(), sizeof r.record, nullptr, 0, nullptr), 1u);
    EXPECT_EQ(line.AllWritten().find("\x1B\x58\x0B"), std::string::npos) << "no switch command";
    EXPECT_EQ(vt::Value(L"Vesk Ports", L"VESK"), std::wstring(L"COM1:,9600,N,8,1"));
    EXPECT_EQ(line.Closes(), 1);
}

TEST(FakeLineSettingsChange, ChangeThePrinterDoesNotTakeIsReportedAndNothingIsStored) {
    // "&Configure COM" of the monitor's dialog: the printer answers at the stored settings,
    // but the line takes nothing of the switch command, so the printer never switches.
    vt::ScopedSection section(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}});
    FakeLine line;
    line.SetDsr(true);
    vt::AnswerAsPrinter(line, "9600,N,8,1\r");
    line.accept = [](const std::string& b) -> DWORD {
        return b.rfind("\x1B\x58\x0B", 0) == 0 ? 0 : static_cast<DWORD>(b.size());
    };
    vt::PromptRecorder prompts;
    prompts.chosen = vt::SettingsRecord(19200).config.dcb;
    ChangeBaudRate(nullptr);
    EXPECT_EQ(prompts.settingsDialogs, std::vector<std::wstring>{L"COM1"});
    EXPECT_NE(line.AllWritten().find(std::string("\x1B\x58\x04") + "19200,n,8,1"), std::string::npos)
        << "the printer was told the new settings";
    LPWSTR notReady = GetErrorMessage(ERROR_NOT_READY);
    ASSERT_NE(notReady, nullptr);
    ASSERT_EQ(prompts.questions.size(), 1u) << "the failure is told";
    EXPECT_EQ(prompts.questions[0].text, std::wstring(notReady));
    GlobalFree(notReady);
    EXPECT_EQ(prompts.questions[0].type, static_cast<UINT>(MB_ICONHAND | MB_OK));
    EXPECT_EQ(vt::Value(L"Vesk Ports", L"VESK"), std::wstring(L"COM1:,9600,N,8,1"));
}

TEST(FakeLineSettingsChange, WaitForDsrIsBounded) {
    vt::ScopedSection section(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}});
    FakeLine line;
    vt::AnswerAsPrinter(line, "19200,N,8,1\r");
    vt::SettingsRecord r(19200);
    r.record.hComm = line.handle();
    double start = line.NowMs();
    EXPECT_EQ(SetVeskPortSettings(r.bytes(), sizeof r.record, nullptr, 0, nullptr), 0u);
    double elapsed = line.NowMs() - start;
    // Settle, a DSR wait that never ends by itself, then the query.
    EXPECT_GE(elapsed, kSwitchSettleMs + kDsrWaitLimitMs - 50.0);
    EXPECT_LE(elapsed, kSwitchSettleMs + kDsrWaitLimitMs + 1500.0);
}

TEST(FakeLineSettingsChange, GivesUpAfterTwelveAttempts) {
    vt::ScopedSection section(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}});
    FakeLine line;
    line.SetDsr(true);
    vt::AnswerAsPrinter(line, "4800,N,8,1\r");
    vt::SettingsRecord r(19200);
    r.record.hComm = line.handle();
    EXPECT_EQ(SetVeskPortSettings(r.bytes(), sizeof r.record, nullptr, 0, nullptr), 1u);
    size_t statuses = 0;
    for (const auto& w : line.Writes()) statuses += w.bytes == "\x1D\x49\x0F";
    EXPECT_EQ(statuses, 12u);
    EXPECT_EQ(vt::Value(L"Vesk Ports", L"VESK"), std::wstring(L"COM1:,9600,N,8,1"));
    EXPECT_EQ(line.Opens(), 12);
    EXPECT_EQ(line.Closes(), 13);
}

TEST(FakeLineSettingsChange, RecordsWithoutAConfigurationOrDeviceAreRefused) {
    vt::SettingsRecord r;
    r.record.pConfig = nullptr;
    EXPECT_EQ(SetVeskPortSettings(r.bytes(), sizeof r.record, nullptr, 0, nullptr),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(SetVeskPortSettings(r.bytes(), 8, nullptr, 0, nullptr),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    vt::SettingsRecord noDevice;
    EXPECT_EQ(SetVeskPortSettings(noDevice.bytes(), sizeof noDevice.record, nullptr, 0, nullptr), 1u);
    LONG h = 0;
    DWORD needed = 0;
    EXPECT_EQ(SetVeskPrintSettings(noDevice.bytes(), sizeof noDevice.record,
                                   reinterpret_cast<PBYTE>(&h), 2, &needed),
              static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(needed, 4u);
}

#include "fake_spooler_table.h"

TEST(FakeLineJobStart, PrinterAtOtherSettingsLeadsToTheSynchronisationAndDeletesTheJob) {
    // With DSR the printer counts as awake without XON; its silence to the query at the
    // PC's settings is a mismatch.
    vt::ScopedSection section(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}});
    vt::FakeSpoolerInProcess spooler;
    spooler.Answer(IDNO);
    FakeLine line;
    line.SetDsr(true);
    line.SetReadTimeouts(200, 300);
    FakePort port(line, 0);
    SetLastError(0);
    EXPECT_FALSE(VeskStartDocPort(port.entry, const_cast<LPWSTR>(L"Vesk Receipt"), 7, 1, nullptr));
    EXPECT_EQ(spooler.Count(L"[Vesk Port Monitor] The printer settings are not the same"), 1)
        << vt::Narrow(spooler.Log());
    EXPECT_EQ(spooler.Count(L"SetJobW 7 status 0x20 document receipt"), 1) << vt::Narrow(spooler.Log());
    EXPECT_EQ(spooler.Count(L"SetJobW 7 command 5"), 1);
    EXPECT_EQ(spooler.Count(L"ClosePrinter"), 1);
    EXPECT_EQ(port.entry->Status, 0u) << "the port can be started again";
    EXPECT_EQ(port.entry->hFile, INVALID_HANDLE_VALUE);
    EXPECT_EQ(port.entry->pPrinterName, nullptr);
}

TEST(FakeLineJobStart, QuestionsGoToTheUsersSessionFromSessionZero) {
    vt::FakeSpoolerInProcess spooler;
    spooler.Answer(IDOK);
    HANDLE printer = nullptr;
    ASSERT_TRUE(Spooler().OpenPrinterW(const_cast<LPWSTR>(L"Vesk Receipt"), &printer, nullptr));
    {
        ScopedPromptJob job(printer, 42);
        EXPECT_EQ(AskUser(nullptr, L"text", L"caption", MB_OKCANCEL), IDOK);
        COMMCONFIG cc{};
        EXPECT_FALSE(ChooseSettings(L"COM1", nullptr, &cc)) << "no dialog can be shown there";
        TellUser(L"notice", L"ValidateDosDevicePort");
    }
    EXPECT_EQ(spooler.Count(L"Ask job 42 [caption] text style 0x1 timeout 600 -> 1"), 1)
        << vt::Narrow(spooler.Log());
    EXPECT_EQ(spooler.Count(L"Ask job 42 [ValidateDosDevicePort] notice style 0x0 timeout 600 "
                            L"without waiting"), 1)
        << "a notice never holds the spooler's thread: " << vt::Narrow(spooler.Log());
    Spooler().ClosePrinter(printer);
}
