// The removal as Programs and Features and deployment tools start it: the command the
// installation registered, run on a machine a quiet installation made, the machine read back
// against what it held before.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <string>

#include "dialog_driver.h"
#include "install_run_fixture.h"

using namespace st;
using namespace vt;

namespace {

const std::wstring kQuietKx310 = L"/quiet /port=COM1 /settings=9600,n,8,1 /model=Kx310";
constexpr wchar_t kEntryKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vesk Printer Setup";

std::wstring EntryText(const wchar_t* name) {
    wchar_t text[1024] = {};
    DWORD size = sizeof text;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kEntryKey, name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return L"(none)";
    return text;
}

DWORD EntryNumber(const wchar_t* name) {
    DWORD value = 0, size = sizeof value;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kEntryKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
        return 0xFFFFFFFF;
    return value;
}

// The version of the program at `path` as its resource gives it ("1.2.3.4").
std::wstring VersionOf(const std::wstring& path) {
    DWORD ignored = 0;
    std::vector<BYTE> data(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT size = 0;
    if (data.empty() || !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &size))
        return L"(none)";
    return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(info->dwFileVersionMS)) +
           L"." + std::to_wstring(HIWORD(info->dwFileVersionLS)) + L"." + std::to_wstring(LOWORD(info->dwFileVersionLS));
}

// The program of a registered command: the path between its first pair of double quotes.
std::wstring ProgramOf(const std::wstring& command) {
    size_t end = command.find(L'"', 1);
    return command.size() > 1 && command[0] == L'"' && end != std::wstring::npos ? command.substr(1, end - 1) : L"";
}

TEST_F(InstallRun, QuietRemovalLeavesTheMachineAsItWas) {
    const std::vector<std::string> before = MachineListing();
    ASSERT_EQ(RunQuietly(program, kQuietKx310).exitCode, 0u);

    // What Programs and Features shows, and the commands it runs.
    wchar_t programFiles[MAX_PATH];
    ASSERT_TRUE(GetEnvironmentVariableW(L"ProgramFiles", programFiles, MAX_PATH));
    const std::wstring copy = std::wstring(programFiles) + L"\\Vesk Setup\\";
    EXPECT_EQ(EntryText(L"DisplayName"), L"Vesk Printer Setup");
    EXPECT_EQ(EntryText(L"DisplayVersion"), VersionOf(program));
    EXPECT_EQ(EntryText(L"Publisher"), L"Vesk Systems");
    EXPECT_EQ(EntryText(L"InstallLocation"), copy);
    EXPECT_EQ(EntryText(L"UninstallString"), L"\"" + copy + L"setup.exe\" /uninstall");
    const std::wstring quiet = EntryText(L"QuietUninstallString");
    EXPECT_EQ(quiet, L"\"" + copy + L"setup.exe\" /uninstall /quiet");
    EXPECT_EQ(EntryNumber(L"NoModify"), 1u);
    EXPECT_EQ(EntryNumber(L"NoRepair"), 1u);
    EXPECT_GT(EntryNumber(L"EstimatedSize"), 0u);
    EXPECT_LT(EntryNumber(L"EstimatedSize"), 0xFFFFFFFFu);

    QuietRun removal = RunQuietly(ProgramOf(quiet), L"/uninstall /quiet");
    EXPECT_EQ(removal.exitCode, 0u);
    EXPECT_FALSE(removal.windowShown);
    EXPECT_EQ(ListingChanges(before, MachineListing()), "");

    // A second removal finds nothing.
    QuietRun again = RunQuietly(program, L"/uninstall /quiet");
    EXPECT_EQ(again.exitCode, 0u);
    EXPECT_EQ(ListingChanges(before, MachineListing()), "");
}

TEST_F(InstallRun, RemovalAsksOnceTakesTheQueuedJobAndKeepsOtherPrinters) {
    ASSERT_EQ(RunQuietly(program, kQuietKx310 + L" /notestpage").exitCode, 0u);
    AddTestDriver("Other Make");
    AddTestPrinter("Other Make", "Other Make", "FILE:");
    AddTestPrinter("Kx310 on a file", "Kx310", "FILE:");
    QueueJob("Kx310");
    const std::wstring copy = ProgramOf(EntryText(L"UninstallString"));

    auto ask = [&](int answer) {
        SetupProcess removal(copy, L"/uninstall", false);
        HWND question = removal.Message();
        EXPECT_TRUE(question) << "the removal did not ask";
        if (!question) return STILL_ACTIVE;
        std::string text = MessageText(question);
        EXPECT_NE(text.find("Kx310"), std::string::npos) << text;
        EXPECT_EQ(text.find("Other Make"), std::string::npos) << text;
        EXPECT_EQ(text.find("Kx310 on a file"), std::string::npos) << text;
        Answer(question, answer);
        EXPECT_TRUE(removal.Ended(kRunLimitMs));
        EXPECT_EQ(removal.Message(0), nullptr) << "a second message: " << MessageText(removal.Message(0));
        return removal.ExitCode();
    };
    EXPECT_EQ(ask(IDNO), 1602u);
    EXPECT_TRUE(FindPrinter(LocalPrinters(), "Kx310")) << "No removed the printer";
    EXPECT_NE(EntryText(L"DisplayName"), L"(none)") << "No removed the entry";

    EXPECT_EQ(ask(IDYES), 0u);
    auto printers = LocalPrinters();
    EXPECT_FALSE(FindPrinter(printers, "Kx310"));
    EXPECT_TRUE(FindPrinter(printers, "Other Make")) << "a printer of another make was deleted";
    EXPECT_TRUE(FindPrinter(printers, "Kx310 on a file")) << "a printer of ours on another port was deleted";
    EXPECT_TRUE(FindDriver(InstalledDrivers(), "Kx310")) << "a driver still in use was deleted";
    EXPECT_EQ(EntryText(L"DisplayName"), L"(none)");
}

}  // namespace
