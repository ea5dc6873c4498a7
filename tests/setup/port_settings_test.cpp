// The port settings page and the port settings dialog: their lists and defaults, the
// settings text they give and the configuration the dialog fills.
#include <gtest/gtest.h>

#include "install_choices.h"
#include "line_setting_boxes.h"
#include "port_settings_dlg.h"
#include "port_settings_page.h"
#include "profile.h"
#include "resource.h"
#include "setup_fixture.h"
#include "wizard_test.h"

using namespace st;

namespace {

struct Selection {
    std::string baud, data, parity, stop;
};

Selection Selected(HWND dialog) {
    return {SelectedText(GetDlgItem(dialog, IDC_BAUD_RATE)), SelectedText(GetDlgItem(dialog, IDC_DATA_BITS)),
            SelectedText(GetDlgItem(dialog, IDC_PARITY)), SelectedText(GetDlgItem(dialog, IDC_STOP_BITS))};
}

void ExpectDefaults(HWND dialog) {
    Selection s = Selected(dialog);
    EXPECT_EQ(s.baud, "9600");
    EXPECT_EQ(s.data, "8");
    EXPECT_EQ(s.parity, "None");
    EXPECT_EQ(s.stop, "1");
}

std::vector<std::string> Items(HWND dialog, int id) {
    HWND combo = GetDlgItem(dialog, id);
    std::vector<std::string> items;
    for (LRESULT i = 0, n = SendMessageA(combo, CB_GETCOUNT, 0, 0); i < n; ++i) {
        char text[64] = "";
        SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        items.emplace_back(text);
    }
    return items;
}

void Choose(HWND dialog, const Selection& s) {
    EXPECT_TRUE(ChooseComboItem(dialog, IDC_BAUD_RATE, s.baud.c_str()));
    EXPECT_TRUE(ChooseComboItem(dialog, IDC_DATA_BITS, s.data.c_str()));
    EXPECT_TRUE(ChooseComboItem(dialog, IDC_PARITY, s.parity.c_str()));
    EXPECT_TRUE(ChooseComboItem(dialog, IDC_STOP_BITS, s.stop.c_str()));
}

class PortSettingsPage : public ::testing::Test {
protected:
    void SetUp() override { FreshChoices(); }
    void TearDown() override { vt::DeleteSection(L"ports"); }

    // Runs the wizard to the port settings page and then `script` on it.
    void OnPortPage(const std::function<void(HWND wizard, HWND page)>& script) {
        CSetupDlg frame;
        RunWizard(frame, [&](HWND wizard) {
            ASSERT_TRUE(wizard);
            HWND licence = WaitForPage(wizard, IDC_ACCEPT);
            Click(licence, IDC_ACCEPT);
            Click(licence, IDC_NEXT);
            HWND page = WaitForPage(wizard, IDC_COM_PORT);
            ASSERT_TRUE(page);
            script(wizard, page);
            PostMessageA(wizard, WM_CLOSE, 0, 0);
        });
    }
};

}  // namespace

TEST_F(PortSettingsPage, OpensWithTheDefaultsAndTheSortedComPorts) {
    vt::ScopedSection ports(L"ports", {{L"COM3:", L"9600,n,8,1"}, {L"LPT1:", L""}, {L"COM1:", L"9600,n,8,1"},
                                       {L"com2:", L"19200,e,7,1"}, {L"FILE:", L""}});
    OnPortPage([&](HWND, HWND page) {
        EXPECT_EQ(Items(page, IDC_COM_PORT), (std::vector<std::string>{"COM1:", "com2:", "COM3:"}));
        EXPECT_EQ(SelectedText(GetDlgItem(page, IDC_COM_PORT)), "COM1:");
        EXPECT_EQ(Items(page, IDC_BAUD_RATE), (std::vector<std::string>{"300", "600", "1200", "2400", "4800",
                                                                        "9600", "19200", "38400", "57600"}));
        EXPECT_EQ(Items(page, IDC_DATA_BITS), (std::vector<std::string>{"7", "8"}));
        EXPECT_EQ(Items(page, IDC_PARITY), (std::vector<std::string>{"Even", "Odd", "None"}));
        EXPECT_EQ(Items(page, IDC_STOP_BITS), (std::vector<std::string>{"1", "2"}));
        ExpectDefaults(page);
        EXPECT_FALSE(ItemChecked(page, IDC_NO_CONFIRM));
        EXPECT_EQ(ItemText(page, IDC_PAGE_HEADER), kPortSettingsHeader);
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, IDC_NO_COM_PORT)));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_NEXT)));
        EXPECT_FALSE(Choices().gbTalkToPrinter) << "false until the page's Next";
    });
}

TEST_F(PortSettingsPage, WithoutCom1TheProfilesFirstPortIsChosen) {
    vt::ScopedSection ports(L"ports", {{L"COM4:", L""}, {L"LPT1:", L""}, {L"COM2:", L""}});
    OnPortPage([&](HWND wizard, HWND page) {
        EXPECT_EQ(Items(page, IDC_COM_PORT), (std::vector<std::string>{"COM2:", "COM4:"}));
        EXPECT_EQ(SelectedText(GetDlgItem(page, IDC_COM_PORT)), "COM4:");
        Click(page, IDC_NEXT);
        Settle(wizard);
        EXPECT_EQ(Choices().gstrPort, "COM4:");
        EXPECT_EQ(Choices().gstrSettings, "9600,n,8,1");
        EXPECT_TRUE(Choices().gbTalkToPrinter);
    });
}

TEST_F(PortSettingsPage, NextStoresTheChosenSettingsAndTheCheckBox) {
    vt::ScopedSection ports(L"ports", {{L"COM1:", L""}, {L"COM2:", L""}});
    OnPortPage([&](HWND wizard, HWND page) {
        ChooseComboItem(page, IDC_COM_PORT, "COM2:");
        Choose(page, {"4800", "7", "Odd", "2"});
        Click(page, IDC_NO_CONFIRM);
        Click(page, IDC_NEXT);
        HWND model = WaitForPage(wizard, IDC_MODEL_LIST);
        ASSERT_TRUE(model);
        EXPECT_EQ(Choices().gstrPort, "COM2:");
        EXPECT_EQ(Choices().gstrSettings, "4800,o,7,2");
        EXPECT_FALSE(Choices().gbTalkToPrinter);

        // Back, another choice, Next again: stored anew.
        Click(model, IDC_BACK);
        ASSERT_EQ(WaitForPage(wizard, IDC_COM_PORT), page);
        Choose(page, {"57600", "8", "Even", "1"});
        Click(page, IDC_NO_CONFIRM);
        Click(page, IDC_NEXT);
        WaitForPage(wizard, IDC_MODEL_LIST);
        EXPECT_EQ(Choices().gstrSettings, "57600,e,8,1");
        EXPECT_TRUE(Choices().gbTalkToPrinter);
    });
}

TEST_F(PortSettingsPage, RestoreDefaultsResetsTheLineButNotThePortOrTheCheckBox) {
    vt::ScopedSection ports(L"ports", {{L"COM1:", L""}, {L"COM2:", L""}});
    OnPortPage([&](HWND, HWND page) {
        ChooseComboItem(page, IDC_COM_PORT, "COM2:");
        Choose(page, {"300", "7", "Even", "2"});
        Click(page, IDC_NO_CONFIRM);
        Click(page, IDC_RESTORE_DEFAULTS);
        ExpectDefaults(page);
        EXPECT_EQ(SelectedText(GetDlgItem(page, IDC_COM_PORT)), "COM2:");
        EXPECT_TRUE(ItemChecked(page, IDC_NO_CONFIRM));
    });
}

TEST_F(PortSettingsPage, WithoutComPortsThePageSaysSoAndGoesOnOnlyWithAPortChosen) {
    vt::DeleteSection(L"ports");
    OnPortPage([&](HWND wizard, HWND page) {
        EXPECT_TRUE(Items(page, IDC_COM_PORT).empty());
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, IDC_NO_COM_PORT)));
        EXPECT_EQ(ItemText(page, IDC_NO_COM_PORT), "No COM port was found on this computer.");
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_NEXT)));
        // Nor does Enter's command on the page itself go on.
        SendMessageA(page, WM_COMMAND, IDOK, 0);
        EXPECT_FALSE(WaitForPage(wizard, IDC_MODEL_LIST, 500));
        EXPECT_EQ(Choices().gstrSettings, "");

        // A port to choose, and chosen: Next goes on with it.
        SendMessageA(GetDlgItem(page, IDC_COM_PORT), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("COM5:"));
        ASSERT_TRUE(ChooseComboItem(page, IDC_COM_PORT, "COM5:"));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_NEXT)));
        Click(page, IDC_NEXT);
        EXPECT_TRUE(WaitForPage(wizard, IDC_MODEL_LIST));
        EXPECT_EQ(Choices().gstrPort, "COM5:");
    });
}

namespace {

DCB Line(DWORD baud, BYTE parity, BYTE stop, BYTE bits) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = baud;
    dcb.Parity = parity;
    dcb.StopBits = stop;
    dcb.ByteSize = bits;
    return dcb;
}

COMMCONFIG ConfigOf(const DCB& dcb) {
    COMMCONFIG config{};
    config.dwSize = sizeof config;
    config.dcb = dcb;
    return config;
}

// Runs dialog 142 on `config` while `script` works it; returns the dialog's result.
INT_PTR RunPortDialog(const char* port, COMMCONFIG* config, const std::function<void(HWND)>& script,
                      const char* caption) {
    CPortSettingsDlg dialog(port, config);
    INT_PTR result = 0;
    Drive([&] { result = dialog.DoModal(); }, [&] {
        HWND window = WaitForDialog(caption);
        ASSERT_TRUE(window) << caption;
        script(window);
    });
    return result;
}

}  // namespace

TEST(PortSettingsDialog, ShowsThePortAsCaptionAndTheConfigurationsSettings) {
    COMMCONFIG config = ConfigOf(Line(19200, EVENPARITY, TWOSTOPBITS, 7));
    RunPortDialog("COM1", &config, [](HWND dialog) {
        Selection s = Selected(dialog);
        EXPECT_EQ(s.baud, "19200");
        EXPECT_EQ(s.parity, "Even");
        EXPECT_EQ(s.stop, "2");
        EXPECT_EQ(s.data, "7");
        Click(dialog, IDCANCEL);
    }, "COM1");
    RunPortDialog("COM2:", nullptr, [](HWND dialog) {
        ExpectDefaults(dialog);
        Click(dialog, IDCANCEL);
    }, "COM2");  // the caption shows the port without its colon
}

TEST(PortSettingsDialog, SettingsTheListsCannotShowAreShownAsTheDefaults) {
    COMMCONFIG config = ConfigOf(Line(115200, MARKPARITY, ONE5STOPBITS, 5));
    INT_PTR result = RunPortDialog("COM1", &config, [](HWND dialog) {
        ExpectDefaults(dialog);
        Click(dialog, IDCANCEL);
    }, "COM1");
    EXPECT_EQ(result, IDCANCEL);
    COMMCONFIG unlisted = ConfigOf(Line(7200, SPACEPARITY, ONESTOPBIT, 6));
    RunPortDialog("COM1", &unlisted, [](HWND dialog) {
        ExpectDefaults(dialog);
        Click(dialog, IDCANCEL);
    }, "COM1");
}

TEST(PortSettingsDialog, ProceedFillsTheConfigurationAndCancelLeavesIt) {
    COMMCONFIG config = ConfigOf(Line(9600, NOPARITY, ONESTOPBIT, 8));
    config.dwSize = 0;
    INT_PTR result = RunPortDialog("COM1", &config, [](HWND dialog) {
        Choose(dialog, {"4800", "7", "Odd", "2"});
        Click(dialog, IDOK);
    }, "COM1");
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(config.dwSize, 52u);
    EXPECT_EQ(config.dwProviderSubType, static_cast<DWORD>(PST_RS232));
    EXPECT_EQ(config.dcb.DCBlength, 28u);
    EXPECT_EQ(config.dcb.BaudRate, 4800u);
    EXPECT_EQ(config.dcb.Parity, ODDPARITY);
    EXPECT_EQ(config.dcb.ByteSize, 7);
    EXPECT_EQ(config.dcb.StopBits, TWOSTOPBITS);

    // The next run starts from what was proceeded with; Cancel keeps it byte for byte.
    COMMCONFIG before = config;
    result = RunPortDialog("COM1", &config, [](HWND dialog) {
        Selection s = Selected(dialog);
        EXPECT_EQ(s.baud, "4800");
        EXPECT_EQ(s.parity, "Odd");
        Choose(dialog, {"300", "8", "Even", "1"});
        Click(dialog, IDCANCEL);
    }, "COM1");
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(memcmp(&before, &config, sizeof config), 0);

    // Without a configuration, Proceed only ends the dialog.
    EXPECT_EQ(RunPortDialog("COM1", nullptr, [](HWND dialog) { Click(dialog, IDOK); }, "COM1"), IDOK);
}

TEST(PortSettingsDialog, RestoreDefaultsSelectsTheDefaults) {
    COMMCONFIG config = ConfigOf(Line(38400, EVENPARITY, TWOSTOPBITS, 7));
    RunPortDialog("COM1", &config, [](HWND dialog) {
        Click(dialog, IDC_RESTORE_DEFAULTS);
        ExpectDefaults(dialog);
        Click(dialog, IDCANCEL);
    }, "COM1");
}
