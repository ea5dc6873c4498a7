// The monitor step against the spooler of a prefix made for this run: the libraries copied
// from the medium into the system directory, the registration read back where Wine keeps it.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine_fixture.h"
#include "monitor_install.h"
#include "setup_fixture.h"

namespace {

constexpr char kMonitor[] = "Vesk Port Monitor";

int CountOf(const std::vector<std::string>& names, const std::string& name) {
    return static_cast<int>(std::count(names.begin(), names.end(), name));
}

TEST(EngineMonitor, InstallsFromTheMediumUnderItsNameReplacingTheOldRegistration) {
    ASSERT_NO_FATAL_FAILURE(st::ChooseModel(st::AssembledMedium(), "Kx310"));
    st::MessageCatcher messages;
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
    st::MessageCatcher messages;
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
TEST(MonitorUpdate, NeededOnlyForAHigherBuildNumber) {
    std::string medium = st::EmptyMedium("update-medium");
    ASSERT_NO_FATAL_FAILURE(st::ChooseModel(medium, "Kx310"));
    st::MessageCatcher messages;
    std::string installed = st::SystemFolder() + "veskmon.dll";
    std::string shipped = "win2000\\i386\\PortMonitor\\veskmon.dll";

    // Installed 1.0.0.7, shipped 2.0.0.5: only the fourth part counts, and 5 < 7.
    ASSERT_TRUE(CopyFileA((st::ProgramFolder() + "version-1.0.0.7.dll").c_str(), installed.c_str(), FALSE));
    ASSERT_NO_FATAL_FAILURE(st::PutBuiltFile(medium, shipped, "version-2.0.0.5.dll"));
    EXPECT_FALSE(MonitorNeedsUpdate());
    // The same the other way round: 7 > 5.
    ASSERT_TRUE(CopyFileA((st::ProgramFolder() + "version-2.0.0.5.dll").c_str(), installed.c_str(), FALSE));
    ASSERT_NO_FATAL_FAILURE(st::PutBuiltFile(medium, shipped, "version-1.0.0.7.dll"));
    EXPECT_TRUE(MonitorNeedsUpdate());
    // Nothing installed and build 3 shipped.
    ASSERT_TRUE(DeleteFileA(installed.c_str()));
    ASSERT_NO_FATAL_FAILURE(st::PutBuiltFile(medium, shipped, "version-1.0.0.3.dll"));
    EXPECT_TRUE(MonitorNeedsUpdate());
    // A shipped file without a version counts as build 0: never newer.
    st::PutFile(medium, shipped, "no version here");
    EXPECT_FALSE(MonitorNeedsUpdate());
    EXPECT_TRUE(messages.Messages().empty());
}

TEST(EngineMonitor, AFailedCopyOfTheUserInterfaceNamesItAndRegistersNothing) {
    std::string medium = st::EmptyMedium("no-ui-medium");
    ASSERT_NO_FATAL_FAILURE(st::PutBuiltFile(medium, "win2000\\i386\\PortMonitor\\veskmon.dll", "veskmon.dll"));
    ASSERT_NO_FATAL_FAILURE(st::ChooseModel(medium, "Kx310"));
    st::MessageCatcher messages;

    EXPECT_FALSE(InstallMonitor());
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0],
              "Could not copy file " + medium + "win2000\\i386\\PortMonitor\\veskmonui.dll");
    EXPECT_FALSE(MonitorExists(kMonitor));
    EXPECT_EQ(CountOf(st::MonitorNames(), kMonitor), 0);
}

}  // namespace
