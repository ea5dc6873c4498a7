// The wizard frame: its side panel, the page flow forward and back, the keys and the close
// box, and the page-skip rule of the existing-driver page.
#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "hyperlink.h"
#include "install_choices.h"
#include "system_error_text.h"
#include "resource.h"
#include "setup_fixture.h"
#include "wizard_test.h"

using namespace st;

namespace {

class Wizard : public ::testing::Test {
protected:
    void SetUp() override { FreshChoices(); }
    CSetupDlg frame;
};

// Accepts the licence and goes to the port settings page.
HWND ToPortPage(HWND wizard) {
    HWND licence = WaitForPage(wizard, IDC_ACCEPT);
    Click(licence, IDC_ACCEPT);
    Click(licence, IDC_NEXT);
    return WaitForPage(wizard, IDC_COM_PORT);
}

HWND ToModelPage(HWND wizard) {
    return WalkToModelPage(wizard);
}

HWND ToPage(HWND wizard, int index) {
    switch (index) {
    case CSetupDlg::kLicencePage: return WaitForPage(wizard, IDC_ACCEPT);
    case CSetupDlg::kPortSettingsPage: return ToPortPage(wizard);
    default: return ToModelPage(wizard);
    }
}

std::string LinkAddress(HWND wizard, int id) {
    auto* address = reinterpret_cast<const char*>(GetWindowLongPtrA(GetDlgItem(wizard, id), GWLP_USERDATA));
    return address ? address : "";
}

}  // namespace

TEST_F(Wizard, OpensOnTheLicencePageBesideTheSidePanel) {
    INT_PTR result = RunWizard(frame, [&](HWND wizard) {
        ASSERT_TRUE(wizard);
        HWND page = WaitForPage(wizard, IDC_ACCEPT);
        ASSERT_TRUE(page);
        EXPECT_EQ(frame.PageCounter(), 1);
        EXPECT_TRUE(SendMessageA(wizard, WM_GETICON, ICON_BIG, 0));
        EXPECT_TRUE(SendMessageA(wizard, WM_GETICON, ICON_SMALL, 0));

        // The page lies 3 pixels right of the separator, level with its top, and inside the
        // frame.
        RECT line, pageRect, client;
        GetWindowRect(GetDlgItem(wizard, IDC_SEPARATOR), &line);
        GetWindowRect(page, &pageRect);
        EXPECT_EQ(pageRect.left, line.right + CSetupDlg::kPageGap);
        EXPECT_EQ(pageRect.top, line.top);
        GetClientRect(wizard, &client);
        MapWindowPoints(wizard, nullptr, reinterpret_cast<POINT*>(&client), 2);
        EXPECT_LE(pageRect.right, client.right);
        EXPECT_LE(pageRect.bottom, client.bottom);

        EXPECT_EQ(LinkAddress(wizard, IDC_WEB_LINK), "https://www.vesk.example/");
        EXPECT_EQ(LinkAddress(wizard, IDC_CREDIT_LINK), "https://www.harrowlane.example/");
        EXPECT_EQ(LinkAddress(wizard, IDC_EMAIL_LINK), "mailto:support@vesk.example");
        for (int label : {IDC_MAKER_LABEL, IDC_COPYRIGHT_LABEL}) {
            HWND control = GetDlgItem(wizard, label);
            EXPECT_TRUE(GetPropA(control, "_Static_Customized_")) << label;
            EXPECT_EQ(GetPropA(control, "_Static_Customized_Color_"), nullptr) << "black";
            LOGFONTA font{};
            GetObjectA(reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)), sizeof font, &font);
            EXPECT_EQ(font.lfWeight, FW_BOLD) << label;
            EXPECT_FALSE(font.lfItalic || font.lfUnderline) << label;
        }
        EXPECT_EQ(Choices().PrinterInfo.PortName, "VESK");
        EXPECT_EQ(Choices().PrinterInfo.PrintProcessor, "Vesk Print Processor");
        EXPECT_EQ(Choices().PrinterInfo.Datatype, "RAW");
        Click(page, IDC_PAGE_CANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
}

TEST(WizardCatalogue, LivesAsLongAsTheFrame) {
    FreshChoices();
    {
        CSetupDlg frame;
        RunWizard(frame, [&](HWND wizard) {
            ASSERT_TRUE(wizard);
            EXPECT_EQ(Choices().gModels.size(), 3u);
            PostMessageA(wizard, WM_CLOSE, 0, 0);
        });
        EXPECT_EQ(Choices().gModels.size(), 3u) << "closed, not yet destroyed";
    }
    EXPECT_TRUE(Choices().gModels.empty());
    EXPECT_EQ(Choices().gpModel, nullptr);
}

TEST_F(Wizard, NextAndBackMoveThroughThePagesThatExist) {
    RunWizard(frame, [&](HWND wizard) {
        ASSERT_TRUE(wizard);
        HWND port = ToPortPage(wizard);
        ASSERT_TRUE(port);
        EXPECT_EQ(frame.PageCounter(), 2);
        EXPECT_FALSE(VisiblePage(wizard, IDC_ACCEPT)) << "the licence page is hidden";

        Click(port, IDC_BACK);
        HWND licence = WaitForPage(wizard, IDC_ACCEPT);
        ASSERT_TRUE(licence);
        EXPECT_EQ(frame.PageCounter(), 1);
        EXPECT_TRUE(ItemChecked(licence, IDC_ACCEPT)) << "the page keeps what was chosen";
        EXPECT_TRUE(ItemEnabled(licence, IDC_NEXT));

        Click(licence, IDC_NEXT);
        ASSERT_EQ(WaitForPage(wizard, IDC_COM_PORT), port) << "the same page window again";
        Click(port, IDC_NEXT);
        HWND model = WaitForPage(wizard, IDC_MODEL_LIST);
        ASSERT_TRUE(model);
        EXPECT_EQ(frame.PageCounter(), 3);

        Click(model, IDC_BACK);
        EXPECT_EQ(WaitForPage(wizard, IDC_COM_PORT), port);
        EXPECT_EQ(frame.PageCounter(), 2);
        PostMessageA(wizard, WM_CLOSE, 0, 0);
    });
}

TEST_F(Wizard, EnterAndEscapeDoNotCloseIt) {
    bool closedEarly = true;
    RunWizard(frame, [&](HWND wizard) {
        ASSERT_TRUE(wizard);
        HWND licence = WaitForPage(wizard, IDC_ACCEPT);
        Click(licence, IDC_ACCEPT);
        for (int page = 0; page < 3; ++page) {
            HWND shown = page == 0 ? licence : VisiblePage(wizard, page == 1 ? IDC_COM_PORT : IDC_MODEL_LIST);
            ASSERT_TRUE(shown) << page;
            // On the button that is the page's default, and then on whatever has the focus.
            SendMessageA(wizard, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(shown, IDC_NEXT)), TRUE);
            for (WORD key : {VK_RETURN, VK_ESCAPE}) {
                PressKey(wizard, key);
                Settle(wizard);
                EXPECT_TRUE(IsWindowVisible(wizard)) << page << " key " << key;
                EXPECT_EQ(frame.PageCounter(), page + 1) << page << " key " << key;
            }
            if (page < 2) Click(shown, IDC_NEXT);
            WaitUntil([&] { return frame.PageCounter() == page + 2 || page == 2; });
        }
        closedEarly = !IsWindow(wizard);
        PostMessageA(wizard, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    EXPECT_FALSE(closedEarly);
}

TEST_F(Wizard, CloseBoxAndCancelEndItFromEveryPage) {
    for (int index = CSetupDlg::kLicencePage; index <= CSetupDlg::kModelPage; ++index) {
        for (bool closeBox : {true, false}) {
            SCOPED_TRACE(testing::Message() << "page " << index << (closeBox ? " close box" : " Cancel"));
            FreshChoices();
            CSetupDlg wizardFrame;
            INT_PTR result = RunWizard(wizardFrame, [&](HWND wizard) {
                ASSERT_TRUE(wizard);
                HWND page = ToPage(wizard, index);
                ASSERT_TRUE(page);
                if (closeBox)
                    PostMessageA(wizard, WM_SYSCOMMAND, SC_CLOSE, 0);
                else
                    Click(page, IDC_PAGE_CANCEL);
                WaitUntil([&] { return !IsWindow(wizard); });
                EXPECT_FALSE(IsWindow(wizard));
            });
            EXPECT_EQ(result, IDCANCEL);
        }
    }
}

namespace {

// Whether a driver of the model is installed, as the page flow asks it.
const char* g_installedDriver = nullptr;
bool DriverOf(const std::string& name) {
    return g_installedDriver && name == g_installedDriver;
}
// Two printers bear the name of Kx310, none that of another model.
int PrintersNamedLike(const std::string& prefix, DWORD& error) {
    error = 0;
    return prefix == "Kx310" ? 2 : 0;
}

}  // namespace

TEST_F(Wizard, ExistingDriverPageShowsOnlyWhenTheModelsDriverIsInstalled) {
    frame.SetPage(CSetupDlg::kExistingDriverPage, StandInPage(frame));
    frame.SetPage(CSetupDlg::kPrinterNamePage, StandInPage(frame));
    frame.SetDriverQuery(&DriverOf);
    frame.SetPrinterCountQuery(&PrintersNamedLike);
    g_installedDriver = "Kx240-F";
    RunWizard(frame, [&](HWND wizard) {
        ASSERT_TRUE(wizard);
        HWND model = ToModelPage(wizard);
        ASSERT_TRUE(model);

        // Not installed: from the model page straight to the name page, and back.
        ChooseListItem(model, IDC_MODEL_LIST, "Kx310");
        Click(model, IDC_NEXT);
        ASSERT_TRUE(WaitUntil([&] { return frame.PageCounter() == 5; }));
        EXPECT_EQ(frame.CurrentPage(), frame.Page(CSetupDlg::kPrinterNamePage));
        // The name page is given a name no printer has yet.
        EXPECT_EQ(Choices().PrinterInfo.PrinterName, "Kx310 (Copy 3)");
        Click(VisiblePage(wizard, IDC_STAND_IN_TEXT), IDC_BACK);
        ASSERT_TRUE(WaitUntil([&] { return frame.PageCounter() == 3; }));
        EXPECT_EQ(VisiblePage(wizard, IDC_MODEL_LIST), model);

        // Another model, whose driver is installed: the existing-driver page, both ways.
        ChooseListItem(model, IDC_MODEL_LIST, "Kx240-F");
        Click(model, IDC_NEXT);
        ASSERT_TRUE(WaitUntil([&] { return frame.PageCounter() == 4; }));
        EXPECT_EQ(frame.CurrentPage(), frame.Page(CSetupDlg::kExistingDriverPage));
        Click(VisiblePage(wizard, IDC_STAND_IN_TEXT), IDC_NEXT);
        ASSERT_TRUE(WaitUntil([&] { return frame.PageCounter() == 5; }));
        EXPECT_EQ(Choices().PrinterInfo.PrinterName, "Kx240-F");
        Click(VisiblePage(wizard, IDC_STAND_IN_TEXT), IDC_BACK);
        ASSERT_TRUE(WaitUntil([&] { return frame.PageCounter() == 4; }));
        EXPECT_EQ(frame.CurrentPage(), frame.Page(CSetupDlg::kExistingDriverPage));
        Click(VisiblePage(wizard, IDC_STAND_IN_TEXT), IDC_BACK);
        ASSERT_TRUE(WaitUntil([&] { return frame.PageCounter() == 3; }));
        PostMessageA(wizard, WM_CLOSE, 0, 0);
    });
    g_installedDriver = nullptr;
}

namespace {

int CountFails(const std::string&, DWORD& error) {
    error = ERROR_ACCESS_DENIED;
    return 0;
}

}  // namespace

// Printers that cannot be counted: the name falls back to the model's, and the reason is told
// once, over the name page, however often the page comes back.
TEST_F(Wizard, AFailedPrinterCountIsToldOnceAndTheNameIsTheModels) {
    frame.SetPrinterCountQuery(&CountFails);
    MessageCatcher messages;
    RunWizard(frame, [&](HWND wizard) {
        ASSERT_TRUE(wizard);
        HWND model = ToModelPage(wizard);
        ASSERT_TRUE(model);
        ChooseListItem(model, IDC_MODEL_LIST, "Kx310");
        for (int visit = 0; visit < 2; ++visit) {
            Click(model, IDC_NEXT);
            ASSERT_TRUE(WaitUntil([&] { return frame.PageCounter() == CSetupDlg::kPrinterNamePage + 1; }));
            EXPECT_EQ(Choices().PrinterInfo.PrinterName, "Kx310");
            Click(const_cast<HWND>(frame.CurrentPage()->GetSafeHwnd()), IDC_BACK);
            ASSERT_TRUE(WaitUntil([&] { return frame.PageCounter() == CSetupDlg::kModelPage + 1; }));
        }
        PostMessageA(wizard, WM_CLOSE, 0, 0);
    });
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0], SystemErrorText(ERROR_ACCESS_DENIED));
}
