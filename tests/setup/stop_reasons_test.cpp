// A step that stops the run says why, once: a spooler whose lists cannot be had (as when it is
// not there) before a monitor update, in the print processor step, and for Windows 98's driver
// directory. And a run that stops after the driver's files reached the spooler's driver
// directory takes them away again.
#include <gtest/gtest.h>

#include <sstream>

#include "engine_fixture.h"
#include "installation_run.h"
#include "print_processor_install.h"
#include "printer_install.h"
#include "spooler_enum.h"
#include "system_error_text.h"

namespace {

constexpr DWORD kNoSpooler = RPC_S_SERVER_UNAVAILABLE;

// The message lines of a step runner's output.
std::vector<std::string> Messages(const std::string& output) {
    std::vector<std::string> messages;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("message: ", 0) == 0) messages.push_back(line.substr(9));
    }
    return messages;
}

// A message as the step runner prints it: on one line.
std::string OneLine(const std::string& text) {
    std::string line;
    for (char c : text) {
        if (c == '\n') line += "\\n";
        else if (c != '\r') line += c;
    }
    return line;
}

// The spooler's lists fail while it lives.
struct NoLists {
    NoLists() { SetEnumerationFault(kNoSpooler); }
    ~NoLists() { SetEnumerationFault(0); }
};

TEST(EngineStops, AListThatCannotBeHadIsSaidOnce) {
    ASSERT_NO_FATAL_FAILURE(st::ChooseModel(st::AssembledMedium(), "Kx310"));
    const std::vector<std::string> once = {SystemErrorText(kNoSpooler)};
    {
        // The printers a monitor update would offer to replace.
        st::RecordingFrontEnd messages;
        NoLists fault;
        bool removed = false;
        EXPECT_FALSE(RemoveExistingPrinters(removed));
        EXPECT_EQ(messages.Messages(), once);
    }
    {
        // The print processor as the run installs it: asked for, then installed.
        st::RecordingFrontEnd messages;
        NoLists fault;
        const std::string name = Choices().PrinterInfo.PrintProcessor;
        EXPECT_FALSE(PrintProcessorExists(name) || InstallPrintProcessor());
        EXPECT_EQ(messages.Messages(), once);
    }
    // Windows 98's driver directory.
    std::string run = st::RunStepAs("win98", "--list-fault " + std::to_string(kNoSpooler) +
                                                 " --model Kx310 install-driver");
    EXPECT_EQ(st::OutputValue(run, "result"), "false");
    EXPECT_EQ(st::OutputValue(run, "reboot needed"), "false");
    EXPECT_EQ(Messages(run), std::vector<std::string>{OneLine(SystemErrorText(kNoSpooler))}) << run;
}

// A front end the run is given but that never made itself the current one: what the run says
// reaches it only because the run talks to the front end it was given. Kept in order with
// the run's progress.
struct GivenFrontEnd : InstallFrontEnd {
    std::vector<std::string> heard;
    int Ask(const std::string& text, UINT) override {
        heard.push_back(text);
        return IDNO;
    }
    bool AskPortSettings(const std::string&, COMMCONFIG&) override { return false; }
    void Progress(InstallProgress progress) override {
        heard.push_back(progress == InstallProgress::Started ? "(started)" : "(ended)");
    }
};

TEST(EngineStops, ARunThatStopsLeavesNoDriverFilesInTheDriverDirectory) {
    ASSERT_NO_FATAL_FAILURE(st::ChooseModel(st::AssembledMedium(), "Kx310"));
    Choices().gbTalkToPrinter = false;
    // Settings the platform cannot read stop the run at the printer check, after the copy.
    Choices().gstrSettings = "fast";
    st::RecordingFrontEnd elsewhere;
    GivenFrontEnd given;
    InstallRunState state;
    EXPECT_EQ(RunInstallationSteps(given, state), InstallOutcome::Stopped);
    EXPECT_TRUE(elsewhere.Messages().empty()) << elsewhere.Messages()[0];
    // The wait shows before the first message and goes after the last.
    ASSERT_GE(given.heard.size(), 3u);
    EXPECT_EQ(given.heard.front(), "(started)");
    EXPECT_EQ(given.heard.back(), "(ended)");
    EXPECT_EQ(given.heard[given.heard.size() - 2], SystemErrorText(ERROR_INVALID_PARAMETER));
    for (const char* file : {"UNIDRV.DLL", "Kx310.gpd", "VESKRES.DLL"})
        EXPECT_FALSE(st::FileExists(st::DriverFolder() + file)) << file << " left in the driver directory";
}

}  // namespace
