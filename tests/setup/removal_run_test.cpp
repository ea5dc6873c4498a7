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
    const std::string installed = ListingChanges(before, MachineListing());
    for (const char* added : {"+ printer Kx310|VESK|Kx310|Vesk Print Processor", "+ monitor Vesk Port Monitor",
                              "Uninstall\\Vesk Printer Setup", "veskmon.dll", "Vesk Setup\\setup.exe"})
        EXPECT_NE(installed.find(added), std::string::npos) << "the listing misses " << added << ":\n" << installed;

    // The version a deployment tool detects the installation by, and the command it removes
    // it with (the entry's other values are the engine tests').
    EXPECT_EQ(UninstallEntryText(L"DisplayVersion"), VersionOf(program));
    const std::wstring quiet = UninstallEntryText(L"QuietUninstallString");
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
    const std::wstring copy = ProgramOf(UninstallEntryText(L"UninstallString"));

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
    EXPECT_NE(UninstallEntryText(L"DisplayName"), L"(missing)") << "No removed the entry";

    EXPECT_EQ(ask(IDYES), 0u);
    auto printers = LocalPrinters();
    EXPECT_FALSE(FindPrinter(printers, "Kx310"));
    EXPECT_TRUE(FindPrinter(printers, "Other Make")) << "a printer of another make was deleted";
    EXPECT_TRUE(FindPrinter(printers, "Kx310 on a file")) << "a printer of ours on another port was deleted";
    EXPECT_TRUE(FindDriver(InstalledDrivers(), "Kx310")) << "a driver still in use was deleted";
    EXPECT_EQ(UninstallEntryText(L"DisplayName"), L"(missing)");
}

}  // namespace
