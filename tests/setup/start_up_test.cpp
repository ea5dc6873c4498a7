// The start of a run: the command line, the automatic-restart entry, the program's folder,
// the start values of the installation record and the saved state a resumed run reads.
#include <gtest/gtest.h>

#include "install_choices.h"
#include "model_catalogue.h"
#include "saved_state.h"
#include "setup_fixture.h"
#include "start_up.h"

namespace {

bool Resumes(const char* commandLine) {
    return IsResumeCommand(CommandLineArguments(commandLine));
}

}  // namespace

TEST(StartUp, OnlyTheExactWordInstallResumes) {
    EXPECT_TRUE(Resumes("setup.exe install"));
    EXPECT_TRUE(Resumes("\"C:\\Program Files\\Vesk\\setup.exe\" install"));
    EXPECT_TRUE(Resumes("setup.exe   install")) << "blanks after the program name are no argument";
    EXPECT_FALSE(Resumes("setup.exe Install"));
    EXPECT_FALSE(Resumes("setup.exe INSTALL"));
    EXPECT_FALSE(Resumes("setup.exe install "));
    EXPECT_FALSE(Resumes("setup.exe install now"));
    EXPECT_FALSE(Resumes("setup.exe installs"));
    EXPECT_FALSE(Resumes("setup.exe"));
    EXPECT_FALSE(Resumes("\"C:\\dir with install\\setup.exe\""));
    EXPECT_FALSE(Resumes(""));
}

TEST(StartUp, ResumedRunRemovesTheRunEntryAndAFreshRunKeepsIt) {
    st::RunEntryGuard guard;
    InstallChoices choices;
    const char* fresh[] = {"setup.exe", "setup.exe Install", "setup.exe install ",
                           "setup.exe install now"};
    for (const char* commandLine : fresh) {
        st::SetRunEntry("\"C:\\setup.exe\" install");
        StartInstallChoices(choices, commandLine, "C:\\medium\\setup.exe");
        EXPECT_FALSE(choices.gbResume) << commandLine;
        EXPECT_EQ(st::RunEntry(), "\"C:\\setup.exe\" install") << commandLine;
    }
    StartInstallChoices(choices, "\"C:\\medium\\setup.exe\" install", "C:\\medium\\setup.exe");
    EXPECT_TRUE(choices.gbResume);
    EXPECT_EQ(st::RunEntry(), std::nullopt);
    // Without a value to delete the run still resumes.
    StartInstallChoices(choices, "setup.exe install", "C:\\medium\\setup.exe");
    EXPECT_TRUE(choices.gbResume);
}

TEST(StartUp, SetsTheStartValuesOfTheRecord) {
    InstallChoices choices;
    DriverInfo model;
    choices.gpModel = &model;
    choices.gbReplaceDriver = choices.gbDefaultPrinter = choices.gbTestPage = false;
    StartInstallChoices(choices, "setup.exe", "C:\\Vesk medium\\disk 1\\setup.exe");
    EXPECT_EQ(choices.gstrSetupDir, "C:\\Vesk medium\\disk 1\\");
    EXPECT_EQ(choices.gpModel, nullptr);
    EXPECT_TRUE(choices.gbReplaceDriver);
    EXPECT_TRUE(choices.gbDefaultPrinter);
    EXPECT_TRUE(choices.gbTestPage);
    EXPECT_FALSE(choices.gbTalkToPrinter);
    EXPECT_EQ(choices.gModelIndex, 0);
    EXPECT_TRUE(choices.gstrPort.empty() && choices.gstrSettings.empty());
    EXPECT_TRUE(choices.PrinterInfo.PortName.empty()) << "the frame sets the printer defaults";

    StartInstallChoices(choices, "setup.exe", "setup.exe");
    EXPECT_EQ(choices.gstrSetupDir, "") << "a path without a backslash has no folder";
}

TEST(StartUp, ProgramPathIsWholeAndNamesTheStore) {
    char expected[MAX_PATH];
    GetModuleFileNameA(nullptr, expected, MAX_PATH);
    EXPECT_EQ(ModuleFilePath(), expected);
    EXPECT_EQ(SavedStateFileName("C:\\medium\\setup.exe"), "setup.INI");
    EXPECT_EQ(SavedStateFileName("C:\\medium.v2\\setup"), "setup.INI");
    EXPECT_EQ(SavedStateFileName(expected), "setup_tests.INI");
}

class SavedStateReading : public ::testing::Test {
protected:
    void SetUp() override {
        st::RemoveStore();
        BuildModelCatalogue(choices.gModels);
        choices.PrinterInfo.PortName = "VESK";
    }
    void TearDown() override { st::RemoveStore(); }
    InstallChoices choices;
};

TEST_F(SavedStateReading, AModelIndexOutsideTheCatalogueLeavesTheRecordAsItWas) {
    for (const char* index : {"3", "-1", "99"}) {
        st::SaveValue("gstrPort", "COM2:");
        st::SaveValue("PrinterInfo_PrinterName", "Till 1");
        st::SaveValue("gModelIndex", index);
        EXPECT_FALSE(ReadSavedState(choices, st::StoreFile())) << index;
        EXPECT_EQ(choices.gstrPort, "") << index;
        EXPECT_EQ(choices.PrinterInfo.PrinterName, "") << index;
        EXPECT_EQ(choices.gpModel, nullptr) << index;
    }
    st::SaveValue("gModelIndex", "2");
    ASSERT_TRUE(ReadSavedState(choices, st::StoreFile()));
    EXPECT_EQ(choices.gpModel, choices.gModels[2].get());
    EXPECT_EQ(choices.gstrPort, "COM2:");
}

TEST_F(SavedStateReading, MissingKeysKeepTheFieldsValues) {
    st::SaveValue("gbTestPage", "0");
    ASSERT_TRUE(ReadSavedState(choices, st::StoreFile()));
    EXPECT_EQ(choices.gModelIndex, 0);
    EXPECT_EQ(choices.gpModel->pName, "Kx310");
    EXPECT_EQ(choices.PrinterInfo.PortName, "VESK");
    EXPECT_TRUE(choices.gbDefaultPrinter);
    EXPECT_FALSE(choices.gbTestPage);
}
