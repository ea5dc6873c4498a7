// The whole installation where it cannot finish at once, and what it takes from where: the
// copy of setup in the program files folder and the medium held as setup found it, the
// Windows 98 restart with its resume, and the port and settings a run refuses to store.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <map>
#include <string>

#include "dialog_driver.h"
#include "install_run_fixture.h"
#include "installation_run.h"
#include "restart_windows.h"
#include "setup_copy.h"
#include "start_up.h"

using namespace st;
using namespace vt;

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

// A machine as Windows 98 where the installed driver's library is in use, so that the new
// one must wait for a restart: setup.exe alone told it runs on Windows 98, the monitor, the
// print processor and the model's driver installed before. `held` is the library, held open
// by `inUse` until the test closes it.
struct Win98DriverInUse {
    std::string medium;
    std::string held;
    HANDLE inUse = INVALID_HANDLE_VALUE;
};
constexpr char kWin98AppKey[] = "Software\\Wine\\AppDefaults\\setup.exe";

Win98DriverInUse PrepareWin98DriverInUse(const std::wstring& program) {
    Win98DriverInUse machine;
    // setup.exe alone is told it runs on Windows 98.
    EXPECT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kWin98AppKey, "Version", REG_SZ, "win98", 6), ERROR_SUCCESS);
    // This build has no Windows 98 libraries; Wine runs the 64-bit ones in their place.
    std::string& medium = machine.medium;
    medium = vt::Narrow(FolderOf(program));
    PutBuiltFile(medium, "win98\\veskmon.dll", "veskmon.dll");
    PutBuiltFile(medium, "win98\\veskproc.dll", "veskproc.dll");
    // Installed before: the monitor, the print processor and the model's driver.
    WriteProfileStringA("Vesk Ports", "VESK", "COM1:,9600,n,8,1");
    EXPECT_TRUE(InstallIntoSystemDirectory(L"veskmon.dll"));
    MONITOR_INFO_2A monitor{const_cast<char*>("Vesk Port Monitor"), nullptr, const_cast<char*>("veskmon.dll")};
    EXPECT_TRUE(AddMonitorA(nullptr, 2, reinterpret_cast<BYTE*>(&monitor))) << GetLastError();
    EXPECT_TRUE(AddPrintProcessorA(nullptr, const_cast<char*>("Windows 4.0"), const_cast<char*>("veskproc.dll"),
                                   const_cast<char*>("Vesk Print Processor")));
    EXPECT_TRUE(KeyExists(kWin98ProcessorKey));
    DRIVER_INFO_3A driver{};
    driver.pName = const_cast<char*>("Kx310");
    driver.pEnvironment = const_cast<char*>("Windows 4.0");
    driver.pDriverPath = driver.pDataFile = driver.pConfigFile = const_cast<char*>("vesk.drv");
    EXPECT_TRUE(AddPrinterDriverA(nullptr, 3, reinterpret_cast<BYTE*>(&driver))) << GetLastError();
    // What Windows 98 would install has no counterpart in Wine's own environment: the
    // printer's driver and print processor are made known there for the resumed run.
    RegisterPrintProcessorForTests();
    AddTestDriver("Kx310");
    // Windows 98 has its print processor directory; Wine makes only its own.
    EXPECT_NE(PrintProcessorFolder("Windows 4.0"), "");
    PutFile(PrintProcessorFolder("Windows 4.0"), "placeholder", "");
    // The driver's library is in use: its replacement must wait for a restart.
    std::string& held = machine.held;
    held = DriverFolder("Windows 4.0") + "vesk.drv";
    PutFile(DriverFolder("Windows 4.0"), "vesk.drv", "in use");
    machine.inUse = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(machine.inUse, INVALID_HANDLE_VALUE);
    return machine;
}

TEST_F(InstallRun, Win98DriverInUseSavesTheStateRestartsAndTheResumeInstalls) {
    Win98DriverInUse machine = PrepareWin98DriverInUse(program);
    ASSERT_FALSE(HasFailure());
    const std::string& medium = machine.medium;
    const std::string& held = machine.held;
    HANDLE inUse = machine.inUse;
    const std::wstring copy = SetupCopyProgram();
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
    ASSERT_TRUE(InstalledKx310("Kx310"));
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
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kWin98AppKey, "Version");
}

// A quiet run that needs a restart ends with 3010, its state and resume in place; the resume
// Windows starts after the restart goes on as quietly, into the same log, under the same
// policy.
TEST_F(InstallRun, Win98QuietRunEndsWith3010AndItsResumeStaysQuiet) {
    Win98DriverInUse machine = PrepareWin98DriverInUse(program);
    ASSERT_FALSE(HasFailure());
    RunEntryGuard runEntry;
    DeleteRunEntry();
    const std::wstring log = RunDir() + L"quiet-restart.log";
    QuietRun first = RunQuietly(program, L"/quiet /port=COM1 /settings=9600,n,8,1 /model=Kx310 "
                                         L"/notestpage /replaceprinters /log=" + log);
    EXPECT_EQ(first.exitCode, 3010u);
    EXPECT_FALSE(first.windowShown);
    std::map<std::string, std::string> saved;
    EXPECT_EQ(SavedKeys(saved), std::string(kSavedKeys) + " gbQuiet gbReplacePrinters gstrLogPath");
    EXPECT_EQ(saved["gbReplacePrinters"], "1");
    EXPECT_EQ(saved["gstrLogPath"], vt::Narrow(log));
    EXPECT_EQ(RunEntry(), "\"" + vt::Narrow(SetupCopyProgram()) + "\" install");
    CloseHandle(machine.inUse);

    QuietRun resumed = RunQuietly(SetupCopyProgram(), L"install");
    EXPECT_EQ(resumed.exitCode, 0u);
    EXPECT_FALSE(resumed.windowShown) << "the resume of a quiet run showed a window";
    EXPECT_TRUE(InstalledKx310("Kx310"));
    EXPECT_EQ(RunEntry(), std::nullopt);
    EXPECT_EQ(SavedKeys(saved), "(no section)");
    std::string text = FileContent(vt::Narrow(log));
    EXPECT_NE(text.find("exit code 3010"), std::string::npos) << text;
    EXPECT_NE(text.find("setup.exe\" install; Windows"), std::string::npos) << "the resume logged elsewhere:\n" << text;
    EXPECT_NE(text.rfind("exit code 0"), std::string::npos) << text;
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kWin98AppKey, "Version");
}

// A run whose port or settings are missing (a resume whose saved state is gone) stops with a
// message instead of storing a broken entry for the monitor.
TEST(CheckPrinterPort, RefusesAPortOrSettingsItCannotStore) {
    WriteProfileStringA("Vesk Ports", "VESK", "COM2:,19200,n,8,1");
    for (auto [port, settings] : {std::pair<const char*, const char*>{"", "9600,n,8,1"},
                                  {"COM1:", ""}, {"COM1:", "fast"}, {"COM12345:", "9600,n,8,1"}}) {
        SCOPED_TRACE(std::string(port) + " " + settings);
        RecordingFrontEnd messages;
        EXPECT_EQ(CheckPrinterPort(port, settings), "");
        EXPECT_EQ(messages.Messages().size(), 1u);
    }
    EXPECT_EQ(ProfileText("Vesk Ports", "VESK"), "COM2:,19200,n,8,1");
    WriteProfileStringA("Vesk Ports", nullptr, nullptr);
}
