// The removal against the spooler, registry, profile and folders of a prefix made for this
// run: an installation through the engine taken off again, read back against what the machine
// held before it; and what the system holds going when Windows starts.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "dialog_driver.h"
#include "engine_fixture.h"
#include "install_run_fixture.h"
#include "installation_run.h"
#include "medium_snapshot.h"
#include "print_processor_install.h"
#include "removal.h"
#include "removal_files.h"
#include "removal_parts.h"
#include "restart_windows.h"
#include "setup_copy.h"
#include "start_up.h"
#include "test_env.h"
#include "uninstall_entry.h"
#include "windows_family.h"

namespace {

constexpr char kMonitor[] = "Vesk Port Monitor";

std::string Files(const std::string& folder, const char* pattern = "*") {
    std::string list;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + pattern).c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return "";
    std::vector<std::string> names;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(entry.cFileName);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) list += name + " ";
    return list;
}

bool KeyExists(const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::string ProfileSection(const char* section, const char* file = nullptr) {
    char text[4096] = {};
    DWORD chars = file ? GetPrivateProfileSectionA(section, text, sizeof text, file)
                       : GetProfileSectionA(section, text, sizeof text);
    std::string lines(text, chars);
    std::replace(lines.begin(), lines.end(), '\0', ';');
    return lines;
}

std::string Printers() {
    std::string text;
    for (const st::InstalledPrinter& p : st::LocalPrinters()) text += p.name + "|" + p.port + "|" + p.driver + " ";
    return text;
}

// What the installation and the removal touch besides the printers, as one text, so that a
// difference shows whole.
std::string Machine() {
    std::ostringstream text;
    text << "drivers:";
    for (const st::InstalledDriver& d : st::InstalledDrivers()) text << " " << d.name;
    text << "\nmonitors:";
    for (const std::string& m : st::MonitorNames()) text << " " << m;
    text << "\nprint processor listed: " << st::PrintProcessorListed(kPrintProcessorName)
         << "\nprint processor key: " << KeyExists(PrintProcessorKey(SpoolerEnvironment(), kPrintProcessorName))
         << "\nmonitor key: " << KeyExists(std::string(kMonitorsKey) + kMonitor)
         << "\nuninstall entry: " << KeyExists(vt::Narrow(kUninstallKey))
         << "\nroll-paper form: " << st::FormValueExists()
         << "\nsystem: " << Files(st::SystemFolder(), "vesk*")
         << "\ndriver folder: " << Files(st::DriverFolder()) << "| " << Files(st::DriverFolder() + "3\\")
         << "\nprint processor folder: " << Files(st::PrintProcessorFolder())
         << "\nVesk Ports: " << ProfileSection(kMonitorProfileSection)
         << "\nsaved state: " << ProfileSection("SavedData", ResumeStoreFile().c_str())
         << "\nresume: " << (RegGetValueA(HKEY_LOCAL_MACHINE, ResumeKey(), kRunValue, RRF_RT_REG_SZ, nullptr,
                                          nullptr, nullptr) == ERROR_SUCCESS)
         << "\ncopy: " << (GetFileAttributesW(SetupCopyFolder().c_str()) != INVALID_FILE_ATTRIBUTES);
    return text.str();
}

// The deletions Windows does when it next starts, as the paths it was given.
std::vector<std::wstring> DeletedAtRestart() {
    std::vector<wchar_t> data(65536);
    DWORD bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    std::vector<std::wstring> paths;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
                     L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, data.data(), &bytes) != ERROR_SUCCESS)
        return paths;
    // Pairs of source and target; an empty target deletes the source.
    std::vector<std::wstring> items;
    for (const wchar_t* p = data.data(); p < data.data() + bytes / sizeof(wchar_t);) {
        std::wstring item = p;
        items.push_back(item);
        p += item.size() + 1;
    }
    for (size_t i = 0; i + 1 < items.size(); i += 2) {
        if (!items[i + 1].empty() || items[i].empty()) continue;
        std::wstring path = items[i];
        if (path.rfind(L"\\??\\", 0) == 0) path = path.substr(4);
        paths.push_back(path);
    }
    return paths;
}

void ClearRestartDeletions() {
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
                       L"PendingFileRenameOperations");
}

// While it lives, the printer `name` has a sub-key that is a link to nowhere: Wine's deletion
// of the printer then stops at that sub-key, yet succeeds, and the printer stays listed, as
// Windows lists one that is still sending a document until the document is done.
class PrinterKeptListed {
public:
    explicit PrinterKeptListed(const std::string& name)
        : path_(L"System\\CurrentControlSet\\Control\\Print\\Printers\\" + vt::Widen(name) + L"\\Kept") {
        HKEY link;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                            KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &link, nullptr) != ERROR_SUCCESS)
            return;
        const std::wstring target = L"\\Registry\\Machine\\Software\\Vesk Nowhere";
        made_ = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target.c_str()),
                               static_cast<DWORD>(target.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
        RegCloseKey(link);
    }
    ~PrinterKeptListed() {
        HKEY link;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), REG_OPTION_OPEN_LINK, DELETE, &link) != ERROR_SUCCESS) return;
        RegDeleteKeyW(link, L"");
        RegCloseKey(link);
    }
    bool Made() const { return made_; }

private:
    std::wstring path_;
    bool made_ = false;
};

// A machine the installation never ran on, with a printer of another make and one of the
// models on another port, whose drivers name the platform's universal driver files.
void PrepareMachine() {
    // The lanes' prefixes know the monitor from the start.
    DeleteMonitorA(nullptr, nullptr, const_cast<char*>(kMonitor));
    for (const char* file : {"veskmon.dll", "veskmonui.dll"}) DeleteFileA((st::SystemFolder() + file).c_str());
    WriteProfileStringA(kMonitorProfileSection, nullptr, nullptr);
    for (const char* file : {"UNIDRV.DLL", "UNIDRVUI.DLL", "test.gpd"})
        st::PutFile(st::DriverFolder() + "3\\", file, std::string("platform file ") + file);
    ASSERT_NO_FATAL_FAILURE(st::AddTestDriver("Other Make"));
    ASSERT_NO_FATAL_FAILURE(st::AddTestDriver("Kx120"));
    ASSERT_NO_FATAL_FAILURE(st::AddTestPrinter("Front Desk", "Other Make", "FILE:"));
}

TEST(RemovalRun, TakesOffWhatTheInstallationPutOnAndNothingElse) {
    ASSERT_NO_FATAL_FAILURE(PrepareMachine());
    const std::string before = Machine();

    ASSERT_NO_FATAL_FAILURE(st::ChooseModel(st::AssembledMedium(), "Kx310"));
    Choices().gbTalkToPrinter = false;
    Choices().gbTestPage = false;
    Choices().gbDefaultPrinter = false;
    Choices().gstrPort = "COM1:";
    Choices().gstrSettings = "9600,n,8,1";
    {
        st::RecordingFrontEnd messages;
        InstallRunState state;
        InstallOutcome outcome = RunInstallationSteps(messages, state);
        EXPECT_TRUE(messages.Messages().empty()) << messages.Messages().front();
        ASSERT_EQ(outcome, InstallOutcome::Completed);
    }
    // The installation registered the product, to be removed by setup's copy.
    const std::wstring copy = SetupCopyFolder(), program = SetupCopyProgram();
    EXPECT_EQ(st::UninstallEntryText(L"DisplayName"), L"Vesk Printer Setup");
    EXPECT_EQ(st::UninstallEntryText(L"Publisher"), L"Vesk Systems");
    EXPECT_EQ(st::UninstallEntryText(L"InstallLocation"), copy);
    EXPECT_EQ(st::UninstallEntryText(L"UninstallString"), L"\"" + program + L"\" /uninstall");
    EXPECT_EQ(st::UninstallEntryText(L"QuietUninstallString"), L"\"" + program + L"\" /uninstall /quiet");
    EXPECT_EQ(st::UninstallEntryNumber(L"NoModify"), 1u);
    EXPECT_EQ(st::UninstallEntryNumber(L"NoRepair"), 1u);
    EXPECT_GT(st::UninstallEntryNumber(L"EstimatedSize"), 1024u) << "the copy holds setup and the medium's folder";
    // The version is the copy's program's.
    ASSERT_NO_FATAL_FAILURE(st::PutBuiltFile(vt::Narrow(copy), "setup.exe", "version-2.0.0.5.dll"));
    {
        st::RecordingFrontEnd messages;
        EXPECT_TRUE(RegisterProduct());
    }
    EXPECT_EQ(st::UninstallEntryText(L"DisplayVersion"), L"2.0.0.5");

    // More printers of the models on VESK, one with a document waiting, and one on another
    // port (which an installation would have offered to replace); an earlier run's saved
    // state; the roll-paper form of an earlier driver.
    ASSERT_NO_FATAL_FAILURE(st::AddTestPrinter("Back Office", "Kx120", "LPT1:"));
    ASSERT_NO_FATAL_FAILURE(st::AddTestDriver("Kx240-F"));
    ASSERT_NO_FATAL_FAILURE(st::AddTestPrinter("Till 2", "Kx310", "VESK"));
    ASSERT_NO_FATAL_FAILURE(st::AddTestPrinter("Till 3", "Kx240-F", "vesk:"));
    const std::string job = st::QueueJob("Kx310");
    ASSERT_TRUE(st::FileExists(job)) << job;
    WritePrivateProfileStringA("SavedData", "gstrPort", "COM2:", ResumeStoreFile().c_str());
    RegisterResume(program);
    ASSERT_NO_FATAL_FAILURE(st::PutFormValue());
    const std::vector<st::InstalledDriver> drivers = st::InstalledDrivers();
    const st::InstalledDriver* kx310 = st::FindDriver(drivers, "Kx310");
    ASSERT_TRUE(kx310);

    // A printer of another make on our port needs the monitor: nothing goes, nothing is asked.
    ASSERT_NO_FATAL_FAILURE(st::AddTestPrinter("Kitchen", "Other Make", "VESK"));
    const std::string installed = Machine() + Printers();
    {
        st::RecordingFrontEnd messages({IDYES});
        EXPECT_EQ(RemoveInstallation(messages, program), RemovalOutcome::Failed);
        EXPECT_EQ(messages.Questions(), 0);
        EXPECT_EQ(messages.Messages(),
                  std::vector<std::string>{std::string(kPrintersInTheWayText) + "\nKitchen (VESK, Other Make)"});
        EXPECT_EQ(Machine() + Printers(), installed);
    }
    st::DeletePrinterNamed("Kitchen");
    const std::string asked = RemovalQuestion({"Kx310", "Till 2", "Till 3"});
    {
        // No: nothing changes.
        const std::string now = Machine() + Printers();
        st::RecordingFrontEnd messages({IDNO});
        EXPECT_EQ(RemoveInstallation(messages, program), RemovalOutcome::Declined);
        EXPECT_EQ(messages.Messages(), std::vector<std::string>{asked});
        EXPECT_EQ(Machine() + Printers(), now);
        EXPECT_TRUE(st::FileExists(job));
    }
    {
        // A printer still listed after its deletion keeps its driver in use: the removal stops
        // before the drivers, naming it, and the entry that runs it again stays.
        ASSERT_NO_FATAL_FAILURE(st::AddTestPrinter("Till 4", "Kx310", "VESK"));
        PrinterKeptListed kept("Till 4");
        ASSERT_TRUE(kept.Made());
        st::RecordingFrontEnd messages({IDYES});
        const DWORD start = GetTickCount();
        EXPECT_EQ(RemoveInstallation(messages, program), RemovalOutcome::Failed);
        EXPECT_GE(GetTickCount() - start, kPrintersGoneLimitMs);
        EXPECT_EQ(messages.Messages(),
                  (std::vector<std::string>{RemovalQuestion({"Kx310", "Till 2", "Till 3", "Till 4"}),
                                            std::string(kPrintersStayText) + "\nTill 4"}));
        EXPECT_TRUE(st::FindDriver(st::InstalledDrivers(), "Kx310"));
        EXPECT_EQ(st::UninstallEntryText(L"DisplayName"), L"Vesk Printer Setup");
    }
    {
        st::RecordingFrontEnd messages({IDYES});
        EXPECT_EQ(RemoveInstallation(messages, program), RemovalOutcome::Removed);
        EXPECT_EQ(messages.Messages(), std::vector<std::string>{RemovalQuestion({"Till 4"})});
    }
    EXPECT_EQ(Machine(), before);
    EXPECT_EQ(Printers(), "Back Office|LPT1:|Kx120 Front Desk|FILE:|Other Make ");
    // The platform's files another driver names stay; the model's own go.
    for (const std::string& file : std::vector<std::string>{kx310->driverPath, kx310->dataFile, kx310->configFile})
        EXPECT_EQ(st::FileExists(file), file.find("UNIDRV") != std::string::npos) << file;
    // The program that ran the removal was moved out of the copy, to be deleted at the restart.
    std::vector<std::wstring> later = DeletedAtRestart();
    ASSERT_EQ(later.size(), 1u);
    EXPECT_EQ(vt::Narrow(FolderOf(later[0])), vt::Narrow(FolderOf(copy.substr(0, copy.size() - 1))));
    EXPECT_TRUE(GetFileAttributesW(later[0].c_str()) != INVALID_FILE_ATTRIBUTES);

    // A second removal finds nothing and asks about nothing to delete.
    {
        st::RecordingFrontEnd messages({IDYES});
        EXPECT_EQ(RemoveInstallation(messages, program), RemovalOutcome::Removed);
        EXPECT_EQ(messages.Messages(), std::vector<std::string>{RemovalQuestion({})});
    }
    EXPECT_EQ(Machine(), before);
    ClearRestartDeletions();

    // A monitor or library without a name deletes nothing: not the key of all monitors, with
    // the system's own, and not the system directory.
    for (const auto& [name, library] : {std::pair<const char*, const char*>{"", "veskmon.dll"}, {kMonitor, ""}}) {
        FileRemoval files;
        RemovalPass pass{files};
        st::RecordingFrontEnd messages;
        RemoveMonitor(pass, name, {library});
        EXPECT_TRUE(pass.failed) << name << "|" << library;
        EXPECT_EQ(messages.Messages().size(), 1u) << name << "|" << library;
        EXPECT_FALSE(files.AnyHeld()) << name << "|" << library;
    }
    EXPECT_TRUE(KeyExists(std::string(kMonitorsKey) + "Local Port"));
    EXPECT_TRUE(DeletedAtRestart().empty());
}

// Files held open as the spooler and a running program hold theirs: tried again after the
// spooler's restart, then left to the next start of Windows; the copy's program, which cannot
// be moved out either, goes then with its folder.
TEST(RemovalRun, WhatStaysInUseGoesWhenWindowsStarts) {
    ClearRestartDeletions();
    st::StopSpooler();
    const std::wstring copy = SetupCopyFolder(), program = SetupCopyProgram();
    const std::string folder = vt::Narrow(copy);
    st::PutFile(folder, "setup.exe", std::string(3000, 'x'));
    st::PutFile(folder, "win2000\\i386\\Kx310.gpd", std::string(2000, 'y'));
    {
        st::RecordingFrontEnd messages;
        ASSERT_TRUE(RegisterProduct());
    }
    // 5000 bytes in all, in whole KiB.
    EXPECT_EQ(st::UninstallEntryNumber(L"EstimatedSize"), 5u);
    // The ports the monitor mirrors for Wine, left behind by a monitor no longer registered.
    const std::string monitorKey = std::string(kMonitorsKey) + kMonitor;
    HKEY port;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (monitorKey + "\\Ports\\VESK").c_str(), 0, nullptr, 0,
                              KEY_WRITE, nullptr, &port, nullptr), ERROR_SUCCESS);
    RegCloseKey(port);
    const std::string library = st::PrintProcessorFolder() + "veskproc.dll";
    st::PutFile("", library, "print processor");
    auto hold = [](const std::string& path) {
        return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    };
    HANDLE loaded = hold(library), running = hold(folder + "setup.exe");
    ASSERT_NE(loaded, INVALID_HANDLE_VALUE);
    ASSERT_NE(running, INVALID_HANDLE_VALUE);
    {
        st::RecordingFrontEnd messages({IDYES});
        EXPECT_EQ(RemoveInstallation(messages, program), RemovalOutcome::RestartNeeded);
        EXPECT_EQ(messages.Messages(), std::vector<std::string>{RemovalQuestion({})});
    }
    CloseHandle(loaded);
    CloseHandle(running);
    EXPECT_EQ(st::ServiceState("Spooler"), static_cast<DWORD>(SERVICE_RUNNING)) << "the spooler was not restarted";
    std::wstring copyWithout = copy.substr(0, copy.size() - 1);
    std::vector<std::wstring> later = DeletedAtRestart();
    std::vector<std::wstring> expected = {vt::Widen(library), program, copyWithout};
    EXPECT_EQ(later, expected);
    EXPECT_FALSE(st::FileExists(folder + "win2000\\i386\\Kx310.gpd"));
    EXPECT_EQ(st::UninstallEntryText(L"DisplayName"), L"(missing)");
    EXPECT_FALSE(KeyExists(monitorKey));
    ClearRestartDeletions();

    // A file of the copy held open, the program free to move out: the file and its folder go
    // when Windows starts, which the removal says.
    st::PutFile(folder, "setup.exe", "setup");
    st::PutFile(folder, "licence.txt", "licence");
    {
        st::RecordingFrontEnd messages;
        ASSERT_TRUE(RegisterProduct());
    }
    HANDLE held = hold(folder + "licence.txt");
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    {
        st::RecordingFrontEnd messages({IDYES});
        EXPECT_EQ(RemoveInstallation(messages, program), RemovalOutcome::RestartNeeded);
        EXPECT_EQ(messages.Messages(), std::vector<std::string>{RemovalQuestion({})});
    }
    CloseHandle(held);
    later = DeletedAtRestart();
    ASSERT_EQ(later.size(), 3u);
    EXPECT_EQ(later[0], copy + L"licence.txt");
    EXPECT_NE(later[1], program) << "moved out of the copy";
    EXPECT_EQ(later[2], copyWithout);
    EXPECT_EQ(st::UninstallEntryText(L"DisplayName"), L"(missing)");
    ClearRestartDeletions();
    DeleteFileW(later[1].c_str());
    DeleteFileA((folder + "licence.txt").c_str());
    RemoveDirectoryW(copyWithout.c_str());

    // A folder nested deeper than the copy ever is, and not empty, is not emptied: it stays,
    // named, and the entry and the program it starts stay with it, to run the removal again.
    std::string deep = folder;
    for (int depth = 0; depth <= kMaxMediumDepth; ++depth) deep += "level" + std::to_string(depth) + "\\";
    st::PutFile(deep, "left.txt", "left");
    st::PutFile(folder, "setup.exe", "setup");
    {
        st::RecordingFrontEnd messages;
        ASSERT_TRUE(RegisterProduct());
    }
    {
        st::RecordingFrontEnd messages({IDYES});
        EXPECT_EQ(RemoveInstallation(messages, program), RemovalOutcome::Failed);
        EXPECT_EQ(messages.Messages(),
                  (std::vector<std::string>{RemovalQuestion({}),
                                            std::string(kFolderStaysText) + "\n" + deep.substr(0, deep.size() - 1)}));
    }
    EXPECT_TRUE(st::FileExists(deep + "left.txt"));
    EXPECT_EQ(st::UninstallEntryText(L"DisplayName"), L"Vesk Printer Setup");
    EXPECT_TRUE(st::FileExists(vt::Narrow(program)));
    EXPECT_TRUE(DeletedAtRestart().empty());
    ClearRestartDeletions();
}

}  // namespace
