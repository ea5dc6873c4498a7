// A monitor update puts nothing in place before the new libraries are on the machine and
// checked: a copy that fails leaves the monitor and the printers as they were, and a
// replacement that fails half-way puts back what it had replaced.
#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "installation_run.h"
#include "monitor_staging.h"
#include "restart_windows.h"
#include "start_up.h"
#include "setup_fixture.h"

namespace {

constexpr char kFolder[] = "win2000\\i386\\PortMonitor\\";

// In a process of its own (with MonitorUpdate's other tests): the run registers nothing here,
// but a run that went wrong would. A medium lacking a monitor library, and one lacking the
// driver's files: either run stops before anything goes, and leaves no earlier interrupted
// installation behind to replay at the next logon.
TEST(MonitorUpdate, AFailedCopyLeavesTheMonitorAndThePrintersAsTheyWere) {
    struct Medium {
        const char* name;
        bool withUserInterface;
        std::string missing;  // below the run's copy of the medium
    };
    for (const Medium& m : {Medium{"half-medium", false, std::string(kFolder) + "veskmonui.dll"},
                            Medium{"no-driver-medium", true, "win2000\\i386\\UNIDRV.DLL"}}) {
        SCOPED_TRACE(m.name);
        std::string medium = st::EmptyMedium(m.name);
        ASSERT_NO_FATAL_FAILURE(st::PutBuiltFile(medium, std::string(kFolder) + "veskmon.dll", "version-2.0.0.5.dll"));
        if (m.withUserInterface)
            ASSERT_NO_FATAL_FAILURE(st::PutBuiltFile(medium, std::string(kFolder) + "veskmonui.dll", "version-2.0.0.5.dll"));
        std::string installed = st::SystemFolder() + "veskmon.dll";
        ASSERT_TRUE(CopyFileA((st::ProgramFolder() + "version-1.0.0.3.dll").c_str(), installed.c_str(), FALSE));
        std::string before = st::FileContent(installed);
        st::RegisterPrintProcessorForTests();
        ASSERT_NO_FATAL_FAILURE(st::AddTestDriver("Kx310"));
        ASSERT_NO_FATAL_FAILURE(st::AddTestPrinter("Till Old", "Kx310"));
        ASSERT_NO_FATAL_FAILURE(st::ChooseModel(medium, "Kx310"));
        Choices().gbTalkToPrinter = false;
        // An earlier run asked for a restart and was answered No.
        WritePrivateProfileStringA("SavedData", "gstrPort", "COM2:", ResumeStoreFile().c_str());
        ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, ResumeKey(), kRunValue, REG_SZ, "old", 4), ERROR_SUCCESS);

        // Any question is answered Yes: a run that asked would delete the printer.
        st::RecordingFrontEnd messages({IDYES, IDYES, IDYES});
        InstallRunState state;
        EXPECT_EQ(RunInstallationSteps(messages, state), InstallOutcome::Stopped);
        EXPECT_EQ(messages.Questions(), 0);
        // The run takes its files from its own copy of the medium.
        EXPECT_NE(Choices().gstrSetupDir, medium);
        EXPECT_EQ(messages.Messages(),
                  std::vector<std::string>{"Could not copy file " + Choices().gstrSetupDir + m.missing});
        EXPECT_NE(st::FindPrinter(st::LocalPrinters(), "Till Old"), nullptr);
        EXPECT_FALSE(state.printerRemoved);
        EXPECT_EQ(st::FileContent(installed), before);
        for (const char* left : {"veskmon.dll.vesknew", "veskmonui.dll.vesknew"})
            EXPECT_FALSE(st::FileExists(st::SystemFolder() + left)) << left;
        char port[16];
        GetPrivateProfileStringA("SavedData", "gstrPort", "(none)", port, sizeof port, ResumeStoreFile().c_str());
        EXPECT_STREQ(port, "(none)") << "the earlier run's saved state is still there";
        EXPECT_NE(RegGetValueA(HKEY_LOCAL_MACHINE, ResumeKey(), kRunValue, RRF_RT_REG_SZ, nullptr, nullptr, nullptr),
                  ERROR_SUCCESS) << "the earlier run's resume is still registered";
        st::DeletePrinterNamed("Till Old");
    }
}

TEST(MonitorUpdate, AReplacementThatFailsHalfWayPutsBackWhatItReplaced) {
    std::string medium = st::EmptyMedium("swap-medium");
    std::string target = st::EmptyMedium("swap-target");
    st::PutFile(medium, "a.dll", "new a");
    st::PutFile(medium, "b.dll", "new b");
    st::PutFile(target, "a.dll", "old a");
    st::PutFile(target, "b.dll", "old b");
    // The second file cannot be moved aside: a folder holds the name it would take.
    ASSERT_TRUE(CreateDirectoryA((target + "b.dll.veskold").c_str(), nullptr));
    {
        st::RecordingFrontEnd messages;
        StagedMonitor staged;
        ASSERT_TRUE(staged.Stage(medium, {"a.dll", "b.dll"}, target));
        EXPECT_EQ(st::FileContent(target + "a.dll.vesknew"), "new a");
        EXPECT_FALSE(staged.SwapIn());
        EXPECT_TRUE(staged.Restored());
        ASSERT_EQ(messages.Messages().size(), 1u);
        EXPECT_EQ(messages.Messages()[0].rfind("Could not replace file " + target + "b.dll\n", 0), 0u)
            << messages.Messages()[0];
        EXPECT_EQ(st::FileContent(target + "a.dll"), "old a");
        EXPECT_EQ(st::FileContent(target + "b.dll"), "old b");
    }
    for (const char* left : {"a.dll.vesknew", "b.dll.vesknew", "a.dll.veskold"})
        EXPECT_FALSE(st::FileExists(target + left)) << left;

    // The first file, new to the folder, cannot be taken out again (what went in is
    // read-only): the message names it, and the old monitor must not be registered again.
    ASSERT_TRUE(DeleteFileA((target + "a.dll").c_str()));
    {
        struct Writable {
            std::string path;
            ~Writable() { SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL); }
        } writable{target + "a.dll"};
        st::RecordingFrontEnd messages;
        StagedMonitor staged;
        ASSERT_TRUE(staged.Stage(medium, {"a.dll", "b.dll"}, target));
        ASSERT_TRUE(SetFileAttributesA(staged.StagedPath("a.dll").c_str(), FILE_ATTRIBUTE_READONLY));
        EXPECT_FALSE(staged.SwapIn());
        EXPECT_FALSE(staged.Restored());
        ASSERT_EQ(messages.Messages().size(), 1u);
        EXPECT_NE(messages.Messages()[0].find(std::string(kNotRestoredText) + " " + target + "a.dll\n"),
                  std::string::npos) << messages.Messages()[0];
        EXPECT_EQ(st::FileContent(target + "b.dll"), "old b");
    }

    // Without the obstacle both go in, and nothing is left beside them.
    ASSERT_TRUE(RemoveDirectoryA((target + "b.dll.veskold").c_str()));
    st::RecordingFrontEnd messages;
    StagedMonitor staged;
    ASSERT_TRUE(staged.Stage(medium, {"a.dll", "b.dll"}, target));
    EXPECT_TRUE(staged.SwapIn());
    EXPECT_TRUE(messages.Messages().empty());
    EXPECT_EQ(st::FileContent(target + "a.dll"), "new a");
    EXPECT_EQ(st::FileContent(target + "b.dll"), "new b");
    for (const char* left : {"a.dll.vesknew", "b.dll.vesknew", "a.dll.veskold", "b.dll.veskold"})
        EXPECT_FALSE(st::FileExists(target + left)) << left;
}

}  // namespace
