// The port dialogs of veskmonui with real windows, answered by a helper thread as a person
// would, and the monitor behind the Wine spooler's transceive channel.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_driver.h"
#include "profile.h"
#include "ui_library.h"

namespace {

const DWORD kCancelled = ERROR_CANCELLED;

void TypeName(HWND dlg, const std::wstring& name) {
    SendMessageW(GetDlgItem(dlg, 202), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
}

class UiFlows : public ::testing::Test {
protected:
    UiFlows()
        : section(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}}),
          ports(L"ports", {{L"COM1:", L""}, {L"COM2:", L""}, {L"LPT1:", L""}}) {}
    void SetUp() override {
        ASSERT_TRUE(ui.registered);
        ASSERT_NE(ui.table, nullptr);
    }
    vt::ScopedSection section, ports;
    vt::UiLibrary ui;
};

}  // namespace

TEST_F(UiFlows, TableHasItsThreeOperations) {
#ifdef _WIN64
    EXPECT_EQ(ui.table->dwMonitorUISize, sizeof(MONITORUI));
#else
    EXPECT_EQ(ui.table->dwMonitorUISize, 16u);
#endif
    EXPECT_NE(ui.table->pfnAddPortUI, nullptr);
    EXPECT_NE(ui.table->pfnConfigurePortUI, nullptr);
    EXPECT_NE(ui.table->pfnDeletePortUI, nullptr);
}

TEST_F(UiFlows, AddingAVeskPortAsksItsNameAndOpensItsConfiguration) {
    std::vector<std::wstring> items;
    int selected = -2;
    std::wstring caption;
    vt::DialogScript person([&] {
        HWND name = vt::WaitForDialog(L"Port Name", 20000);
        if (!name) return;
        TypeName(name, L"vesk2:");
        vt::ClickButton(name, IDOK);
        HWND configure = vt::WaitForDialog(L"Configure VESK Port", 20000);
        if (!configure) return;
        wchar_t text[64];
        GetWindowTextW(configure, text, 64);
        caption = text;
        items = vt::ComboItems(configure, 1000, &selected);
        vt::ClickButton(configure, IDCANCEL);
    });
    PWSTR added = nullptr;
    SetLastError(0);
    EXPECT_FALSE(ui.table->pfnAddPortUI(nullptr, nullptr, L"Vesk Port Monitor", &added));
    EXPECT_EQ(GetLastError(), kCancelled) << "closing the configuration dialog";
    ASSERT_TRUE(person.Join(5000));
    ASSERT_NE(added, nullptr);
    EXPECT_STREQ(added, L"vesk2:") << "the name as typed";
    GlobalFree(added);
    EXPECT_EQ(caption, L"Configure VESK Port");
    EXPECT_EQ(items, (std::vector<std::wstring>{L"COM1:", L"COM2:"}));
    EXPECT_EQ(selected, 0) << "the entry that begins with the port's COM name";
    EXPECT_EQ(vt::Value(L"Vesk Ports", L"vesk2:"), std::wstring(L""));
    EXPECT_TRUE(ui.table->pfnDeletePortUI(nullptr, nullptr, L"vesk2:"));
    EXPECT_FALSE(vt::Value(L"Vesk Ports", L"vesk2:"));
}

TEST_F(UiFlows, ComPortsAreNotAddedOrDeletedHere) {
    vt::DialogScript person([&] {
        HWND name = vt::WaitForDialog(L"Port Name", 20000);
        if (!name) return;
        TypeName(name, L"COM3:");
        vt::ClickButton(name, IDOK);
    });
    PWSTR added = nullptr;
    EXPECT_FALSE(ui.table->pfnAddPortUI(nullptr, nullptr, L"Vesk Port Monitor", &added));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    ASSERT_TRUE(person.Join(5000));
    EXPECT_EQ(added, nullptr);
    EXPECT_EQ(vt::KeyNames(L"Vesk Ports"), std::vector<std::wstring>{L"VESK"});
    EXPECT_FALSE(ui.table->pfnDeletePortUI(nullptr, nullptr, L"COM1:"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
}

TEST_F(UiFlows, AddingAnExistingPortSaysSoAndSucceeds) {
    std::wstring message;
    vt::DialogScript person([&] {
        HWND name = vt::WaitForDialog(L"Port Name", 20000);
        if (!name) return;
        TypeName(name, L"VESK");
        vt::ClickButton(name, IDOK);
        HWND box = vt::WaitForDialog(L"Vesk Port Monitor", 20000);
        if (!box) return;
        message = vt::DialogTexts(box);
        vt::ClickButton(box, IDOK);
    });
    PWSTR added = reinterpret_cast<PWSTR>(0x1);
    EXPECT_TRUE(ui.table->pfnAddPortUI(nullptr, nullptr, L"Vesk Port Monitor", &added));
    ASSERT_TRUE(person.Join(5000));
    EXPECT_NE(message.find(L"Port VESK already exists."), std::wstring::npos) << vt::Narrow(message);
    EXPECT_EQ(added, reinterpret_cast<PWSTR>(0x1)) << "the out pointer stays untouched";
}

TEST_F(UiFlows, AnyNameTheMonitorAcceptsIsAddedWithoutMoreQuestions) {
    // A file name, without a folder: Wine's spooler cannot route a port name holding a
    // backslash back to its monitor.
    std::wstring file = L"RECEIPTS.PRN";
    vt::DialogScript person([&] {
        HWND name = vt::WaitForDialog(L"Port Name", 20000);
        if (!name) return;
        TypeName(name, file);
        vt::ClickButton(name, IDOK);
    });
    PWSTR added = nullptr;
    EXPECT_TRUE(ui.table->pfnAddPortUI(nullptr, nullptr, L"Vesk Port Monitor", &added));
    ASSERT_TRUE(person.Join(5000));
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(std::wstring(added), file);
    GlobalFree(added);
    EXPECT_TRUE(vt::Value(L"Vesk Ports", file.c_str()));
    // The monitor loads only VESK names from its section, so once the monitor has been
    // loaded again such a port is gone from its list; its key is removed by hand.
    WriteProfileStringW(L"Vesk Ports", file.c_str(), nullptr);
}

TEST_F(UiFlows, NameFieldTakesAtMost258CharactersAndTheMonitorJudgesThem) {
    std::wstring typed = L"VESK" + std::wstring(296, L'x');
    int length = -1;
    std::wstring message;
    vt::DialogScript person([&] {
        HWND name = vt::WaitForDialog(L"Port Name", 20000);
        if (!name) return;
        vt::TypeKeys(name, 202, typed);
        length = GetWindowTextLengthW(GetDlgItem(name, 202));
        vt::ClickButton(name, IDOK);
    });
    PWSTR added = nullptr;
    EXPECT_FALSE(ui.table->pfnAddPortUI(nullptr, nullptr, L"Vesk Port Monitor", &added));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME)) << "valid name, but longer than 247";
    ASSERT_TRUE(person.Join(5000));
    EXPECT_EQ(length, 258);
}

TEST_F(UiFlows, InvalidNameKeepsTheDialogOpenWithItsMessage) {
    std::wstring message;
    bool stillOpen = false;
    vt::DialogScript person([&] {
        HWND name = vt::WaitForDialog(L"Port Name", 20000);
        if (!name) return;
        TypeName(name, L"no<such>port");
        vt::ClickButton(name, IDOK);
        HWND box = vt::WaitForDialog(L"Vesk Port Monitor", 20000);
        if (!box) return;
        message = vt::DialogTexts(box);
        vt::ClickButton(box, IDOK);
        Sleep(300);
        stillOpen = IsWindow(name) && IsWindowVisible(name);
        vt::ClickButton(name, IDCANCEL);
    });
    EXPECT_FALSE(ui.table->pfnAddPortUI(nullptr, nullptr, L"Vesk Port Monitor", nullptr));
    EXPECT_EQ(GetLastError(), kCancelled);
    ASSERT_TRUE(person.Join(5000));
    EXPECT_FALSE(message.empty());
    EXPECT_TRUE(stillOpen) << "the user may correct the name";
}

TEST_F(UiFlows, ConfiguringAnotherMonitorsPortHasNothingToDo) {
    std::wstring message;
    vt::DialogScript person([&] {
        HWND box = vt::WaitForDialog(L"Vesk Port Monitor", 20000);
        if (!box) return;
        message = vt::DialogTexts(box);
        vt::ClickButton(box, IDOK);
    });
    EXPECT_FALSE(ui.table->pfnConfigurePortUI(nullptr, nullptr, L"LPT1:"));
    EXPECT_EQ(GetLastError(), kCancelled);
    ASSERT_TRUE(person.Join(5000));
    EXPECT_NE(message.find(L"There is nothing to configure for this port."), std::wstring::npos);
}

TEST_F(UiFlows, ConfiguringAComPortRunsTheSystemsSettingsDialog) {
    bool shown = false;
    vt::DialogScript person([&] {
        HWND dlg = vt::WaitForDialog(L"COM1", 20000);
        if (!dlg) return;
        shown = true;
        vt::ClickButton(dlg, IDOK);
    });
    BOOL ok = ui.table->pfnConfigurePortUI(nullptr, nullptr, L"COM1:");
    DWORD err = GetLastError();
    ASSERT_TRUE(person.Join(5000));
    EXPECT_TRUE(shown) << "error " << err;
    EXPECT_TRUE(ok) << "error " << err;
}
