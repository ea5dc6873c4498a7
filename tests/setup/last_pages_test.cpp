// The existing-driver, name, test-page and finish pages in the running frame, driven by
// clicks: the name page's first values and its rules, sharing, the finish page's summary on
// every showing, the existing-driver page following the model, and Finish against Cancel.
// Drivers, printers and the installation come from seams, whatever the lane's spooler holds.
#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "install_choices.h"
#include "resource.h"
#include "setup_fixture.h"
#include "wizard_test.h"

using namespace st;

namespace {

bool NoDriver(const std::string&) { return false; }
bool EveryDriver(const std::string&) { return true; }
// Two printers bear the name of Kx310, none that of another model.
int TwoKx310Printers(const std::string& prefix, DWORD& error) {
    error = 0;
    return prefix == "Kx310" ? 2 : 0;
}
int NoPrinters(const std::string&, DWORD& error) { error = 0; return 0; }

int g_installations = 0;
InstallOutcome CountInstallation(InstallFrontEnd& frontEnd, InstallRunState&) {
    auto& frame = static_cast<CSetupDlg&>(frontEnd);
    // A second click on Finish, arriving while the run lets messages through (as its message
    // boxes do), must not start a run inside this one.
    if (++g_installations == 1 && frame.CurrentPage()) {
        PostMessageA(GetDlgItem(frame.CurrentPage()->GetSafeHwnd(), IDC_PAGE_CANCEL), BM_CLICK, 0, 0);
        MSG msg;
        for (DWORD start = GetTickCount(); GetTickCount() - start < 300; Sleep(10))
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    return InstallOutcome::Stopped;  // the wizard stays open
}

class LastPages : public ::testing::Test {
protected:
    void SetUp() override { FreshChoices(); g_installations = 0; }
    void TearDown() override { EXPECT_TRUE(catcher.Messages().empty()); }

    // Runs a frame to the model page, chooses `model`, presses Next and runs `script` on the
    // page that follows (the existing-driver page when `drivers`, else the name page);
    // closes the wizard if the script left it open.
    INT_PTR FromModel(CSetupDlg& wizardFrame, const char* model,
                      const std::function<void(HWND wizard, HWND modelPage, HWND page)>& script,
                      bool drivers = false, PrinterCountQuery printers = &TwoKx310Printers) {
        wizardFrame.SetDriverQuery(drivers ? &EveryDriver : &NoDriver);
        wizardFrame.SetPrinterCountQuery(printers);
        wizardFrame.SetInstallationSteps(&CountInstallation);
        return RunWizard(wizardFrame, [&](HWND wizard) {
            ASSERT_TRUE(wizard);
            HWND page = WalkToModelPage(wizard);
            ASSERT_TRUE(page);
            ASSERT_TRUE(ChooseListItem(page, IDC_MODEL_LIST, model));
            Click(page, IDC_NEXT);
            HWND next = WaitForPage(wizard, drivers ? IDC_DRIVER_MODEL : IDC_NOT_SHARED);
            ASSERT_TRUE(next);
            script(wizard, page, next);
            if (IsWindow(wizard)) PostMessageA(wizard, WM_CLOSE, 0, 0);
        });
    }
    // The test page, which has no control of its own, once the frame shows it.
    HWND TestPage(HWND wizard) {
        WaitUntil([&] { return frame.PageCounter() == CSetupDlg::kTestPagePage + 1; });
        return VisiblePage(wizard, IDC_TEST_PAGE_YES);
    }
    // From the name page through the test page to the finish page, with the pages' choices.
    HWND NameToFinish(HWND wizard, HWND name) {
        Click(name, IDC_NEXT);
        Click(TestPage(wizard), IDC_NEXT);
        return WaitForPage(wizard, IDC_SUMMARY_PORT);
    }
    HWND FinishToName(HWND wizard, HWND finish) {
        Click(finish, IDC_BACK);
        Click(TestPage(wizard), IDC_BACK);
        return WaitForPage(wizard, IDC_NOT_SHARED);
    }

    MessageCatcher catcher;
    CSetupDlg frame;
};

// Empties an edit field as a person does: everything selected, then Backspace.
void Clear(HWND page, int id) {
    SendMessageA(GetDlgItem(page, id), EM_SETSEL, 0, -1);
    TypeKeys(page, id, L"\b");
}

}  // namespace

TEST_F(LastPages, NamePageStartsWithTheFramesNameUnsharedAndDefault) {
    for (auto [printers, expected] : {std::pair{&TwoKx310Printers, "Kx310 (Copy 3)"},
                                      std::pair{&NoPrinters, "Kx310"}}) {
        SCOPED_TRACE(expected);
        FreshChoices();
        CSetupDlg wizardFrame;
        FromModel(wizardFrame, "Kx310", [&](HWND, HWND, HWND name) {
            EXPECT_EQ(ItemText(name, IDC_PRINTER_NAME), expected);
            EXPECT_EQ(ItemText(name, IDC_SHARE_NAME), expected);
            EXPECT_TRUE(ItemChecked(name, IDC_DEFAULT_YES));
            EXPECT_TRUE(ItemChecked(name, IDC_NOT_SHARED));
            EXPECT_FALSE(ItemEnabled(name, IDC_SHARE_NAME));
            EXPECT_TRUE(ItemEnabled(name, IDC_NEXT));
        }, false, printers);
    }
}

TEST_F(LastPages, AnEmptyNameDisablesNextAndOneLetterEnablesIt) {
    FromModel(frame, "Kx310", [&](HWND wizard, HWND, HWND name) {
        Clear(name, IDC_PRINTER_NAME);
        EXPECT_EQ(ItemText(name, IDC_PRINTER_NAME), "");
        EXPECT_FALSE(ItemEnabled(name, IDC_NEXT));
        TypeKeys(name, IDC_PRINTER_NAME, L"T");
        EXPECT_TRUE(ItemEnabled(name, IDC_NEXT));
        Click(name, IDC_NEXT);
        EXPECT_TRUE(TestPage(wizard));
        EXPECT_EQ(Choices().PrinterInfo.PrinterName, "T");
    });
}

TEST_F(LastPages, ShareNameGoesWithShareAsAndMayBeEmpty) {
    FromModel(frame, "Kx310", [&](HWND wizard, HWND, HWND name) {
        Click(name, IDC_SHARED);
        EXPECT_TRUE(ItemEnabled(name, IDC_SHARE_NAME));
        Click(name, IDC_NOT_SHARED);
        EXPECT_FALSE(ItemEnabled(name, IDC_SHARE_NAME));

        // Not shared: the name in the disabled field is not stored.
        HWND finish = NameToFinish(wizard, name);
        ASSERT_TRUE(finish);
        const InstallChoices& choices = Choices();
        EXPECT_EQ(choices.PrinterInfo.ShareName, "");
        EXPECT_EQ(ItemText(finish, IDC_SUMMARY_SHARE), "");

        // Shared under no name: stored and shown as not shared.
        ASSERT_EQ(FinishToName(wizard, finish), name);
        Click(name, IDC_SHARED);
        Clear(name, IDC_SHARE_NAME);
        Click(name, IDC_DEFAULT_NO);
        ASSERT_EQ(NameToFinish(wizard, name), finish);
        EXPECT_EQ(choices.PrinterInfo.ShareName, "");
        EXPECT_FALSE(choices.gbDefaultPrinter);
        EXPECT_EQ(ItemText(finish, IDC_SUMMARY_NAME), "Kx310 (Copy 3)");
        EXPECT_EQ(ItemText(finish, IDC_SUMMARY_SHARE), "");
        EXPECT_EQ(ItemText(finish, IDC_SUMMARY_PORT), "VESK");
        EXPECT_EQ(ItemText(finish, IDC_SUMMARY_MODEL), "Kx310");
        EXPECT_EQ(ItemText(finish, IDC_SUMMARY_DEFAULT), "No");
        EXPECT_EQ(ItemText(finish, IDC_SUMMARY_TEST_PAGE), "Yes");

        // The name page kept its fields; now with a share name typed.
        ASSERT_EQ(FinishToName(wizard, finish), name);
        EXPECT_TRUE(ItemChecked(name, IDC_SHARED));
        TypeKeys(name, IDC_SHARE_NAME, L"till2");
        ASSERT_EQ(NameToFinish(wizard, name), finish);
        EXPECT_EQ(choices.PrinterInfo.ShareName, "till2");
        EXPECT_EQ(ItemText(finish, IDC_SUMMARY_SHARE), "till2");
    });
}

TEST_F(LastPages, FinishPageShowsTheTestPageChoiceMadeAfterItsFirstShowing) {
    FromModel(frame, "Kx310", [&](HWND wizard, HWND, HWND name) {
        HWND finish = NameToFinish(wizard, name);
        ASSERT_TRUE(finish);
        EXPECT_EQ(ItemText(finish, IDC_SUMMARY_TEST_PAGE), "Yes");
        Click(finish, IDC_BACK);
        HWND testPage = TestPage(wizard);
        ASSERT_TRUE(testPage);
        Click(testPage, IDC_TEST_PAGE_NO);
        Click(testPage, IDC_NEXT);
        ASSERT_EQ(WaitForPage(wizard, IDC_SUMMARY_PORT), finish);
        EXPECT_EQ(ItemText(finish, IDC_SUMMARY_TEST_PAGE), "No");
        EXPECT_FALSE(Choices().gbTestPage);
    });
}

TEST_F(LastPages, ExistingDriverPageNamesTheModelChosenLastAndStoresTheChoice) {
    FromModel(frame, "Kx310", [&](HWND wizard, HWND model, HWND existing) {
        EXPECT_EQ(ItemText(existing, IDC_DRIVER_MODEL), "Kx310");
        EXPECT_TRUE(ItemChecked(existing, IDC_KEEP_DRIVER));
        Click(existing, IDC_BACK);
        ASSERT_EQ(WaitForPage(wizard, IDC_MODEL_LIST), model);
        ASSERT_TRUE(ChooseListItem(model, IDC_MODEL_LIST, "Kx120"));
        Click(model, IDC_NEXT);
        ASSERT_EQ(WaitForPage(wizard, IDC_DRIVER_MODEL), existing);
        EXPECT_EQ(ItemText(existing, IDC_DRIVER_MODEL), "Kx120");

        Click(existing, IDC_NEXT);
        ASSERT_TRUE(WaitForPage(wizard, IDC_NOT_SHARED));
        EXPECT_FALSE(Choices().gbReplaceDriver);
        Click(VisiblePage(wizard, IDC_NOT_SHARED), IDC_BACK);
        ASSERT_EQ(WaitForPage(wizard, IDC_DRIVER_MODEL), existing);
        Click(existing, IDC_REPLACE_DRIVER);
        Click(existing, IDC_NEXT);
        ASSERT_TRUE(WaitForPage(wizard, IDC_NOT_SHARED));
        EXPECT_TRUE(Choices().gbReplaceDriver);
    }, true);
}

TEST_F(LastPages, FinishInstallsOnceAndCancelStillCancels) {
    FromModel(frame, "Kx310", [&](HWND wizard, HWND, HWND name) {
        HWND finish = NameToFinish(wizard, name);
        ASSERT_TRUE(finish);
        EXPECT_EQ(ItemText(finish, IDC_PAGE_CANCEL), "Finish");
        Click(finish, IDC_PAGE_CANCEL);
        Settle(wizard);
        EXPECT_EQ(g_installations, 1);
        EXPECT_TRUE(IsWindowVisible(finish)) << "a stopped run leaves the wizard open";
    });

    FreshChoices();
    g_installations = 0;
    CSetupDlg wizardFrame;
    INT_PTR result = FromModel(wizardFrame, "Kx310", [&](HWND wizard, HWND, HWND name) {
        Click(name, IDC_PAGE_CANCEL);
        WaitUntil([&] { return !IsWindow(wizard); });
        EXPECT_FALSE(IsWindow(wizard));
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(g_installations, 0);
}
