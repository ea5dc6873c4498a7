// The installation engine on each Windows family, as the Windows version reported to the step
// runner makes it: folders of the medium, the spooler environment, the driver record, and
// where the universal driver's files are taken from.
#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "file_version.h"
#include "setup_fixture.h"

namespace {

struct Family {
    const char* version;
    const char* family;
    const char* environment;
    const char* monitorFolder;
    const char* driverFolder;
    const char* level;
    const char* cVersion;
};

const Family kFamilies[] = {
    {"win98", "3", "Windows 4.0", "win98\\", "win98\\", "3", "0"},
    {"nt40", "4", "Windows x64", "winnt\\", "winnt\\", "3", "2"},
    {"win2k", "6", "Windows x64", "win2000\\i386\\PortMonitor\\", "win2000\\i386\\", "6", "3"},
    {"win10", "6", "Windows x64", "win2000\\i386\\PortMonitor\\", "win2000\\i386\\", "6", "3"},
};

// A medium whose every driver file says where on it it lies.
std::string MarkedMedium() {
    std::string medium = st::EmptyMedium("marked-medium");
    for (const char* file : {"win98\\vesk.drv", "win98\\unidrv.dll", "win98\\Unidrv\\unidrv.dll",
                             "winnt\\vesk.dll", "winnt\\rasdd.dll", "winnt\\rasddui.dll",
                             "winnt\\rasddui.hlp", "win2000\\i386\\UNIDRV.DLL",
                             "win2000\\i386\\Unidrv\\UNIDRV.DLL", "win2000\\i386\\Unidrv\\UNIDRVUI.DLL",
                             "win2000\\i386\\Unidrv\\UNIDRV.HLP", "win2000\\i386\\Unidrv\\UNIRES.DLL",
                             "win2000\\i386\\Kx310.gpd", "win2000\\i386\\STDNAMES.GPD",
                             "win2000\\i386\\VESKRES.DLL", "win2000\\i386\\VESKUNI.DLL",
                             "win2000\\i386\\VESKUI.DLL", "win2000\\i386\\VESKUNI.INI"})
        st::PutFile(medium, file, std::string("medium file ") + file);
    return medium;
}

TEST(FamilyPaths, FollowTheWindowsVersion) {
    std::string medium = MarkedMedium();
    for (const Family& f : kFamilies) {
        SCOPED_TRACE(f.version);
        std::string family = st::RunStepAs(f.version, "family");
        EXPECT_EQ(st::OutputValue(family, "family"), f.family);
        EXPECT_EQ(st::OutputValue(family, "environment"), f.environment);
        EXPECT_EQ(st::OutputValue(family, "monitor folder"), f.monitorFolder);
        EXPECT_EQ(st::OutputValue(family, "driver folder"), f.driverFolder);

        std::string record = st::RunStepAs(f.version, "--model Kx310 driver-record");
        std::string directory = st::OutputValue(record, "driver directory");
        std::string paths = directory + (std::string(f.family) == "6" ? "3\\" : "");
        EXPECT_EQ(st::OutputValue(record, "level"), f.level);
        EXPECT_EQ(st::OutputValue(record, "cVersion"), f.cVersion);
        EXPECT_EQ(st::OutputValue(record, "environment"), f.environment);
        if (std::string(f.version) == "win98") {
            // Windows 98's help file name is a blank: the record names none.
            EXPECT_EQ(st::OutputValue(record, "help"), "(none)");
            EXPECT_EQ(st::OutputValue(record, "driver"), paths + "vesk.drv");
            EXPECT_EQ(st::OutputValue(record, "dependent"), paths + "vesk.drv " + paths + "unidrv.dll");
            EXPECT_EQ(st::OutputValue(record, "data type"), "RAW");
        } else if (std::string(f.version) == "nt40") {
            EXPECT_EQ(st::OutputValue(record, "driver"), paths + "rasdd.dll");
            EXPECT_EQ(st::OutputValue(record, "data"), paths + "vesk.dll");
            EXPECT_EQ(st::OutputValue(record, "help"), paths + "rasddui.hlp");
        } else {
            EXPECT_EQ(st::OutputValue(record, "driver"), paths + "UNIDRV.DLL");
            EXPECT_EQ(st::OutputValue(record, "data"), paths + "Kx310.gpd");
            EXPECT_EQ(st::OutputValue(record, "help"), paths + "UNIDRV.HLP");
            // Six names, each with its terminator, and one more.
            EXPECT_EQ(st::OutputValue(record, "dependent chars"),
                      std::to_string(72 + 6 * paths.size()));
        }

        // The copy: files beginning with "uni" come from the Unidrv folder, except on Windows 98.
        // Without its last "\", which would make the closing quote part of the argument.
        std::string install = st::RunStepAs(
            f.version, "--medium \"" + medium.substr(0, medium.size() - 1) + "\" --model Kx310 install-driver");
        EXPECT_EQ(st::OutputValue(install, "message"), "(missing)");
        EXPECT_EQ(st::OutputValue(install, "result"), "true");
        if (std::string(f.version) == "win98") {
            EXPECT_EQ(st::FileContent(directory + "unidrv.dll"), "medium file win98\\unidrv.dll");
        } else if (std::string(f.version) != "nt40") {
            EXPECT_EQ(st::FileContent(directory + "UNIDRV.DLL"),
                      "medium file win2000\\i386\\Unidrv\\UNIDRV.DLL");
            EXPECT_EQ(st::FileContent(directory + "Kx310.gpd"), "medium file win2000\\i386\\Kx310.gpd");
        }
        st::RunStepAs(f.version, "--model Kx310 remove-drivers Kx310");
    }
}

// An older medium never replaces newer driver files: on Windows 98, where the driver directory
// is where the driver lives, and where a driver of the model is installed already.
TEST(FamilyPaths, AnOlderMediumKeepsTheNewerDriverFiles) {
    std::string medium = MarkedMedium();
    std::string quoted = "--medium \"" + medium.substr(0, medium.size() - 1) + "\" --model Kx310 ";
    std::string newer = st::FileContent(st::ProgramFolder() + "version-2.0.0.5.dll");
    std::string older = st::FileContent(st::ProgramFolder() + "version-1.0.0.7.dll");

    std::string directory =
        st::OutputValue(st::RunStepAs("win98", "--model Kx310 driver-record"), "driver directory");
    ASSERT_TRUE(CopyFileA((st::ProgramFolder() + "version-2.0.0.5.dll").c_str(),
                          (directory + "vesk.drv").c_str(), FALSE));
    ASSERT_NO_FATAL_FAILURE(st::PutBuiltFile(medium, "win98\\vesk.drv", "version-1.0.0.7.dll"));
    std::string install = st::RunStepAs("win98", quoted + "install-driver");
    EXPECT_EQ(st::OutputValue(install, "result"), "true");
    EXPECT_EQ(st::OutputValue(install, "message"),
              std::string(kMediumOlderText) + "\\nvesk.drv: installed 2.0.0.5, medium 1.0.0.7");
    EXPECT_EQ(st::FileContent(directory + "vesk.drv"), newer);
    st::RunStepAs("win98", "--model Kx310 remove-drivers Kx310");

    // Installed from a newer medium, then offered an older one: the driver stays.
    directory =
        st::OutputValue(st::RunStepAs("win2k", "--model Kx310 driver-record"), "driver directory");
    ASSERT_NO_FATAL_FAILURE(st::PutBuiltFile(medium, "win2000\\i386\\Unidrv\\UNIDRV.DLL", "version-2.0.0.5.dll"));
    install = st::RunStepAs("win2k", quoted + "install-driver");
    ASSERT_EQ(st::OutputValue(install, "result"), "true");
    ASSERT_EQ(st::FileContent(directory + "3\\UNIDRV.DLL"), newer);
    ASSERT_NO_FATAL_FAILURE(st::PutBuiltFile(medium, "win2000\\i386\\Unidrv\\UNIDRV.DLL", "version-1.0.0.7.dll"));
    install = st::RunStepAs("win2k", quoted + "install-driver");
    EXPECT_EQ(st::OutputValue(install, "result"), "true");
    EXPECT_EQ(st::OutputValue(install, "message"),
              std::string(kMediumOlderText) + "\\nUNIDRV.DLL: installed 2.0.0.5, medium 1.0.0.7");
    EXPECT_EQ(st::FileContent(directory + "3\\UNIDRV.DLL"), newer);
    EXPECT_NE(newer, older);
    st::RunStepAs("win2k", "--model Kx310 remove-drivers Kx310");
}

}  // namespace

namespace {

std::string DefaultDevice() {
    char device[512];
    GetProfileStringA("windows", "device", "", device, sizeof(device));
    return device;
}

TEST(FamilyPaths, NT4KeepsTheDefaultPrinterInTheProfile) {
    ASSERT_NO_FATAL_FAILURE(st::AddTestDriver("Kx310"));
    ASSERT_NO_FATAL_FAILURE(st::AddTestPrinter("Till NT", "Kx310"));
    std::string made = st::RunStepAs("nt40", "make-default \"Till NT\"");
    EXPECT_EQ(st::OutputValue(made, "result"), "true");
    // Name, driver and port, as NT 4's own programs read it.
    EXPECT_EQ(DefaultDevice(), "Till NT,Kx310,VESK");
    EXPECT_EQ(st::OutputValue(st::RunStepAs("nt40", "make-default \"No such printer\""), "result"),
              "false");
    EXPECT_EQ(DefaultDevice(), "Till NT,Kx310,VESK");
    st::DeletePrinterNamed("Till NT");
}

}  // namespace
