// The whole installation as a person runs it: setup.exe started from a copy of the assembled
// medium (in a folder whose name holds a blank), its wizard clicked through from another
// process, the printer simulator on COM1 as the printer, and the machine read back afterwards
// through the spooler, the registry and the profile.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#include "dialog_driver.h"
#include "engine_fixture.h"
#include "installation_run.h"
#include "resource.h"
#include "restart_windows.h"
#include "setup_copy.h"
#include "setup_fixture.h"
#include "simulator.h"
#include "start_up.h"
#include "test_env.h"
#include "wizard_test.h"

using namespace st;
using namespace vt;

namespace {

// The pages' own controls, by which a test tells the pages apart.
constexpr int kModelText = 1020;        // existing-driver page
constexpr int kShareNameButton = 1024;  // name page
constexpr int kYesButton = 1021;        // test-page page (and others)
constexpr int kNoButton = 1022;
constexpr int kFinishPortValue = 1027;  // finish page
constexpr int kFinishButton = 1004;

// How long a whole run may take on a busy machine: the spooler's restart, the printer's
// wake-up, a test page of PostScript at 9600 baud.
constexpr DWORD kRunLimitMs = 180000;
constexpr char kMessageCaption[] = "setup";

void CopyTree(const std::wstring& from, const std::wstring& to) {
    CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((from + L"*").c_str(), &entry);
    ASSERT_NE(find, INVALID_HANDLE_VALUE) << vt::Narrow(from);
    do {
        std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CopyTree(from + name + L"\\", to + name + L"\\");
        else
            EXPECT_TRUE(CopyFileW((from + name).c_str(), (to + name).c_str(), FALSE)) << vt::Narrow(name);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

// The assembled medium copied into a folder of this run named `name` (with a blank); the path
// of its setup.exe.
std::wstring PlaceMedium(const std::wstring& name = L"Setup Medium") {
    std::wstring folder = vt::RunDir() + name + L"\\";
    CopyTree(vt::Widen(AssembledMedium()), folder);
    return folder + L"setup.exe";
}

// setup.exe running in a process of its own; stopped if the test leaves it running.
class SetupProcess {
public:
    SetupProcess(const std::wstring& program, const wchar_t* arguments) {
        std::wstring commandLine = L"\"" + program + L"\"" + (arguments ? std::wstring(L" ") + arguments : L"");
        STARTUPINFOW start{};
        start.cb = sizeof start;
        if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &start, &process_)) {
            ADD_FAILURE() << "cannot start " << vt::Narrow(program) << ": " << GetLastError();
            return;
        }
        wizard_ = WaitForDialog("Vesk Systems Setup", kWaitMs, Caption::Exact, process_.dwProcessId);
    }
    ~SetupProcess() {
        if (!process_.hProcess) return;
        if (!Ended(0)) {
            TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, 5000);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    HWND wizard() const { return wizard_; }
    bool Ended(DWORD ms) const {
        return process_.hProcess && WaitForSingleObject(process_.hProcess, ms) == WAIT_OBJECT_0;
    }
    // A message box of setup's, or null once `ms` have passed without one.
    HWND Message(DWORD ms = kWaitMs) const {
        return WaitForDialog(kMessageCaption, ms, Caption::Exact, process_.dwProcessId);
    }
    HWND Dialog(const char* caption, DWORD ms = kWaitMs) const {
        return WaitForDialog(caption, ms, Caption::Exact, process_.dwProcessId);
    }
    // Waits for the program to end by itself; a message of its on the way fails the test
    // at once, with its text.
    bool RunsToItsEnd() const {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < kRunLimitMs) {
            if (Ended(200)) return true;
            if (HWND box = Message(0)) {
                ADD_FAILURE() << "setup stopped with the message: " << MessageText(box);
                return false;
            }
        }
        ADD_FAILURE() << "setup did not end within " << kRunLimitMs << " ms";
        return false;
    }

private:
    PROCESS_INFORMATION process_{};
    HWND wizard_ = nullptr;
};

// Presses a button of a message box or dialog of setup's and waits until it has gone.
void Answer(HWND window, int id) {
    PostClick(window, id);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }));
}

struct Answers {
    bool confirmPrinter = true;  // leave "Proceed without confirming" unticked
    bool testPage = true;
    bool replaceDriver = false;  // on the existing-driver page, when it shows
};

// The visible page showing `id` and not `notId`.
HWND PageWith(HWND wizard, int id, int notId) {
    HWND page = nullptr;
    WaitUntil([&] {
        page = VisiblePage(wizard, id);
        return page && !VisiblePage(wizard, notId);
    });
    return page;
}

// Clicks from the licence page to the finish page, as a person does, choosing Kx310; returns
// the finish page.
HWND WalkToFinish(HWND wizard, const Answers& answers) {
    HWND model = WalkToModelPage(wizard, [&](HWND port) {
        int selected = -1;
        std::vector<std::wstring> ports = ComboItems(port, IDC_COM_PORT, &selected);
        EXPECT_TRUE(selected >= 0 && ports[selected] == L"COM1:") << "COM1: is not the chosen port";
        if (!answers.confirmPrinter) Click(port, IDC_NO_CONFIRM);
    });
    if (!model || !ChooseListItem(model, IDC_MODEL_LIST, "Kx310")) return nullptr;
    Click(model, IDC_NEXT);
    // With the model's driver installed, the existing-driver page comes first: kept.
    HWND name = nullptr;
    WaitUntil([&] {
        name = VisiblePage(wizard, kShareNameButton);
        return name || VisiblePage(wizard, kModelText);
    });
    if (HWND existing = VisiblePage(wizard, kModelText)) {
        if (answers.replaceDriver) Click(existing, kNoButton);
        Click(existing, IDC_NEXT);
        name = WaitForPage(wizard, kShareNameButton);
    }
    if (!name) return nullptr;
    Click(name, IDC_NEXT);
    HWND testPage = PageWith(wizard, kYesButton, kShareNameButton);
    if (!testPage) return nullptr;
    if (!answers.testPage) Click(testPage, kNoButton);
    Click(testPage, IDC_NEXT);
    return WaitForPage(wizard, kFinishPortValue);
}

bool FormValueExists() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Forms", 0,
                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    bool found = RegQueryValueExA(key, "58 mm Roll Paper", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
}

void PutFormValue() {
    BYTE form[32] = {};
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Forms",
                              "58 mm Roll Paper", REG_BINARY, form, sizeof form),
              ERROR_SUCCESS);
}

// Sends `data` as a raw job through the spooler to `printer`.
bool PrintRaw(const char* printer, const std::string& data) {
    HANDLE handle = nullptr;
    if (!OpenPrinterA(const_cast<char*>(printer), &handle, nullptr)) return false;
    DOC_INFO_1A doc{const_cast<char*>("Receipt"), nullptr, const_cast<char*>("RAW")};
    DWORD written = 0;
    bool ok = StartDocPrinterA(handle, 1, reinterpret_cast<BYTE*>(&doc)) &&
              WritePrinter(handle, const_cast<char*>(data.data()), static_cast<DWORD>(data.size()), &written) &&
              written == data.size() && EndDocPrinter(handle);
    ClosePrinter(handle);
    return ok;
}

class InstallRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.present());
        // Windows lists its COM ports in the profile; a fresh Wine prefix lists none.
        for (const char* port : {"COM1:", "COM2:"}) WriteProfileStringA("ports", port, "9600,n,8,1");
        // The lanes' prefixes know the monitor from the start; a machine setup never ran on
        // does not.
        DeleteMonitorA(nullptr, nullptr, const_cast<char*>("Vesk Port Monitor"));
        auto monitors = MonitorNames();
        ASSERT_EQ(std::find(monitors.begin(), monitors.end(), "Vesk Port Monitor"), monitors.end());
        program = PlaceMedium();
    }
    Simulator sim{"com1"};
    std::wstring program;
};

}  // namespace

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

    auto printers = LocalPrinters();
    const InstalledPrinter* printer = FindPrinter(printers, "Kx310");
    ASSERT_TRUE(printer);
    EXPECT_EQ(printer->port, "VESK");
    EXPECT_EQ(printer->driver, "Kx310");
    EXPECT_EQ(printer->processor, "Vesk Print Processor");
    EXPECT_EQ(printer->datatype, "RAW");
    EXPECT_EQ(printer->share, "");
    EXPECT_EQ(DefaultPrinter(), "Kx310");

    // Under Wine a page drawn through GDI reaches the port as PostScript.
    EXPECT_NE(sim.Paper().find("%!PS"), std::string::npos) << "no test page on the paper";

    // A receipt printed through the spooler on the new printer arrives byte for byte.
    sim.Reset();
    std::string receipt = "\x1b@Vesk Systems\nCoffee        2.40\nTOTAL         2.40\n\x1d" "V\x01";
    ASSERT_TRUE(PrintRaw("Kx310", receipt)) << GetLastError();
    EXPECT_TRUE(SameBytes(sim.Paper(), receipt));
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

void StopSpooler() {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE spooler = manager ? OpenServiceA(manager, "Spooler", SERVICE_STOP) : nullptr;
    SERVICE_STATUS status{};
    if (spooler) ControlService(spooler, SERVICE_CONTROL_STOP, &status);
    if (spooler) CloseServiceHandle(spooler);
    if (manager) CloseServiceHandle(manager);
    EXPECT_TRUE(WaitUntil([] { return ServiceState("Spooler") == SERVICE_STOPPED; }));
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

// Moves `path` away and puts a file of other content in its place, as someone who may write
// to the medium's folder could; true when the move succeeded (the original is then at
// `path` + ".moved").
bool RenameAndPlant(const std::wstring& path) {
    if (!MoveFileW(path.c_str(), (path + L".moved").c_str())) return false;
    PutFile(vt::Narrow(FolderOf(path)), vt::Narrow(path.substr(FolderOf(path).size())), "planted");
    return true;
}

// The run reads and copies every file from setup's copy in the program files folder, which
// only administrators can write, not from the medium, which others may change while it runs:
// a file missing from the medium is missing from the copy, whatever an earlier run left there;
// and the copy holds the medium as it was when setup started, whatever was renamed and planted
// there while the wizard was open.
TEST_F(InstallRun, FromTheCopyInTheProgramFilesFolderAndNotFromTheMedium) {
    const std::string copy = vt::Narrow(SetupCopyFolder());
    PutFile(copy, "win2000\\i386\\Kx310.gpd", "left by an earlier medium");
    ASSERT_TRUE(DeleteFileW((FolderOf(program) + L"win2000\\i386\\Kx310.gpd").c_str()));
    const std::wstring monitor = FolderOf(program) + L"win2000\\i386\\PortMonitor\\veskmon.dll";
    const std::string programBytes = FileContent(vt::Narrow(program));
    const std::string monitorBytes = FileContent(vt::Narrow(monitor));
    SetupProcess setup(program, nullptr);
    ASSERT_TRUE(setup.wizard());
    for (const std::wstring& path : {program, monitor})
        EXPECT_FALSE(RenameAndPlant(path)) << vt::Narrow(path) << " could be renamed while setup held it";
    HWND finish = WalkToFinish(setup.wizard(), {false, false});
    ASSERT_TRUE(finish);
    PostClick(finish, kFinishButton);
    HWND failed = setup.Message(kRunLimitMs);
    ASSERT_TRUE(failed);
    EXPECT_EQ(MessageText(failed), "Could not copy file " + copy + "win2000\\i386\\Kx310.gpd");
    // (Compared whole: a difference would print a whole program.)
    EXPECT_TRUE(FileContent(copy + "setup.exe") == programBytes)
        << "the copy's setup.exe is not the program as setup started";
    EXPECT_TRUE(FileContent(copy + "win2000\\i386\\PortMonitor\\veskmon.dll") == monitorBytes)
        << "the copy's monitor is not the medium's as setup started";
}

namespace {

constexpr char kSavedKeys[] =
    "gstrPort gstrSettings DriverInfo_pName DriverInfo_pszMfgName DriverInfo_pszHardwareID "
    "DriverInfo_pszProvider DriverInfo_pDefaultDataType PrinterInfo_PrinterName "
    "PrinterInfo_ShareName PrinterInfo_PortName PrinterInfo_DriverName "
    "PrinterInfo_PrintProcessor PrinterInfo_Datatype gModelIndex gbDefaultPrinter gbTestPage "
    "gResumeCount";
constexpr char kWin98ProcessorKey[] =
    "System\\CurrentControlSet\\Control\\Print\\Environments\\Windows 4.0\\Print Processors\\"
    "Vesk Print Processor";

// The keys of the section "SavedData" of setup's store, in the order they stand in the file.
std::string SavedKeys(std::map<std::string, std::string>& values) {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    std::string text = FileContent(std::string(windows) + "\\SETUP.INI");
    size_t at = text.find("[SavedData]");
    if (at == std::string::npos) return "(no section)";
    std::string keys;
    size_t line = text.find('\n', at);
    while (line != std::string::npos && line + 1 < text.size() && text[line + 1] != '[') {
        size_t end = text.find('\n', line + 1);
        std::string entry = text.substr(line + 1, end == std::string::npos ? std::string::npos : end - line - 1);
        if (!entry.empty() && entry.back() == '\r') entry.pop_back();
        size_t eq = entry.find('=');
        if (eq != std::string::npos) {
            values[entry.substr(0, eq)] = entry.substr(eq + 1);
            keys += (keys.empty() ? "" : " ") + entry.substr(0, eq);
        }
        line = end;
    }
    return keys;
}

bool KeyExists(const char* path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

}  // namespace

TEST_F(InstallRun, Win98DriverInUseSavesTheStateRestartsAndTheResumeInstalls) {
    // setup.exe alone is told it runs on Windows 98.
    const char* appKey = "Software\\Wine\\AppDefaults\\setup.exe";
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, appKey, "Version", REG_SZ, "win98", 6), ERROR_SUCCESS);
    // This build has no Windows 98 libraries; Wine runs the 64-bit ones in their place.
    std::string medium = vt::Narrow(FolderOf(program));
    const std::wstring copy = SetupCopyProgram();
    PutBuiltFile(medium, "win98\\veskmon.dll", "veskmon.dll");
    PutBuiltFile(medium, "win98\\veskproc.dll", "veskproc.dll");
    // Installed before: the monitor, the print processor and the model's driver.
    WriteProfileStringA("Vesk Ports", "VESK", "COM1:,9600,n,8,1");
    ASSERT_TRUE(InstallIntoSystemDirectory(L"veskmon.dll"));
    MONITOR_INFO_2A monitor{const_cast<char*>("Vesk Port Monitor"), nullptr, const_cast<char*>("veskmon.dll")};
    ASSERT_TRUE(AddMonitorA(nullptr, 2, reinterpret_cast<BYTE*>(&monitor))) << GetLastError();
    ASSERT_TRUE(AddPrintProcessorA(nullptr, const_cast<char*>("Windows 4.0"), const_cast<char*>("veskproc.dll"),
                                   const_cast<char*>("Vesk Print Processor")));
    ASSERT_TRUE(KeyExists(kWin98ProcessorKey));
    DRIVER_INFO_3A driver{};
    driver.pName = const_cast<char*>("Kx310");
    driver.pEnvironment = const_cast<char*>("Windows 4.0");
    driver.pDriverPath = driver.pDataFile = driver.pConfigFile = const_cast<char*>("vesk.drv");
    ASSERT_TRUE(AddPrinterDriverA(nullptr, 3, reinterpret_cast<BYTE*>(&driver))) << GetLastError();
    // What Windows 98 would install has no counterpart in Wine's own environment: the
    // printer's driver and print processor are made known there for the resumed run.
    RegisterPrintProcessorForTests();
    AddTestDriver("Kx310");
    // Windows 98 has its print processor directory; Wine makes only its own.
    ASSERT_NE(PrintProcessorFolder("Windows 4.0"), "");
    PutFile(PrintProcessorFolder("Windows 4.0"), "placeholder", "");
    // The driver's library is in use: its replacement must wait for a restart.
    std::string held = DriverFolder("Windows 4.0") + "vesk.drv";
    PutFile(DriverFolder("Windows 4.0"), "vesk.drv", "in use");
    HANDLE inUse = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(inUse, INVALID_HANDLE_VALUE);
    RunEntryGuard runEntry;
    DeleteRunEntry();

    std::map<std::string, std::string> saved;
    {
        SetupProcess setup(program, nullptr);
        ASSERT_TRUE(setup.wizard());
        HWND finish = WalkToFinish(setup.wizard(), {false, false, true});
        ASSERT_TRUE(finish);
        PostClick(finish, kFinishButton);
        HWND restart = setup.Message(kRunLimitMs);
        ASSERT_TRUE(restart);
        EXPECT_EQ(MessageText(restart),
                  "You need to restart the computer for the changes to take effect.\nDo you want to "
                  "restart the computer.");
        // Everything is saved before the question.
        EXPECT_EQ(SavedKeys(saved), kSavedKeys);
        EXPECT_EQ(saved["gstrPort"], "COM1:");
        EXPECT_EQ(saved["PrinterInfo_PrinterName"], "Kx310");
        EXPECT_EQ(saved["PrinterInfo_ShareName"], "");
        EXPECT_EQ(saved["gbTestPage"], "0");
        EXPECT_EQ(saved["gResumeCount"], "0");
        // The resume starts setup's copy in the program files folder, not the medium's.
        EXPECT_EQ(RunEntry(), "\"" + vt::Narrow(copy) + "\" install");
        EXPECT_TRUE(FileExists(vt::Narrow(FolderOf(copy)) + "win98\\veskmon.dll"));
        auto monitors = MonitorNames();
        EXPECT_EQ(std::find(monitors.begin(), monitors.end(), "Vesk Port Monitor"), monitors.end());
        EXPECT_FALSE(KeyExists(kWin98ProcessorKey));
        Answer(restart, IDNO);
        EXPECT_TRUE(setup.Ended(kWaitMs)) << "the wizard stayed open after the question";
    }
    CloseHandle(inUse);

    // Anyone may write to the medium's folder: the monitor there is changed, and the medium's
    // setup.exe, started to resume, refuses to.
    PutFile(medium, "win98\\veskmon.dll", "tampered");
    {
        SetupProcess fromMedium(program, L"install");
        ASSERT_TRUE(fromMedium.wizard());
        HWND refused = fromMedium.Message(kRunLimitMs);
        ASSERT_TRUE(refused);
        EXPECT_EQ(MessageText(refused), kResumeRefusedText);
        EXPECT_FALSE(FindPrinter(LocalPrinters(), "Kx310"));
    }

    // Windows starts setup's copy again with "install": it finishes by itself, with the files
    // of the copy.
    sim.Reset();
    SetupProcess resumed(copy, L"install");
    ASSERT_TRUE(resumed.wizard());
    EXPECT_EQ(RunEntry(), std::nullopt);
    EXPECT_TRUE(VisiblePage(resumed.wizard(), kFinishPortValue)) << "the finish page is not shown";
    ASSERT_TRUE(resumed.RunsToItsEnd());
    auto printers = LocalPrinters();
    const InstalledPrinter* printer = FindPrinter(printers, "Kx310");
    ASSERT_TRUE(printer);
    EXPECT_EQ(printer->port, "VESK");
    EXPECT_EQ(printer->driver, "Kx310");
    EXPECT_EQ(printer->processor, "Vesk Print Processor");
    EXPECT_EQ(sim.Paper(), "") << "a test page was printed although none was asked for";
    EXPECT_NE(FileContent(SystemFolder() + "veskmon.dll"), "tampered");
    std::map<std::string, std::string> left;
    EXPECT_EQ(SavedKeys(left), "(no section)") << "the completed resume kept its saved state";

    // The last resume allowed meets the driver in use again: it says so and removes nothing,
    // as no restart will install it again.
    saved["gResumeCount"] = "1";
    for (const auto& [key, value] : saved)
        WritePrivateProfileStringA("SavedData", key.c_str(), value.c_str(), "SETUP.INI");
    inUse = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(inUse, INVALID_HANDLE_VALUE);
    {
        SetupProcess last(copy, L"install");
        ASSERT_TRUE(last.wizard());
        HWND refused = last.Message(kRunLimitMs);
        ASSERT_TRUE(refused);
        EXPECT_EQ(MessageText(refused), kResumesExhaustedText);
        Answer(refused, IDOK);
    }
    CloseHandle(inUse);
    auto monitors = MonitorNames();
    EXPECT_NE(std::find(monitors.begin(), monitors.end(), "Vesk Port Monitor"), monitors.end());
    EXPECT_TRUE(KeyExists(kWin98ProcessorKey));
    RegDeleteKeyValueA(HKEY_CURRENT_USER, appKey, "Version");
}

// A run whose port or settings are missing (a resume whose saved state is gone) stops with a
// message instead of storing a broken entry for the monitor.
TEST(CheckPrinterPort, RefusesAPortOrSettingsItCannotStore) {
    WriteProfileStringA("Vesk Ports", "VESK", "COM2:,19200,n,8,1");
    for (auto [port, settings] : {std::pair<const char*, const char*>{"", "9600,n,8,1"},
                                  {"COM1:", ""}, {"COM1:", "fast"}, {"COM12345:", "9600,n,8,1"}}) {
        SCOPED_TRACE(std::string(port) + " " + settings);
        MessageCatcher messages;
        EXPECT_EQ(CheckPrinterPort(port, settings), "");
        EXPECT_EQ(messages.Messages().size(), 1u);
    }
    EXPECT_EQ(ProfileText("Vesk Ports", "VESK"), "COM2:,19200,n,8,1");
    WriteProfileStringA("Vesk Ports", nullptr, nullptr);
}
