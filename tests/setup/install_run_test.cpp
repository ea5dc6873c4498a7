// The whole installation as a person runs it: setup.exe started from a copy of the assembled
// medium (in a folder whose name holds a blank), its wizard clicked through from another
// process, the printer simulator on COM1 as the printer, and the machine read back afterwards
// through the spooler, the registry and the profile.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <string>

#include "dialog_driver.h"
#include "install_run_fixture.h"
#include "installation_run.h"
#include "resource.h"
#include "start_up.h"

using namespace st;
using namespace vt;

TEST_F(InstallRun, FreshMachineInstallsEverythingPrintsTheTestPageAndEnds) {
    PutFormValue();
    // An earlier run asked for a restart and was answered No: this run replaces it.
    SetRunEntry("\"C:\\Users\\me\\Downloads\\setup.exe\" install");
    WritePrivateProfileStringA("SavedData", "gstrPort", "COM2:", "SETUP.INI");
    // A folder whose name the ANSI code page cannot spell.
    const std::wstring folder = L"\u0423\u0441\u0442\u0430\u043d\u043e\u0432\u043a\u0430 Vesk";
    std::string ansi;
    ASSERT_FALSE(ToAnsi(folder, ansi)) << "this lane's code page spells " << ansi;
    program = PlaceMedium(folder);
    ASSERT_EQ(ServiceState("Spooler"), static_cast<DWORD>(SERVICE_STOPPED));
    SetupProcess setup(program, nullptr);
    ASSERT_TRUE(setup.wizard());
    HWND finish = WalkToFinish(setup.wizard(), {});
    ASSERT_TRUE(finish);
    EXPECT_EQ(ItemText(finish, 1023), "Kx310");
    EXPECT_EQ(ItemText(finish, kFinishPortValue), "VESK");
    PostClick(finish, kFinishButton);
    ASSERT_TRUE(setup.RunsToItsEnd());

    EXPECT_FALSE(FormValueExists());
    EXPECT_EQ(ServiceState("Spooler"), static_cast<DWORD>(SERVICE_RUNNING)) << "the spooler was restarted";
    EXPECT_EQ(RunEntry(), std::nullopt) << "the earlier run's resume is still registered";
    char port[16];
    GetPrivateProfileStringA("SavedData", "gstrPort", "(none)", port, sizeof port, "SETUP.INI");
    EXPECT_STREQ(port, "(none)") << "the earlier run's saved state is still there";
    EXPECT_EQ(ProfileText("Vesk Ports", "VESK"), "COM1:,9600,n,8,1");

    auto drivers = InstalledDrivers();
    const InstalledDriver* driver = FindDriver(drivers, "Kx310");
    ASSERT_TRUE(driver);
    EXPECT_NE(driver->dataFile.find("Kx310.gpd"), std::string::npos) << driver->dataFile;
    EXPECT_EQ(driver->dependentFiles.size(), 6u);
    for (const char* staged : {"UNIDRV.DLL", "Kx310.gpd", "VESKRES.DLL"})
        EXPECT_FALSE(FileExists(DriverFolder() + staged)) << staged << " left in the driver directory";

    auto monitors = MonitorNames();
    EXPECT_NE(std::find(monitors.begin(), monitors.end(), "Vesk Port Monitor"), monitors.end());
    EXPECT_EQ(RegisteredMonitorLibrary("Vesk Port Monitor"), "veskmon.dll");
    EXPECT_TRUE(FileExists(SystemFolder() + "veskmon.dll"));
    EXPECT_TRUE(FileExists(SystemFolder() + "veskmonui.dll"));
    EXPECT_TRUE(PrintProcessorListed("Vesk Print Processor"));
    EXPECT_TRUE(FileExists(PrintProcessorFolder() + "veskproc.dll"));

    auto printer = InstalledKx310("Kx310");
    ASSERT_TRUE(printer);
    EXPECT_EQ(printer->datatype, "RAW");
    EXPECT_EQ(printer->share, "");
    EXPECT_EQ(DefaultPrinter(), "Kx310");

    // Under Wine a page drawn through GDI reaches the port as PostScript.
    EXPECT_NE(sim.Paper().find("%!PS"), std::string::npos) << "no test page on the paper";

    // A receipt printed through the spooler on the new printer arrives byte for byte.
    std::string receipt = "\x1b@Vesk Systems\nCoffee        2.40\nTOTAL         2.40\n\x1d" "V\x01";
    EXPECT_TRUE(SameBytes(PrintedReceipt(sim, "Kx310", receipt), receipt));
}

TEST_F(InstallRun, PrinterAtOtherSettingsIsAskedForThemAndSwitched) {
    sim.Control("settings 19200,n,8,1");
    sim.Sync();
    SetupProcess setup(program, nullptr);
    ASSERT_TRUE(setup.wizard());
    HWND finish = WalkToFinish(setup.wizard(), {true, false});
    ASSERT_TRUE(finish);
    PostClick(finish, kFinishButton);

    HWND question = setup.Message(kRunLimitMs);
    ASSERT_TRUE(question) << "no message when the printer did not answer";
    EXPECT_EQ(MessageText(question),
              "Unable to communicate with the printer.\nDo you want to continue installation using "
              "these settings or cancel and re-enter the correct current printer settings?");
    sim.Reset();
    Answer(question, IDCANCEL);
    HWND present = setup.Dialog("COM1");
    ASSERT_TRUE(present) << "no port settings dialog";
    ASSERT_TRUE(ChooseComboItem(present, IDC_BAUD_RATE, "19200"));
    Answer(present, IDOK);
    ASSERT_TRUE(setup.RunsToItsEnd());

    std::string wire = BytesFromPc(sim.WireLog());
    EXPECT_NE(wire.find("\x1d\x49\x0f"), std::string::npos) << "no charger test: " << Hex(wire);
    EXPECT_NE(wire.find("\x1bX\x04" "9600,n,8,1"), std::string::npos) << "no switch: " << Hex(wire);
    auto state = sim.Sync();
    EXPECT_EQ(state["switches"], "1");
    EXPECT_EQ(state["settings"].rfind("9600", 0), 0u) << state["settings"];
    EXPECT_EQ(ProfileText("Vesk Ports", "VESK"), "COM1:,9600,n,8,1");
    EXPECT_TRUE(FindPrinter(LocalPrinters(), "Kx310"));
}

TEST_F(InstallRun, WithoutConfirmingNothingGoesOnTheLineAndTheSettingsAreStored) {
    // A printer that answers nothing: had setup asked it, message 28 would stop the run.
    sim.Control("silent on");
    sim.Sync();
    SetupProcess setup(program, nullptr);
    ASSERT_TRUE(setup.wizard());
    HWND finish = WalkToFinish(setup.wizard(), {false, false});
    ASSERT_TRUE(finish);
    PostClick(finish, kFinishButton);
    ASSERT_TRUE(setup.RunsToItsEnd());
    EXPECT_EQ(Hex(BytesFromPc(sim.WireLog())), "");
    EXPECT_EQ(ProfileText("Vesk Ports", "VESK"), "COM1:,9600,n,8,1");
    EXPECT_TRUE(FindPrinter(LocalPrinters(), "Kx310"));
}

TEST_F(InstallRun, CancelledSettingsKeepTheOldPrinterAndARunAfterARemovalKeepsSpoolerAndForm) {
    // A printer of the model is installed already; the run offers to replace it.
    RegisterPrintProcessorForTests();
    AddTestDriver("Kx310");
    AddTestPrinter("Kx310", "Kx310");
    PutFormValue();
    ASSERT_EQ(ServiceState("Spooler"), static_cast<DWORD>(SERVICE_STOPPED));
    sim.Control("silent on");
    sim.Sync();

    SetupProcess setup(program, nullptr);
    ASSERT_TRUE(setup.wizard());
    HWND finish = WalkToFinish(setup.wizard(), {true, false});
    ASSERT_TRUE(finish);
    EXPECT_EQ(ItemText(finish, 1023), "Kx310 (Copy 2)");
    PostClick(finish, kFinishButton);
    HWND replace = setup.Message();
    ASSERT_TRUE(replace);
    EXPECT_EQ(MessageText(replace).rfind("The printer is already installed.", 0), 0u);
    Answer(replace, IDYES);
    HWND question = setup.Message(kRunLimitMs);
    ASSERT_TRUE(question);
    Answer(question, IDCANCEL);
    HWND present = setup.Dialog("COM1");
    ASSERT_TRUE(present);
    Answer(present, IDCANCEL);

    // Stopped before anything was replaced: the old printer stays, nothing is created.
    ASSERT_TRUE(WaitUntil([&] { return !setup.Dialog("COM1", 0) && !setup.Dialog("Please wait...", 0); }));
    EXPECT_TRUE(VisiblePage(setup.wizard(), kFinishPortValue));
    EXPECT_FALSE(setup.Ended(1000));
    EXPECT_TRUE(FindPrinter(LocalPrinters(), "Kx310")) << "the old printer was kept";
    EXPECT_FALSE(FindPrinter(LocalPrinters(), "Kx310 (Copy 2)"));

    // Finish again, the printer answering now, but the monitor's user interface cannot be
    // replaced (a folder holds the name the installed one would move to): the old printer
    // goes, and the run stops at the monitor with nothing of the monitor changed.
    std::string obstacle = SystemFolder() + "veskmonui.dll.veskold";
    ASSERT_TRUE(CreateDirectoryA(obstacle.c_str(), nullptr));
    PutFile(SystemFolder(), "veskmonui.dll", "installed user interface");
    bool hadMonitor = FileExists(SystemFolder() + "veskmon.dll");
    std::string monitorBefore = FileContent(SystemFolder() + "veskmon.dll");
    sim.Control("silent off");
    sim.Sync();
    PostClick(VisiblePage(setup.wizard(), kFinishPortValue), kFinishButton);
    replace = setup.Message(kRunLimitMs);
    ASSERT_TRUE(replace);
    Answer(replace, IDYES);
    HWND failed = setup.Message(kRunLimitMs);
    ASSERT_TRUE(failed);
    EXPECT_EQ(MessageText(failed).rfind("Could not replace file ", 0), 0u) << MessageText(failed);
    Answer(failed, IDOK);
    // The person is told which printer is gone.
    HWND gone = setup.Message(kRunLimitMs);
    ASSERT_TRUE(gone);
    EXPECT_EQ(MessageText(gone), std::string(kRemovedPrintersText) + "\nKx310");
    Answer(gone, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !setup.Dialog("Please wait...", 0); }));
    EXPECT_FALSE(FindPrinter(LocalPrinters(), "Kx310")) << "the old printer was removed";
    EXPECT_EQ(FileExists(SystemFolder() + "veskmon.dll"), hadMonitor);
    EXPECT_EQ(FileContent(SystemFolder() + "veskmon.dll"), monitorBefore);
    EXPECT_EQ(FileContent(SystemFolder() + "veskmonui.dll"), "installed user interface");

    // A third run, after that removal: it installs without restarting the spooler or
    // touching the forms.
    ASSERT_TRUE(RemoveDirectoryA(obstacle.c_str()));
    StopSpooler();
    PutFormValue();
    PostClick(VisiblePage(setup.wizard(), kFinishPortValue), kFinishButton);
    ASSERT_TRUE(setup.RunsToItsEnd());
    EXPECT_TRUE(FindPrinter(LocalPrinters(), "Kx310 (Copy 2)"));
    EXPECT_TRUE(FormValueExists());
    EXPECT_EQ(ServiceState("Spooler"), static_cast<DWORD>(SERVICE_STOPPED));
}
