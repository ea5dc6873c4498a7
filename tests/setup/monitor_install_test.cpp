// The monitor step against the spooler of a prefix made for this run: the libraries copied
// from the medium into the system directory, the registration read back where Wine keeps it.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine_fixture.h"
#include "file_version.h"
#include "monitor_install.h"
#include "print_processor_install.h"
#include "setup_fixture.h"

namespace {

constexpr char kMonitor[] = "Vesk Port Monitor";

int CountOf(const std::vector<std::string>& names, const std::string& name) {
    return static_cast<int>(std::count(names.begin(), names.end(), name));
}

TEST(EngineMonitor, InstallsFromTheMediumUnderItsNameReplacingTheOldRegistration) {
    ASSERT_NO_FATAL_FAILURE(st::ChooseModel(st::AssembledMedium(), "Kx310"));
    st::RecordingFrontEnd messages;
    // The monitor is known already, as on a machine where setup ran before: the step removes
    // that registration before it makes its own.
    if (!MonitorExists(kMonitor)) {
        ASSERT_TRUE(RegisterMonitor(kMonitor, "veskmon.dll"));
    }
    ASSERT_TRUE(MonitorExists(kMonitor));
    DeleteFileA((st::SystemFolder() + "veskmonui.dll").c_str());

    EXPECT_TRUE(InstallMonitor());
    EXPECT_TRUE(messages.Messages().empty()) << messages.Messages().front();
    EXPECT_EQ(CountOf(st::MonitorNames(), kMonitor), 1);
    EXPECT_EQ(st::RegisteredMonitorLibrary(kMonitor), "veskmon.dll");
    for (const char* file : {"veskmon.dll", "veskmonui.dll"}) {
        std::string medium = st::AssembledMedium() + "win2000\\i386\\PortMonitor\\" + file;
        EXPECT_EQ(st::FileContent(st::SystemFolder() + file), st::FileContent(medium)) << file;
    }
}

TEST(EngineMonitor, IsFoundAndRemovedByItsExactNameOnly) {
    st::RecordingFrontEnd messages;
    ASSERT_TRUE(RemoveMonitor(kMonitor));
    ASSERT_EQ(CountOf(st::MonitorNames(), kMonitor), 0);
    // The spooler's own registry keys ignore letter case, so the two names cannot be
    // registered side by side: the other spelling alone stands for "another monitor".
    ASSERT_TRUE(RegisterMonitor("vesk port monitor", "veskmon.dll"));
    EXPECT_FALSE(MonitorExists(kMonitor));
    EXPECT_TRUE(MonitorExists("vesk port monitor"));
    EXPECT_TRUE(RemoveMonitor(kMonitor));
    EXPECT_EQ(CountOf(st::MonitorNames(), "vesk port monitor"), 1);

    EXPECT_TRUE(RemoveMonitor("vesk port monitor"));
    EXPECT_EQ(CountOf(st::MonitorNames(), "vesk port monitor"), 0);
    EXPECT_TRUE(messages.Messages().empty());
}

// In a process of its own: a monitor registered by this process stays loaded in it, and its
// library cannot be replaced by the versions this test puts in its place.
TEST(MonitorUpdate, ComparesTheWholeVersionAndNeverReplacesANewerFile) {
    std::string medium = st::EmptyMedium("update-medium");
    ASSERT_NO_FATAL_FAILURE(st::ChooseModel(medium, "Kx310"));
    std::string installed = st::SystemFolder() + "veskmon.dll";
    std::string installedUi = st::SystemFolder() + "veskmonui.dll";
    std::string folder = "win2000\\i386\\PortMonitor\\";
    auto put = [](const char* built, const std::string& path) {
        return CopyFileA((st::ProgramFolder() + built).c_str(), path.c_str(), FALSE) != FALSE;
    };
    {
        // Installed 1.0.0.7, shipped 2.0.0.5: newer as a whole, though its last part is lower.
        st::RecordingFrontEnd messages;
        ASSERT_TRUE(put("version-1.0.0.7.dll", installed));
        ASSERT_NO_FATAL_FAILURE(st::PutBuiltFile(medium, folder + "veskmon.dll", "version-2.0.0.5.dll"));
        EXPECT_TRUE(MonitorNeedsUpdate());
        EXPECT_TRUE(messages.Messages().empty());
    }
    {
        // The other way round: no update, and the user is told that the medium is older.
        st::RecordingFrontEnd messages;
        ASSERT_TRUE(put("version-2.0.0.5.dll", installed));
        ASSERT_NO_FATAL_FAILURE(st::PutBuiltFile(medium, folder + "veskmon.dll", "version-1.0.0.7.dll"));
        EXPECT_FALSE(MonitorNeedsUpdate());
        EXPECT_EQ(messages.Messages(), std::vector<std::string>{
                                           std::string(kMediumOlderText) +
                                           "\nveskmon.dll: installed 2.0.0.5, medium 1.0.0.7"});
    }
    {
        // Nor does the copy put an older library over a newer one; one that is older is
        // replaced.
        st::RecordingFrontEnd messages;
        ASSERT_TRUE(put("version-1.0.0.3.dll", installedUi));
        ASSERT_NO_FATAL_FAILURE(st::PutBuiltFile(medium, folder + "veskmonui.dll", "version-1.0.0.7.dll"));
        EXPECT_TRUE(CopyMonitorFiles(medium + folder, "veskmon.dll", "veskmonui.dll"));
        EXPECT_EQ(st::FileContent(installed), st::FileContent(st::ProgramFolder() + "version-2.0.0.5.dll"));
        EXPECT_EQ(st::FileContent(installedUi), st::FileContent(st::ProgramFolder() + "version-1.0.0.7.dll"));
        EXPECT_EQ(messages.Messages(), std::vector<std::string>{
                                           std::string(kMediumOlderText) +
                                           "\nveskmon.dll: installed 2.0.0.5, medium 1.0.0.7"});
    }
    {
        // The print processor's library likewise.
        st::RecordingFrontEnd messages;
        std::string processor = st::PrintProcessorFolder() + "veskproc.dll";
        ASSERT_TRUE(put("version-2.0.0.5.dll", processor));
        ASSERT_NO_FATAL_FAILURE(st::PutBuiltFile(medium, "win2000\\i386\\veskproc.dll", "version-1.0.0.3.dll"));
        EXPECT_TRUE(CopyPrintProcessor(medium + "win2000\\i386\\", "veskproc.dll", nullptr));
        EXPECT_EQ(st::FileContent(processor), st::FileContent(st::ProgramFolder() + "version-2.0.0.5.dll"));
        EXPECT_EQ(messages.Messages(), std::vector<std::string>{
                                           std::string(kMediumOlderText) +
                                           "\nveskproc.dll: installed 2.0.0.5, medium 1.0.0.3"});
    }
    st::RecordingFrontEnd messages;
    // Nothing installed and 1.0.0.3 shipped.
    ASSERT_TRUE(DeleteFileA(installed.c_str()));
    ASSERT_NO_FATAL_FAILURE(st::PutBuiltFile(medium, folder + "veskmon.dll", "version-1.0.0.3.dll"));
    EXPECT_TRUE(MonitorNeedsUpdate());
    // A shipped file without a version is never newer.
    st::PutFile(medium, folder + "veskmon.dll", "no version here");
    EXPECT_FALSE(MonitorNeedsUpdate());
    EXPECT_TRUE(messages.Messages().empty());
}

TEST(EngineMonitor, AFailedCopyOfTheUserInterfaceNamesItAndRegistersNothing) {
    std::string medium = st::EmptyMedium("no-ui-medium");
    ASSERT_NO_FATAL_FAILURE(st::PutBuiltFile(medium, "win2000\\i386\\PortMonitor\\veskmon.dll", "veskmon.dll"));
    ASSERT_NO_FATAL_FAILURE(st::ChooseModel(medium, "Kx310"));
    st::RecordingFrontEnd messages;

    EXPECT_FALSE(InstallMonitor());
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0],
              "Could not copy file " + medium + "win2000\\i386\\PortMonitor\\veskmonui.dll");
    EXPECT_FALSE(MonitorExists(kMonitor));
    EXPECT_EQ(CountOf(st::MonitorNames(), kMonitor), 0);
}

}  // namespace
