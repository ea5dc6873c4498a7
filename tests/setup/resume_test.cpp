// A run resumed after a restart of Windows: the saved values back in the record, the jump to
// the last page and the installation started once by the one-second timer (a scripted stand-in
// for the installation's steps records what the frame gives it); and the saving side: the
// automatic-restart entry and the restart question.
#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "install_choices.h"
#include "model_catalogue.h"
#include "restart_windows.h"
#include "saved_state.h"
#include "setup_copy.h"
#include "test_env.h"
#include "start_up.h"
#include "resource.h"
#include "setup_fixture.h"
#include "wizard_test.h"

using namespace st;

namespace {

// What the stand-in steps saw, the first time they ran.
struct StepsSeen {
    int calls = 0;
    DWORD msAfterOpen = 0;
    bool pleaseWaitVisible = false;
    std::string pleaseWaitCaption, pleaseWaitText;
    bool waitCursor = false;
    int pageCounter = 0;
    bool finishPageShown = false;
    InstallChoices choices;  // the scalar fields and PrinterInfo, copied
    DriverInfo model;
    std::string otherModelName;
} g_seen;
DWORD g_openedAt = 0;
InstallOutcome g_outcome = InstallOutcome::Stopped;

// The frame is the steps' front end; like the engine, the steps first say they have started.
InstallOutcome RecordingSteps(InstallFrontEnd& frontEnd, InstallRunState&) {
    auto& frame = static_cast<CSetupDlg&>(frontEnd);
    frontEnd.Progress(InstallProgress::Started);
    if (g_seen.calls++ == 0) {
        g_seen.msAfterOpen = GetTickCount() - g_openedAt;
        HWND wait = frame.PleaseWaitWindow();
        g_seen.pleaseWaitVisible = wait && IsWindowVisible(wait);
        g_seen.pleaseWaitCaption = Text(wait);
        g_seen.pleaseWaitText = ItemText(wait, IDC_PLEASE_WAIT_TEXT);
        g_seen.waitCursor = GetCursor() == LoadCursor(nullptr, IDC_WAIT);
        g_seen.pageCounter = frame.PageCounter();
        g_seen.finishPageShown = frame.CurrentPage() == frame.Page(CSetupDlg::kFinishPage);
        const InstallChoices& c = Choices();
        g_seen.choices.gstrPort = c.gstrPort;
        g_seen.choices.gstrSettings = c.gstrSettings;
        g_seen.choices.gModelIndex = c.gModelIndex;
        g_seen.choices.gbDefaultPrinter = c.gbDefaultPrinter;
        g_seen.choices.gbTestPage = c.gbTestPage;
        g_seen.choices.gbResume = c.gbResume;
        g_seen.choices.PrinterInfo = c.PrinterInfo;
        if (c.gpModel) g_seen.model = *c.gpModel;
        g_seen.otherModelName = c.gModels.empty() ? "" : c.gModels[0]->pName;
    }
    // A step's message box runs messages for a while; the timer must not start a second run.
    DWORD until = GetTickCount() + 1300;
    MSG msg;
    while (GetTickCount() < until) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(10);
    }
    return g_outcome;
}

class Resume : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveStore();
        g_seen = StepsSeen{};
        g_outcome = InstallOutcome::Stopped;
        guard = std::make_unique<RunEntryGuard>();
        SetRunEntry("\"C:\\medium\\setup.exe\" install");
        FreshChoices("setup_tests.exe install");
    }
    void TearDown() override { RemoveStore(); }

    // The frame with a stand-in finish page and the recording steps.
    static void Prepare(CSetupDlg& frame) {
        frame.SetPage(CSetupDlg::kFinishPage, StandInPage(frame));
        frame.SetInstallationSteps(&RecordingSteps);
    }

    // Runs the resumed wizard until the steps have run and returned; then closes it.
    INT_PTR RunResumed() {
        CSetupDlg frame;
        Prepare(frame);
        g_openedAt = GetTickCount();
        return RunWizard(frame, [&](HWND wizard) {
            ASSERT_TRUE(wizard);
            EXPECT_TRUE(WaitUntil([&] { return g_seen.calls > 0 && !frame.PleaseWaitWindow(); }, 20000));
            Settle(wizard);
            if (IsWindow(wizard)) PostMessageA(wizard, WM_CLOSE, 0, 0);
        });
    }
    std::unique_ptr<RunEntryGuard> guard;
};

}  // namespace

TEST_F(Resume, WithoutSavedStateOpensOnTheLastPageAndInstallsOnceASecondLater) {
    EXPECT_EQ(RunEntry(), std::nullopt) << "the start removed the Run value";
    RunResumed();
    EXPECT_EQ(g_seen.calls, 1);
    // The one-second timer: never sooner, and not some later event (a busy machine may add
    // a few seconds to the frame's start).
    EXPECT_GE(g_seen.msAfterOpen, 950u);
    EXPECT_LT(g_seen.msAfterOpen, 4500u);
    EXPECT_TRUE(g_seen.pleaseWaitVisible);
    EXPECT_EQ(g_seen.pleaseWaitCaption, "Please wait...");
    EXPECT_EQ(g_seen.pleaseWaitText, "Attempting to install the printer  -  Please wait");
    EXPECT_TRUE(g_seen.waitCursor);
    EXPECT_EQ(g_seen.pageCounter, 7);
    EXPECT_TRUE(g_seen.finishPageShown);

    const InstallChoices& c = g_seen.choices;
    EXPECT_TRUE(c.gbResume);
    EXPECT_EQ(c.gstrPort, "");
    EXPECT_EQ(c.gstrSettings, "");
    EXPECT_EQ(c.gModelIndex, 0);
    EXPECT_EQ(g_seen.model.pName, "Kx310") << "the first model of the catalogue";
    EXPECT_EQ(g_seen.model.pszHardwareID, "VeskSystems_KX310");
    EXPECT_EQ(c.PrinterInfo.PrinterName, "");
    EXPECT_EQ(c.PrinterInfo.ShareName, "");
    EXPECT_EQ(c.PrinterInfo.PortName, "VESK");
    EXPECT_EQ(c.PrinterInfo.DriverName, "");
    EXPECT_EQ(c.PrinterInfo.PrintProcessor, "Vesk Print Processor");
    EXPECT_EQ(c.PrinterInfo.Datatype, "RAW");
    EXPECT_TRUE(c.gbDefaultPrinter);
    EXPECT_TRUE(c.gbTestPage);
}

TEST_F(Resume, RestoresEverySavedValueIntoTheRecordAndTheChosenModel) {
    const std::pair<const char*, const char*> saved[] = {
        {"gstrPort", "COM3:"},
        {"gstrSettings", "19200,e,7,2"},
        {"DriverInfo_pName", "Kx240-F Plus"},
        {"DriverInfo_pszMfgName", "Vesk Systems GmbH"},
        {"DriverInfo_pszHardwareID", "VeskSystems_KX240-FP"},
        {"DriverInfo_pszProvider", "Vesk"},
        {"DriverInfo_pDefaultDataType", "NT EMF 1.008"},
        {"PrinterInfo_PrinterName", "Till 2 receipts"},
        {"PrinterInfo_ShareName", "till2"},
        {"PrinterInfo_PortName", "VESK2"},
        {"PrinterInfo_DriverName", "Kx240-F Plus"},
        {"PrinterInfo_PrintProcessor", "WinPrint"},
        {"PrinterInfo_Datatype", "TEXT"},
        {"gModelIndex", "1"},
        {"gbDefaultPrinter", "0"},
        {"gbTestPage", "0"},
    };
    for (auto [key, value] : saved) SaveValue(key, value);
    RunResumed();
    ASSERT_EQ(g_seen.calls, 1);
    const InstallChoices& c = g_seen.choices;
    EXPECT_EQ(c.gstrPort, "COM3:");
    EXPECT_EQ(c.gstrSettings, "19200,e,7,2");
    EXPECT_EQ(c.gModelIndex, 1);
    EXPECT_EQ(g_seen.model.pName, "Kx240-F Plus");
    EXPECT_EQ(g_seen.model.pszMfgName, "Vesk Systems GmbH");
    EXPECT_EQ(g_seen.model.pszHardwareID, "VeskSystems_KX240-FP");
    EXPECT_EQ(g_seen.model.pszProvider, "Vesk");
    EXPECT_EQ(g_seen.model.pDefaultDataType, "NT EMF 1.008");
    EXPECT_EQ(g_seen.model.Win2000Files.pDataFile, "Kx240-F.gpd") << "the file lists stay the catalogue's";
    EXPECT_EQ(g_seen.otherModelName, "Kx310");
    EXPECT_EQ(c.PrinterInfo.PrinterName, "Till 2 receipts");
    EXPECT_EQ(c.PrinterInfo.ShareName, "till2");
    EXPECT_EQ(c.PrinterInfo.PortName, "VESK2");
    EXPECT_EQ(c.PrinterInfo.DriverName, "Kx240-F Plus");
    EXPECT_EQ(c.PrinterInfo.PrintProcessor, "WinPrint");
    EXPECT_EQ(c.PrinterInfo.Datatype, "TEXT");
    EXPECT_FALSE(c.gbDefaultPrinter);
    EXPECT_FALSE(c.gbTestPage);
}

TEST_F(Resume, AnInstallationThatEndsClosesTheWizardAndForgetsTheSavedOne) {
    g_outcome = InstallOutcome::Completed;
    // Left by an earlier run that asked for a restart and was answered No.
    SetRunEntry("\"C:\\medium\\setup.exe\" install");
    WritePrivateProfileStringA("SavedData", "gstrPort", "COM2:", ResumeStoreFile().c_str());
    CSetupDlg frame;
    Prepare(frame);
    INT_PTR result = 0;
    // Nothing closes the wizard but the installation's end: the script waits for that and
    // closes nothing (Drive fails the test when its clean-up has to).
    Drive([&] { result = frame.DoModal(); }, [&] {
        EXPECT_TRUE(WaitUntil([&] { return g_seen.calls > 0 && !frame.GetSafeHwnd(); }, 20000))
            << "the wizard is still open after the installation's end";
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(g_seen.calls, 1);
    EXPECT_EQ(RunEntry(), std::nullopt) << "the completed run left the resume in place";
    char port[16];
    GetPrivateProfileStringA("SavedData", "gstrPort", "(none)", port, sizeof port, ResumeStoreFile().c_str());
    EXPECT_STREQ(port, "(none)") << "the completed run left the saved state";
}

TEST_F(Resume, ASavedModelOutsideTheCatalogueStartsAFreshRun) {
    SaveValue("gstrPort", "COM2:");
    SaveValue("gModelIndex", "3");
    CSetupDlg frame;
    Prepare(frame);
    RunWizard(frame, [&](HWND wizard) {
        ASSERT_TRUE(wizard);
        EXPECT_TRUE(WaitForPage(wizard, IDC_ACCEPT)) << "the licence page, as a fresh run";
        Sleep(1400);
        EXPECT_EQ(g_seen.calls, 0) << "no installation starts by itself";
        EXPECT_EQ(frame.PageCounter(), 1);
        EXPECT_FALSE(Choices().gbResume);
        EXPECT_EQ(Choices().gstrPort, "");
        PostMessageA(wizard, WM_CLOSE, 0, 0);
    });
}

namespace {

int g_restarts = 0;
void CountRestart() { ++g_restarts; }

std::optional<std::string> RunOnceEntry() {
    char data[1024];
    DWORD size = sizeof data;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kRunOnceKey, kRunValue, RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::string(data);
}

}  // namespace

// This prefix reports Windows 10: a program that asks for administrator rights is started
// after a restart only from RunOnce.
TEST_F(Resume, SavingRegistersUnderRunOnceAndOnlyYesRestartsWindows) {
    // Whatever fails, the hook and the entry do not outlive the test (the lane is shared).
    struct Restore {
        RestartCall previous = SetRestartCall(&CountRestart);
        ~Restore() {
            SetRestartCall(previous);
            RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunOnceKey, kRunValue);
        }
    } restore;
    g_restarts = 0;
    {
        RecordingFrontEnd messages({IDNO, IDYES});
        SaveStateAndRestart();
        EXPECT_EQ(g_restarts, 0) << "No restarted Windows";
        SaveStateAndRestart();
        EXPECT_EQ(g_restarts, 1);
        EXPECT_EQ(messages.Messages(), std::vector<std::string>(2, kRestartQuestion));
    }
    EXPECT_EQ(RunOnceEntry(), vt::Narrow(ResumeCommand(SetupCopyProgram())))
        << "the copy resumes, never the program that saved";
    EXPECT_EQ(RunEntry(), std::nullopt) << "Run is only for Windows without elevation";
    // The next start with "install" takes the entry away, wherever it is.
    FreshChoices("setup_tests.exe install");
    EXPECT_EQ(RunOnceEntry(), std::nullopt);
}

// The resumes are counted in the saved state: the first may ask for another restart; the
// second, failing again, stops with a message and forgets the saved installation.
TEST_F(Resume, AfterTheSecondResumeNoFurtherRestartIsOffered) {
    struct Restore {
        RestartCall previous = SetRestartCall(&CountRestart);
        ~Restore() {
            SetRestartCall(previous);
            RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunOnceKey, kRunValue);
            WritePrivateProfileStringA("SavedData", nullptr, nullptr, ResumeStoreFile().c_str());
        }
    } restore;
    BuildModelCatalogue(Choices().gModels);
    for (auto [saved, asks] : {std::pair<const char*, bool>{"0", true}, {"1", false}, {"2", false}}) {
        SCOPED_TRACE(saved);
        SaveValue("gResumeCount", saved);
        ASSERT_TRUE(ReadSavedState(Choices(), StoreFile()));
        RecordingFrontEnd messages;
        EXPECT_EQ(SaveStateAndRestart(), asks);
        EXPECT_EQ(messages.Messages(),
                  std::vector<std::string>(1, asks ? kRestartQuestion : kResumesExhaustedText));
        char count[8];
        GetPrivateProfileStringA("SavedData", "gResumeCount", "(none)", count, sizeof count,
                                 ResumeStoreFile().c_str());
        EXPECT_STREQ(count, asks ? std::to_string(std::atoi(saved) + 1).c_str() : "(none)");
        EXPECT_EQ(RunOnceEntry().has_value(), asks);
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunOnceKey, kRunValue);
    }
    Choices().gModels.clear();
}
