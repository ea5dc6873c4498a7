// The printer model's protocol, driven directly with bytes and times.
#include "printer_model.h"

#include <gtest/gtest.h>

using namespace vesksim;

namespace {

std::string Zeros(std::size_t n) { return std::string(n, '\0'); }
const std::string kXonByte(1, '\x11');
const std::string kXoffByte(1, '\x13');

// Wakes a printer that needs `bursts` bursts and returns what it sent.
std::string WakeWithBursts(PrinterModel& p, int bursts, double& t) {
    std::string out;
    for (int i = 0; i < bursts; ++i) {
        p.receive(Zeros(48), t, true);
        t += 96;
        p.tick(t);
        out += p.takeToPc();
    }
    return out;
}

}  // namespace

TEST(PrinterWakeUp, SleepingPrinterAnswersXonAfterItsBursts) {
    PrinterConfig c;
    c.wakeAfterBursts = 2;
    PrinterModel p(c);
    double t = 0;
    p.receive(Zeros(48), t, true);
    p.tick(t + 96);
    EXPECT_EQ(p.takeToPc(), "") << "one burst is not enough";
    EXPECT_FALSE(p.awake());
    p.receive(Zeros(48), t + 192, true);
    p.tick(t + 288);
    EXPECT_EQ(p.takeToPc(), kXonByte);
    EXPECT_TRUE(p.awake());
    EXPECT_EQ(p.counters().bursts, 2u);
    EXPECT_EQ(p.takePaper(), "") << "wake-up zeros are not print data";
}

TEST(PrinterWakeUp, TheWakeStatusTellsWhetherThePrinterIsAwake) {
    PrinterModel p;
    p.receive("\x1D\x05", 0, true);
    EXPECT_EQ(p.takeToPc(), std::string(1, '\0'));
    p.wakeUp();
    p.receive("\x1D\x05", 10, true);
    EXPECT_EQ(p.takeToPc(), "\x04");
    p.receive("\x18\x1D\x49\x04", 20, true);
    EXPECT_EQ(p.takeToPc(), "9600,N,8,1\r") << "awake, it answers the settings query";
}

TEST(PrinterWakeUp, AwakePrinterAnswersEveryBurstButPrintsZerosInsideData) {
    PrinterModel p;
    double t = 0;
    EXPECT_EQ(WakeWithBursts(p, 1, t), kXonByte);
    EXPECT_EQ(WakeWithBursts(p, 1, t), kXonByte);
    p.receive("\x18", t, true);
    p.receive("AB" + Zeros(4) + "CD", t + 30, true);
    p.receive(Zeros(3), t + 31, true);
    p.receive("E", t + 32, true);
    p.tick(t + 100);
    EXPECT_EQ(p.takeToPc(), "") << "zeros running into data are no burst";
    EXPECT_EQ(p.takePaper(), "AB" + Zeros(4) + "CD" + Zeros(3) + "E");
    EXPECT_EQ(p.counters().bursts, 2u);
}

TEST(PrinterWakeUp, NeverWakesWithZeroBurstsOrWhenSilent) {
    PrinterConfig never;
    never.wakeAfterBursts = 0;
    PrinterModel a(never);
    double t = 0;
    EXPECT_EQ(WakeWithBursts(a, 10, t), "");
    EXPECT_EQ(a.counters().bursts, 10u);

    PrinterConfig silent;
    silent.silent = true;
    PrinterModel b(silent);
    t = 0;
    EXPECT_EQ(WakeWithBursts(b, 3, t), "");
    EXPECT_EQ(b.counters().suppressed, 3u);
}

TEST(PrinterWakeUp, WakeStatusRequestReportsAwakeInBitTwo) {
    PrinterModel p;
    p.receive("\x1D\x05", 0, true);
    EXPECT_EQ(p.takeToPc(), std::string(1, '\0'));
    double t = 10;
    WakeWithBursts(p, 1, t);
    p.receive("\x1D\x05", t, true);
    EXPECT_EQ(p.takeToPc(), "\x04");
}

TEST(PrinterWakeUp, NextJobsWakeUpIsAnsweredRightAfterPrinting) {
    PrinterModel p;
    double t = 0;
    WakeWithBursts(p, 1, t);
    p.receive("\x18hello", t, true);
    t += 30;
    EXPECT_EQ(WakeWithBursts(p, 1, t), kXonByte) << "the next job's wake-up is answered";
    EXPECT_EQ(p.takePaper(), "hello");
}

TEST(PrinterWakeUp, BusyPrinterAnswersABurstWithItsXonWhenDrained) {
    PrinterConfig c;
    c.bufferSize = 100;
    c.xoffAt = 50;
    c.xonAt = 10;
    c.hold = true;
    PrinterModel p(c);
    double t = 0;
    WakeWithBursts(p, 1, t);
    p.takeToPc();
    p.receive("\x18" + std::string(60, 'x'), t, true);
    EXPECT_EQ(p.takeToPc(), kXoffByte);
    t += 50;
    EXPECT_EQ(WakeWithBursts(p, 1, t), "") << "no XON while busy";
    p.config().hold = false;
    p.tick(t + 1);
    EXPECT_EQ(p.takeToPc(), kXonByte);
}

TEST(PrinterLine, NoiseChangesNothing) {
    PrinterModel p;
    double t = 0;
    for (int i = 0; i < 3; ++i) {
        p.receive(Zeros(48), t, false);
        t += 100;
        p.tick(t);
    }
    p.receive("\x18\x1DI\x04", t, false);
    EXPECT_EQ(p.takeToPc(), "");
    EXPECT_FALSE(p.awake());
    EXPECT_EQ(p.counters().noise, 148u);
    EXPECT_EQ(p.counters().queries, 0u);
}

TEST(PrinterCommands, SettingsQueryRepliesWithTextAndEndCharacter) {
    PrinterConfig c;
    c.settings = *ParseLineSettings("19200,e,7,2");
    PrinterModel p(c);
    double t = 0;
    WakeWithBursts(p, 1, t);
    p.receive("\x18", t, true);
    p.receive("\x18\x1DI\x04", t + 1, true);
    EXPECT_EQ(p.takeToPc(), "19200,E,7,2\r");

    p.config().replyPrefix = "   ";
    p.config().endChar = '\n';
    p.receive("\x18\x1DI\x04", t + 2, true);
    EXPECT_EQ(p.takeToPc(), "   19200,E,7,2\n");

    p.config().queryReply = std::string("9600,N,8");
    p.receive("\x18\x1DI\x04", t + 3, true);
    EXPECT_EQ(p.takeToPc(), "9600,N,8");
    EXPECT_EQ(p.counters().queries, 3u);
    EXPECT_EQ(p.takePaper(), "");
}

TEST(PrinterCommands, StatusCarriesThePowerCycleRequest) {
    PrinterModel p;
    double t = 0;
    WakeWithBursts(p, 1, t);
    p.receive("\x18\x1DI\x0F", t, true);
    std::string s = p.takeToPc();
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[2] & 1, 0);
    p.config().powerCycleRequest = true;
    p.receive("\x1DI\x0F", t + 1, true);
    s = p.takeToPc();
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[2] & 1, 1);
}

TEST(PrinterCommands, SettingsChangeTakesEffectAtTheSwitch) {
    PrinterConfig c;
    c.powerCycleRequest = true;
    PrinterModel p(c);
    double t = 0;
    WakeWithBursts(p, 1, t);
    p.receive(std::string("\x18\x1BX\x04") + "19200,n,8,1" + "\x1DI\x0F", t, true);
    ASSERT_TRUE(p.pendingSettings());
    EXPECT_EQ(p.pendingSettings()->text(), "19200,n,8,1");
    EXPECT_EQ(p.config().settings.baud, 9600u) << "nothing changes before the switch";
    p.takeToPc();
    p.receive(std::string("\x1BX\x0B\x00\x00", 5), t + 1, true);
    EXPECT_EQ(p.takeToPc(), kXoffByte) << "the printer signals the switch with XOFF";
    EXPECT_EQ(p.config().settings.text(), "19200,n,8,1");
    EXPECT_FALSE(p.config().powerCycleRequest);
    EXPECT_EQ(p.counters().switches, 1u);
    EXPECT_EQ(p.takePaper(), "");
}

TEST(PrinterCommands, SettingsTextEndsAfterAPause) {
    PrinterModel p;
    double t = 0;
    WakeWithBursts(p, 1, t);
    p.receive(std::string("\x18\x1BX\x04") + "4800,o,7,2", t, true);
    p.tick(t + 50);
    ASSERT_TRUE(p.pendingSettings());
    EXPECT_EQ(p.pendingSettings()->text(), "4800,o,7,2");
}

TEST(PrinterCommands, OtherEscapeSequencesArePrinted) {
    PrinterModel p;
    double t = 0;
    WakeWithBursts(p, 1, t);
    p.receive("\x18\x1B@Hi\x1DV\x01\x1DI\x02\x1BXZ", t, true);
    EXPECT_EQ(p.takePaper(), "\x1B@Hi\x1DV\x01\x1DI\x02\x1BXZ");
    EXPECT_EQ(p.takeToPc(), "");
}

TEST(PrinterFlow, XoffWhenNearlyFullXonWhenDrained) {
    PrinterConfig c;
    c.bufferSize = 100;
    c.xoffAt = 80;
    c.xonAt = 20;
    c.paperRate = 1000;  // a byte a millisecond
    PrinterModel p(c);
    double t = 0;
    WakeWithBursts(p, 1, t);
    p.takeToPc();
    p.receive("\x18", t, true);
    p.receive(std::string(90, 'x'), t, true);
    EXPECT_EQ(p.takeToPc(), kXoffByte);
    EXPECT_TRUE(p.inXoff());
    p.tick(t + 30);
    EXPECT_EQ(p.takeToPc(), "") << "60 bytes left, not yet drained";
    p.tick(t + 71);
    EXPECT_EQ(p.takeToPc(), kXonByte);
    EXPECT_FALSE(p.inXoff());
    p.tick(t + 200);
    EXPECT_EQ(p.takePaper(), std::string(90, 'x'));
    EXPECT_EQ(p.counters().overflow, 0u);
}

TEST(PrinterFlow, PaperWithARateSaysWhenItStartsAndStops) {
    PrinterConfig c;
    c.paperRate = 1000;  // a byte a millisecond
    PrinterModel p(c);
    double t = 0;
    WakeWithBursts(p, 1, t);
    p.receive("\x18", t, true);
    p.takeEvents();
    p.receive(std::string(50, 'x'), t, true);
    p.tick(t + 5);
    EXPECT_EQ(p.takeEvents(), std::vector<std::string>{"paper starts"});
    p.tick(t + 30);
    EXPECT_TRUE(p.takeEvents().empty()) << "20 bytes still to print";
    p.tick(t + 51);
    EXPECT_EQ(p.takeEvents(), std::vector<std::string>{"paper stops"});
    p.receive(std::string(50, 'y'), t + 60, true);
    p.tick(t + 65);
    p.config().hold = true;
    p.tick(t + 70);
    EXPECT_EQ(p.takeEvents(), (std::vector<std::string>{"paper starts", "paper stops"}))
        << "held paper stops with bytes left";

    PrinterModel instant;  // paper without a rate of its own: no run to time
    WakeWithBursts(instant, 1, t);
    instant.receive("\x18" + std::string(50, 'x'), t, true);
    instant.tick(t + 10);
    for (const auto& e : instant.takeEvents()) EXPECT_EQ(e.rfind("paper", 0), std::string::npos) << e;
}

TEST(PrinterFlow, BytesBeyondTheBufferAreLost) {
    PrinterConfig c;
    c.bufferSize = 10;
    c.xoffAt = 8;
    c.xonAt = 2;
    c.hold = true;
    PrinterModel p(c);
    double t = 0;
    WakeWithBursts(p, 1, t);
    p.receive("\x18" + std::string(25, 'y'), t, true);
    EXPECT_EQ(p.counters().overflow, 15u);
    p.config().hold = false;
    p.tick(t + 1);
    EXPECT_EQ(p.takePaper(), std::string(10, 'y'));
}

TEST(PrinterWakeUp, BurstRunningIntoCanIsNoPrintData) {
    PrinterModel p;
    double t = 0;
    WakeWithBursts(p, 1, t);
    p.takeToPc();
    p.receive(Zeros(48), t, true);
    p.receive("\x18" "data", t + 2, true);
    p.tick(t + 100);
    EXPECT_EQ(p.takePaper(), "data");
    EXPECT_EQ(p.counters().bursts, 2u);
    EXPECT_EQ(p.takeToPc(), "") << "the PC has gone on already";
}
