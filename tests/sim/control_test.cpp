// The simulator's control language.
#include "control.h"

#include "../common/simulator_defaults.h"

#include <gtest/gtest.h>

using namespace vesksim;

TEST(ControlHex, DecodesSpacedAndPlainHexAndRejectsTheRest) {
    EXPECT_EQ(DecodeHex("11 13"), std::string("\x11\x13"));
    EXPECT_EQ(DecodeHex("1b580b0000"), std::string("\x1B\x58\x0B\x00\x00", 5));
    EXPECT_EQ(DecodeHex(""), std::string());
    EXPECT_FALSE(DecodeHex("1"));
    EXPECT_FALSE(DecodeHex("zz"));
}

TEST(ControlCommands, ChangeThePrinter) {
    PrinterModel m;
    ControlAction a;
    EXPECT_EQ(ApplyControl("settings 19200,e,7,2", m, a), "");
    EXPECT_EQ(m.config().settings.text(), "19200,e,7,2");
    EXPECT_EQ(ApplyControl("wake-after 3", m, a), "");
    EXPECT_EQ(m.config().wakeAfterBursts, 3u);
    EXPECT_EQ(ApplyControl("silent on", m, a), "");
    EXPECT_TRUE(m.config().silent);
    EXPECT_EQ(ApplyControl("silent off\r\n", m, a), "");
    EXPECT_FALSE(m.config().silent);
    EXPECT_EQ(ApplyControl("power-cycle on", m, a), "");
    EXPECT_TRUE(m.config().powerCycleRequest);
    EXPECT_EQ(ApplyControl("reply-query 20 20 39 36 30 30 0d", m, a), "");
    EXPECT_EQ(m.config().queryReply, std::string("  9600\r"));
    EXPECT_EQ(ApplyControl("reply-query off", m, a), "");
    EXPECT_FALSE(m.config().queryReply);
    EXPECT_EQ(ApplyControl("reply-prefix \\x20\\x20x", m, a), "");
    EXPECT_EQ(m.config().replyPrefix, "  x");
    EXPECT_EQ(ApplyControl("paper-rate 960", m, a), "");
    EXPECT_EQ(m.config().paperRate, 960.0);
    EXPECT_EQ(ApplyControl("buffer 512", m, a), "");
    EXPECT_EQ(m.config().bufferSize, 512u);
}

TEST(ControlCommands, ActionsAreLeftToTheCaller) {
    PrinterModel m;
    ControlAction a;
    EXPECT_EQ(ApplyControl("send 11", m, a), "");
    EXPECT_EQ(a.kind, ControlAction::Send);
    EXPECT_EQ(a.argument, "\x11");
    EXPECT_EQ(ApplyControl("sync abc", m, a), "");
    EXPECT_EQ(a.kind, ControlAction::Sync);
    EXPECT_EQ(a.argument, "abc");
    EXPECT_EQ(ApplyControl("mark job 1", m, a), "");
    EXPECT_EQ(a.argument, "job 1");
    EXPECT_EQ(ApplyControl("quit", m, a), "");
    EXPECT_EQ(a.kind, ControlAction::Quit);
}

TEST(ControlCommands, ErrorsAreReportedAndChangeNothing) {
    PrinterModel m;
    ControlAction a;
    EXPECT_NE(ApplyControl("settings 9600,x,8,1", m, a), "");
    EXPECT_EQ(m.config().settings.text(), "9600,n,8,1");
    EXPECT_NE(ApplyControl("wake-after many", m, a), "");
    EXPECT_NE(ApplyControl("silent maybe", m, a), "");
    EXPECT_NE(ApplyControl("send 1", m, a), "");
    EXPECT_NE(ApplyControl("frobnicate", m, a), "");
}

TEST(ControlCommands, TheTestsDefaultsUndoEverySetting) {
    // Every setting away from its start, and the printer awake.
    PrinterModel m;
    ControlAction a;
    for (const char* line : {"settings 19200,e,7,2", "wake-after 3", "silent on", "power-cycle on", "hold on",
                             "pace on", "reply-query 41", "reply-status 42", "reply-wake 43",
                             "reply-prefix xx", "end-char 0A", "buffer 100", "xoff-at 90", "xon-at 10",
                             "paper-rate 300"})
        ASSERT_EQ(ApplyControl(line, m, a), "") << line;
    m.config().wakeAfterBursts = 1;
    m.receive(std::string(8, '\0'), 0, true);
    m.tick(1000);
    ASSERT_TRUE(m.awake());
    m.config().wakeAfterBursts = 3;

    for (const char* line : vt::kSimulatorDefaults) ASSERT_EQ(ApplyControl(line, m, a), "") << line;
    const PrinterConfig start;
    const PrinterConfig& c = m.config();
    EXPECT_EQ(c.settings, start.settings);
    EXPECT_EQ(c.wakeAfterBursts, start.wakeAfterBursts);
    EXPECT_EQ(c.silent, start.silent);
    EXPECT_EQ(c.powerCycleRequest, start.powerCycleRequest);
    EXPECT_EQ(c.hold, start.hold);
    EXPECT_EQ(c.paceLine, start.paceLine);
    EXPECT_EQ(c.queryReply, start.queryReply);
    EXPECT_EQ(c.statusReply, start.statusReply);
    EXPECT_EQ(c.wakeStatusReply, start.wakeStatusReply);
    EXPECT_EQ(c.replyPrefix, start.replyPrefix);
    EXPECT_EQ(c.endChar, start.endChar);
    EXPECT_EQ(c.bufferSize, start.bufferSize);
    EXPECT_EQ(c.xoffAt, start.xoffAt);
    EXPECT_EQ(c.xonAt, start.xonAt);
    EXPECT_EQ(c.paperRate, start.paperRate);
    EXPECT_EQ(c.burstGapMs, start.burstGapMs) << "no command changes it";
    EXPECT_FALSE(m.awake());
}

TEST(LineSettingsText, ParsesAndFormats) {
    auto s = ParseLineSettings("9600,N,8,1.5");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->stopBits, 15u);
    EXPECT_EQ(s->text(), "9600,n,8,1.5");
    EXPECT_EQ(s->replyText(), "9600,N,8,1.5");
    EXPECT_FALSE(ParseLineSettings("9600,n,8"));
    EXPECT_FALSE(ParseLineSettings("fast,n,8,1"));
    EXPECT_FALSE(ParseLineSettings("9600,n,9,1"));
    EXPECT_TRUE(LineMatches(*ParseLineSettings("9600,n,8,1.5"), {9600, 1}));
    EXPECT_FALSE(LineMatches(*ParseLineSettings("9600,n,8,2"), {9600, 1}));
    EXPECT_FALSE(LineMatches(*ParseLineSettings("19200,n,8,1"), {9600, 1}));
}
