// The driver step against the spooler of a prefix made for this run, read back with the
// spooler's own list of drivers.
#include <gtest/gtest.h>

#include "driver_install.h"
#include "engine_fixture.h"
#include "setup_fixture.h"

namespace {

TEST(EngineDriver, InstallsTheModelFromTheMediumIntoTheVersionFolder) {
    ASSERT_NO_FATAL_FAILURE(st::ChooseModel(st::AssembledMedium(), "Kx310"));
    st::RecordingFrontEnd messages;
    ASSERT_TRUE(RemoveDrivers("Kx310"));
    ASSERT_FALSE(DriverInstalled("Kx310"));

    EXPECT_TRUE(InstallDriver());
    EXPECT_TRUE(messages.Messages().empty()) << messages.Messages().front();
    EXPECT_TRUE(DriverInstalled("Kx310"));
    EXPECT_FALSE(DriverInstalled("kx310"));

    std::vector<st::InstalledDriver> drivers = st::InstalledDrivers();
    const st::InstalledDriver* driver = st::FindDriver(drivers, "Kx310");
    ASSERT_NE(driver, nullptr);
    std::string folder = st::DriverFolder() + "3\\";
    EXPECT_EQ(driver->cVersion, 3u);
    EXPECT_EQ(driver->driverPath, folder + "UNIDRV.DLL");
    EXPECT_EQ(driver->dataFile, folder + "Kx310.gpd");
    EXPECT_EQ(driver->configFile, folder + "UNIDRVUI.DLL");
    EXPECT_EQ(driver->helpFile, folder + "UNIDRV.HLP");
    std::vector<std::string> expected;
    for (const char* name : {"STDNAMES.GPD", "UNIRES.DLL", "VESKRES.DLL", "VESKUNI.DLL",
                             "VESKUI.DLL", "VESKUNI.INI"})
        expected.push_back(folder + name);
    EXPECT_EQ(driver->dependentFiles, expected);
    // The model file is the medium's, the universal driver's files come from its Unidrv folder.
    EXPECT_EQ(st::FileContent(folder + "Kx310.gpd"),
              st::FileContent(st::AssembledMedium() + "win2000\\i386\\Kx310.gpd"));
    EXPECT_EQ(st::FileContent(folder + "UNIDRV.DLL"),
              st::FileContent(st::AssembledMedium() + "win2000\\i386\\Unidrv\\UNIDRV.DLL"));
}

TEST(EngineDriver, RemovesItsStagingCopiesButNotTheInstalledDriver) {
    st::RecordingFrontEnd messages;
    ASSERT_NO_FATAL_FAILURE(st::ChooseModel(st::AssembledMedium(), "Kx310"));
    std::string folder = st::DriverFolder();
    ASSERT_TRUE(InstallDriver());
    ASSERT_TRUE(st::FileExists(folder + "Kx310.gpd"));

    RemoveDriverCopies(Choices().gpModel->Win2000Files);
    for (const char* name : {"UNIDRV.DLL", "Kx310.gpd", "UNIDRVUI.DLL", "UNIDRV.HLP",
                             "STDNAMES.GPD", "UNIRES.DLL", "VESKRES.DLL", "VESKUNI.DLL",
                             "VESKUI.DLL", "VESKUNI.INI"}) {
        EXPECT_FALSE(st::FileExists(folder + name)) << name;
        EXPECT_TRUE(st::FileExists(folder + "3\\" + name)) << name;
    }
}

TEST(EngineDriver, KeepsAnInstalledDriverWithoutTouchingTheMedium) {
    st::RecordingFrontEnd messages;
    ASSERT_NO_FATAL_FAILURE(st::ChooseModel(st::AssembledMedium(), "Kx310"));
    if (!DriverInstalled("Kx310")) {
        ASSERT_TRUE(InstallDriver());
    }
    // A medium without a single file: anything the step tried to copy would fail.
    ASSERT_NO_FATAL_FAILURE(st::ChooseModel(st::EmptyMedium("keep-medium"), "Kx310"));
    Choices().gbReplaceDriver = false;
    ASSERT_TRUE(DriverInstalled("Kx310"));

    EXPECT_TRUE(InstallDriver());
    EXPECT_TRUE(messages.Messages().empty());
    EXPECT_TRUE(DriverInstalled("Kx310"));

    // Replacing it from that medium fails on the first file, with its name.
    Choices().gbReplaceDriver = true;
    bool restartNeeded = false;
    EXPECT_FALSE(InstallDriver(&restartNeeded));
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0],
              "Could not copy file " + Choices().gstrSetupDir + "win2000\\i386\\UNIDRV.DLL");
    EXPECT_FALSE(restartNeeded);
}

TEST(EngineDriver, AKx240FDriverReplacesTheOlderKx240) {
    ASSERT_NO_FATAL_FAILURE(st::AddTestDriver("Kx310"));
    ASSERT_NO_FATAL_FAILURE(st::ChooseModel(st::AssembledMedium(), "Kx240-F"));
    st::RecordingFrontEnd messages;
    ASSERT_TRUE(RemoveDrivers("Kx240-F"));
    // Not installed yet, and no older driver either: nothing to remove, nothing said.
    EXPECT_TRUE(InstallDriver());
    EXPECT_TRUE(messages.Messages().empty());

    // Both the older "Kx240" and "Kx240-F" installed, the driver replaced: both go first.
    ASSERT_NO_FATAL_FAILURE(st::AddTestDriver("Kx240"));
    ASSERT_NO_FATAL_FAILURE(st::AddTestDriver("Kx2400 other"));
    EXPECT_TRUE(InstallDriver());
    std::vector<st::InstalledDriver> drivers = st::InstalledDrivers();
    EXPECT_EQ(st::FindDriver(drivers, "Kx240"), nullptr);
    EXPECT_EQ(st::FindDriver(drivers, "Kx2400 other"), nullptr);
    ASSERT_NE(st::FindDriver(drivers, "Kx240-F"), nullptr);
    EXPECT_EQ(st::FindDriver(drivers, "Kx240-F")->dataFile, st::DriverFolder() + "3\\Kx240-F.gpd");

    // "Kx240-F" not installed but the older one is: the older one goes without a word.
    ASSERT_TRUE(RemoveDrivers("Kx240-F"));
    ASSERT_NO_FATAL_FAILURE(st::AddTestDriver("Kx240"));
    EXPECT_TRUE(InstallDriver());
    drivers = st::InstalledDrivers();
    EXPECT_EQ(st::FindDriver(drivers, "Kx240"), nullptr);
    EXPECT_NE(st::FindDriver(drivers, "Kx240-F"), nullptr);
    // Another model's driver is never touched by the rule.
    EXPECT_NE(st::FindDriver(drivers, "Kx310"), nullptr);
    EXPECT_TRUE(messages.Messages().empty());
}

}  // namespace
