// setup.exe as a deployment tool runs it: from a copy of the assembled medium, with its
// answers on the command line, no window, an exit code and a log; and the wizard that a
// command line prepares for a person to confirm.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <string>

#include "dialog_driver.h"
#include "install_run_fixture.h"
#include "resource.h"

using namespace st;
using namespace vt;

namespace {

const std::wstring kQuietKx310 = L"/quiet /port=COM1 /settings=9600,n,8,1 /model=Kx310";

// Runs setup.exe with `arguments` on a window station of its own that nobody sees, as a
// service's session is; its exit code, or STILL_ACTIVE when it had not ended after 60 s (it
// is then stopped).
DWORD RunWhereNobodySees(const std::wstring& program, const std::wstring& arguments) {
    static HWINSTA station = nullptr;
    if (!station) {
        station = CreateWindowStationW(L"VeskUnseen", 0, WINSTA_ALL_ACCESS, nullptr);
        HWINSTA own = GetProcessWindowStation();
        SetProcessWindowStation(station);
        CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
        SetProcessWindowStation(own);
    }
    EXPECT_TRUE(station) << GetLastError();
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.lpDesktop = const_cast<wchar_t*>(L"VeskUnseen\\Default");
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &start, &process)) {
        ADD_FAILURE() << "cannot start setup: " << GetLastError();
        return STILL_ACTIVE;
    }
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    else GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

// A control's text as the control itself gives it (an edit's own text, which another process
// does not see as the window's caption).
std::string SentText(HWND dialog, int id) {
    char text[256] = {};
    SendMessageA(GetDlgItem(dialog, id), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

// The selected item of a drop-down list in another process.
std::string Chosen(HWND dialog, int id) {
    int selected = -1;
    std::vector<std::wstring> items = ComboItems(dialog, id, &selected);
    return selected >= 0 && selected < static_cast<int>(items.size()) ? Narrow(items[selected]) : "";
}

TEST_F(InstallRun, QuietInstallationShowsNothingPrintsAndLogs) {
    const std::wstring log = RunDir() + L"deploy logs\\vesk.log";
    CreateDirectoryW((RunDir() + L"deploy logs").c_str(), nullptr);
    QuietRun run = RunQuietly(program, kQuietKx310 + L" /log=\"" + log + L"\"");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_FALSE(run.windowShown) << "a quiet run showed a window";

    auto printer = InstalledKx310("Kx310");
    ASSERT_TRUE(printer);
    EXPECT_EQ(DefaultPrinter(), "Kx310");
    EXPECT_EQ(ProfileText("Vesk Ports", "VESK"), "COM1:,9600,n,8,1");
    EXPECT_NE(sim.Paper().find("%!PS"), std::string::npos) << "no test page on the paper";
    std::string receipt = "\x1b@Vesk Systems\nTea           1.80\nTOTAL         1.80\n\x1d" "V\x01";
    EXPECT_TRUE(SameBytes(PrintedReceipt(sim, "Kx310", receipt), receipt));

    // The log: a header naming the command line, a line per step, the end with its code.
    std::string text = FileContent(Narrow(log));
    for (const char* line : {"==== Vesk Printer Setup ", "/model=Kx310", "; Windows ",
                             "step: copy the setup files to the program files folder: done",
                             "step: check the printer on COM1: at 9600,n,8,1: done",
                             "step: create the printer Kx310: done", "step: print the test page: done",
                             "exit code 0"})
        EXPECT_NE(text.find(line), std::string::npos) << "no \"" << line << "\" in the log:\n" << text;

    // A second run appends to the same log, and one that names none writes the default one.
    ASSERT_EQ(RunQuietly(program, L"/quiet /bogus /log=\"" + log + L"\"").exitCode, 87u);
    std::string again = FileContent(Narrow(log));
    EXPECT_EQ(again.rfind(text, 0), 0u) << "the log was not appended to";
    EXPECT_NE(again.find("bad command line: unknown option /bogus"), std::string::npos) << again;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring defaultLog = std::wstring(temp) + L"Vesk Setup.log";
    DeleteFileW(defaultLog.c_str());
    ASSERT_EQ(RunQuietly(program, L"/quiet /bogus").exitCode, 87u);
    EXPECT_NE(FileContent(Narrow(defaultLog)).find("unknown option /bogus"), std::string::npos);

    // A log that is a link to another file is not written to: the run refuses its command
    // line. (One that another user made beforehand is refused too; Wine keeps no owner but
    // the running user's, so only Windows can show that.)
    const std::wstring linked = RunDir() + L"linked.log";
    ASSERT_TRUE(CreateHardLinkW(linked.c_str(), log.c_str(), nullptr));
    const std::string content = FileContent(Narrow(linked));
    EXPECT_EQ(RunQuietly(program, kQuietKx310 + L" /log=\"" + linked + L"\"").exitCode, 87u);
    EXPECT_EQ(FileContent(Narrow(linked)), content) << "the linked log was written to";
}

TEST_F(InstallRun, BadOptionsExitWith87AndChangeNothing) {
    const std::vector<std::string> before = MachineListing();
    const std::wstring log = RunDir() + L"bad.log";
    const wchar_t* faults[] = {
        L"/quiet /port=LPT1 /settings=9600,n,8,1 /model=Kx310",
        L"/quiet /port=COM1 /settings=9600,q,8,1 /model=Kx310",
        L"/quiet /port=COM1 /settings=9600,n,8,1 /model=Kx999",
        L"/quiet /port=COM1 /settings=9600,n,8,1 /model=Kx310 /name=",
        L"/quiet /port=COM1 /settings=9600,n,8,1 /model=Kx310 /colour=red",
    };
    for (const wchar_t* fault : faults) {
        QuietRun run = RunQuietly(program, std::wstring(fault) + L" /log=" + log);
        EXPECT_EQ(run.exitCode, 87u) << Narrow(fault);
        EXPECT_FALSE(run.windowShown) << Narrow(fault);
    }
    EXPECT_EQ(ListingChanges(before, MachineListing()), "");
    std::string text = FileContent(Narrow(log));
    for (const char* named : {"\"LPT1\" is not a COM port", "\"9600,q,8,1\" are not line settings",
                              "\"Kx999\" is not a printer model", "the printer's name is empty",
                              "unknown option /colour"})
        EXPECT_NE(text.find(named), std::string::npos) << "no \"" << named << "\" in the log:\n" << text;
}

TEST_F(InstallRun, QuietAtOtherSettingsFailsUnlessTold) {
    sim.Control("settings 19200,n,8,1");
    sim.Sync();
    const std::wstring log = RunDir() + L"other.log";
    QuietRun refused = RunQuietly(program, kQuietKx310 + L" /log=" + log);
    EXPECT_EQ(refused.exitCode, 1603u);
    EXPECT_FALSE(refused.windowShown);
    EXPECT_FALSE(FindPrinter(LocalPrinters(), "Kx310")) << "a printer that did not answer was installed";
    std::string text = FileContent(Narrow(log));
    EXPECT_NE(text.find("step: check the printer on COM1: at 9600,n,8,1: failed"), std::string::npos) << text;
    EXPECT_NE(text.find("the printer did not answer at the settings given"), std::string::npos) << text;

    sim.Reset();
    QuietRun told = RunQuietly(program, kQuietKx310 + L" /noconfirm /notestpage /nodefault /name=Bar");
    EXPECT_EQ(told.exitCode, 0u);
    EXPECT_FALSE(told.windowShown);
    auto printers = LocalPrinters();
    const InstalledPrinter* bar = FindPrinter(printers, "Bar");
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->port, "VESK");
    EXPECT_NE(DefaultPrinter(), "Bar");
    EXPECT_EQ(sim.Count("received") + sim.Count("noise"), 0)
        << "/notestpage printed, or /noconfirm talked to the printer";
}

TEST_F(InstallRun, PreparedWizardOpensWithTheCommandLinesChoices) {
    {
        SetupProcess setup(program, L"/port=COM1 /settings=19200,e,7,2 /model=Kx240-F "
                                    L"/name=\"Front Desk\" /share=FRONT /nodefault /notestpage");
        ASSERT_TRUE(setup.wizard());
        HWND model = WalkToModelPage(setup.wizard(), [](HWND port) {
            EXPECT_EQ(Chosen(port, IDC_BAUD_RATE), "19200");
            EXPECT_EQ(Chosen(port, IDC_PARITY), "Even");
            EXPECT_EQ(Chosen(port, IDC_DATA_BITS), "7");
            EXPECT_EQ(Chosen(port, IDC_STOP_BITS), "2");
            EXPECT_FALSE(ItemChecked(port, IDC_NO_CONFIRM));
        });
        ASSERT_TRUE(model);
        EXPECT_TRUE(ItemEnabled(model, IDC_NEXT)) << "the model was not chosen";
        Click(model, IDC_NEXT);
        HWND name = WaitForPage(setup.wizard(), kShareNameButton);
        ASSERT_TRUE(name);
        EXPECT_EQ(SentText(name, IDC_PRINTER_NAME), "Front Desk");
        EXPECT_TRUE(ItemChecked(name, IDC_SHARED));
        EXPECT_EQ(SentText(name, IDC_SHARE_NAME), "FRONT");
        EXPECT_TRUE(ItemChecked(name, IDC_DEFAULT_NO));
        Click(name, IDC_NEXT);
        HWND testPage = nullptr;
        ASSERT_TRUE(WaitUntil([&] {
            testPage = VisiblePage(setup.wizard(), kYesButton);
            return testPage && !VisiblePage(setup.wizard(), kShareNameButton);
        }));
        EXPECT_TRUE(ItemChecked(testPage, IDC_TEST_PAGE_NO));
        Click(testPage, IDC_NEXT);
        HWND finish = WaitForPage(setup.wizard(), kFinishPortValue);
        ASSERT_TRUE(finish);
        EXPECT_EQ(ItemText(finish, IDC_SUMMARY_MODEL), "Kx240-F");
        EXPECT_EQ(ItemText(finish, IDC_SUMMARY_NAME), "Front Desk");
        EXPECT_EQ(ItemText(finish, IDC_SUMMARY_SHARE), "FRONT");
        EXPECT_EQ(ItemText(finish, IDC_SUMMARY_DEFAULT), "No");
        EXPECT_EQ(ItemText(finish, IDC_SUMMARY_TEST_PAGE), "No");
        // Closed without installing: cancelled.
        PostMessageW(setup.wizard(), WM_CLOSE, 0, 0);
        ASSERT_TRUE(setup.Ended(kWaitMs));
        EXPECT_EQ(setup.ExitCode(), 1602u);
    }
    // Where nobody could answer a window, neither the wizard nor the fault is shown: setup
    // ends at once and logs why.
    const std::wstring unseen = RunDir() + L"unseen.log";
    EXPECT_EQ(RunWhereNobodySees(program, L"/port=COM1 /model=Kx310 /log=" + unseen), 1603u);
    EXPECT_EQ(RunWhereNobodySees(program, L"/uninstall /log=" + unseen), 1603u);
    EXPECT_EQ(RunWhereNobodySees(program, L"/port=COM1 /model=Kx999 /log=" + unseen), 87u);
    EXPECT_NE(FileContent(Narrow(unseen)).find("where nobody can see its windows"), std::string::npos);
    // A fault in a prepared command line is shown to the person, and nothing starts.
    SetupProcess bad(program, L"/port=COM1 /model=Kx999", false);
    HWND box = bad.Message();
    ASSERT_TRUE(box) << "a bad command line was not shown";
    EXPECT_NE(MessageText(box).find("\"Kx999\" is not a printer model"), std::string::npos) << MessageText(box);
    Answer(box, IDOK);
    ASSERT_TRUE(bad.Ended(kWaitMs));
    EXPECT_EQ(bad.ExitCode(), 87u);
}

}  // namespace
