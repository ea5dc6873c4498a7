// The model page: the sorted list of the catalogue's models, the choice it stores and the
// message without a choice.
#include <gtest/gtest.h>

#include "install_choices.h"
#include "resource.h"
#include "setup_fixture.h"
#include "wizard_test.h"

using namespace st;

namespace {

class ModelPage : public ::testing::Test {
protected:
    void SetUp() override { FreshChoices(); }

    // Runs the wizard to the model page and then `script` on it.
    void OnModelPage(const std::function<void(HWND wizard, HWND page)>& script) {
        RunWizard(frame, [&](HWND wizard) {
            ASSERT_TRUE(wizard);
            HWND page = WalkToModelPage(wizard);
            ASSERT_TRUE(page);
            script(wizard, page);
            PostMessageA(wizard, WM_CLOSE, 0, 0);
        });
    }
    CSetupDlg frame;
};

std::string ListItem(HWND page, int item) {
    HWND list = GetDlgItem(page, IDC_MODEL_LIST);
    char text[64] = "";
    SendMessageA(list, LB_GETTEXT, item, reinterpret_cast<LPARAM>(text));
    return text;
}

}  // namespace

TEST_F(ModelPage, ListsTheModelsSortedWithTheirIndexes) {
    OnModelPage([&](HWND, HWND page) {
        HWND list = GetDlgItem(page, IDC_MODEL_LIST);
        ASSERT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 3);
        EXPECT_EQ(ListItem(page, 0), "Kx120");
        EXPECT_EQ(ListItem(page, 1), "Kx240-F");
        EXPECT_EQ(ListItem(page, 2), "Kx310");
        EXPECT_EQ(SendMessageA(list, LB_GETITEMDATA, 0, 0), 2);
        EXPECT_EQ(SendMessageA(list, LB_GETITEMDATA, 1, 0), 1);
        EXPECT_EQ(SendMessageA(list, LB_GETITEMDATA, 2, 0), 0);
        EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), LB_ERR);
        EXPECT_FALSE(ItemEnabled(page, IDC_NEXT));
        EXPECT_EQ(ItemText(page, IDC_PAGE_HEADER),
                  "Printer Model\nPlease select your printer type from the list below.");
    });
}

TEST_F(ModelPage, ChoosingAModelStoresItAndAnotherChoiceReplacesIt) {
    OnModelPage([&](HWND wizard, HWND page) {
        ASSERT_TRUE(ChooseListItem(page, IDC_MODEL_LIST, "Kx120"));
        EXPECT_TRUE(ItemEnabled(page, IDC_NEXT));
        Click(page, IDC_NEXT);
        Settle(wizard);
        InstallChoices& choices = Choices();
        EXPECT_EQ(choices.gModelIndex, 2);
        ASSERT_EQ(choices.gpModel, choices.gModels[2].get());
        EXPECT_EQ(choices.gpModel->pName, "Kx120");
        EXPECT_EQ(choices.PrinterInfo.DriverName, "Kx120");

        ASSERT_TRUE(ChooseListItem(page, IDC_MODEL_LIST, "Kx310"));
        Click(page, IDC_NEXT);
        Settle(wizard);
        EXPECT_EQ(choices.gModelIndex, 0);
        EXPECT_EQ(choices.gpModel, choices.gModels[0].get());
        EXPECT_EQ(choices.PrinterInfo.DriverName, "Kx310");
    });
}

TEST_F(ModelPage, NextWithoutAModelAsksForOneAndChangesNothing) {
    OnModelPage([&](HWND wizard, HWND page) {
        // Next is enabled by a choice; the choice then goes without the list telling.
        ASSERT_TRUE(ChooseListItem(page, IDC_MODEL_LIST, "Kx240-F"));
        SendMessageA(GetDlgItem(page, IDC_MODEL_LIST), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        PostMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_NEXT, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_NEXT)));
        HWND box = WaitForDialog("setup_tests");
        ASSERT_TRUE(box);
        EXPECT_EQ(MessageText(box), "Please select a printer model!");
        SendMessageA(box, WM_COMMAND, IDOK, 0);
        Settle(wizard);
        EXPECT_EQ(Choices().gpModel, nullptr);
        EXPECT_EQ(Choices().PrinterInfo.DriverName, "");
        EXPECT_EQ(VisiblePage(wizard, IDC_MODEL_LIST), page);
    });
}
