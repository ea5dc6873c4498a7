// The monitor's own add, configure and delete port entry points, with its dialogs 201 and
// 200 answered by a helper thread as a person would.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_driver.h"
#include "profile.h"
#include "spooler_setup.h"
#include "test_env.h"
#include "xcv_connection.h"

namespace {

class PortDialogs : public ::testing::Test {
protected:
    PortDialogs()
        : section(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}}),
          ports(L"ports", {{L"COM1:", L""}, {L"COM2:", L""}}) {
        DWORD err = 0;
        registered = vesk::RegisterMonitor(vt::BinDir(), err);
    }
    void SetUp() override {
        ASSERT_TRUE(registered);
        ASSERT_NE(m.table, nullptr);
    }
    vt::ScopedSection section, ports;
    bool registered;
    vt::Monitor2 m;
};

}  // namespace

TEST_F(PortDialogs, AddingAPortAsksItsNameAndShowsItsConfiguration) {
    int comboItems = -1;
    vt::DialogScript person([&] {
        HWND name = vt::WaitForDialog(L"Port Name", 20000);
        if (!name) return;
        vt::TypeKeys(name, 202, L"VESK2:");
        vt::ClickButton(name, IDOK);
        HWND configure = vt::WaitForDialog(L"Configure VESK Port", 20000);
        if (!configure) return;
        comboItems = static_cast<int>(SendDlgItemMessageW(configure, 1000, CB_GETCOUNT, 0, 0));
        vt::ClickButton(configure, IDCANCEL);
    });
    EXPECT_TRUE(m.table->pfnAddPort(m.handle, nullptr, nullptr, const_cast<LPWSTR>(L"Vesk Port Monitor")))
        << "\"&Close\" ends the monitor's dialog with success";
    ASSERT_TRUE(person.Join(5000));
    EXPECT_EQ(comboItems, 2);
    EXPECT_EQ(vt::Value(L"Vesk Ports", L"VESK2:"), std::wstring(L""));
}

TEST_F(PortDialogs, NamesThatAreNoVeskPortAreRefusedAfterTheTest) {
    vt::DialogScript person([&] {
        HWND name = vt::WaitForDialog(L"Port Name", 20000);
        if (!name) return;
        vt::TypeKeys(name, 202, L"NUL");
        vt::ClickButton(name, IDOK);
    });
    SetLastError(0);
    EXPECT_FALSE(m.table->pfnAddPort(m.handle, nullptr, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    ASSERT_TRUE(person.Join(5000));
    EXPECT_EQ(vt::KeyNames(L"Vesk Ports"), std::vector<std::wstring>{L"VESK"});
}

TEST_F(PortDialogs, ExistingNameIsReportedAndTheCallSucceeds) {
    std::wstring message;
    int length = -1;
    vt::DialogScript person([&] {
        HWND name = vt::WaitForDialog(L"Port Name", 20000);
        if (!name) return;
        vt::TypeKeys(name, 202, L"VESK" + std::wstring(300, L'z'));
        length = GetWindowTextLengthW(GetDlgItem(name, 202));
        SendDlgItemMessageW(name, 202, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"vesk"));
        vt::ClickButton(name, IDOK);
        HWND box = vt::WaitForDialog(L"Vesk Port Monitor", 20000);
        if (!box) return;
        message = vt::DialogTexts(box);
        vt::ClickButton(box, IDOK);
    });
    EXPECT_TRUE(m.table->pfnAddPort(m.handle, nullptr, nullptr, nullptr));
    ASSERT_TRUE(person.Join(5000));
    EXPECT_EQ(length, 258) << "the name field takes at most 258 characters";
    EXPECT_NE(message.find(L"Port vesk already exists."), std::wstring::npos) << vt::Narrow(message);
}

TEST_F(PortDialogs, CancellingTheNameDialogAddsNothing) {
    vt::DialogScript person([&] {
        HWND name = vt::WaitForDialog(L"Port Name", 20000);
        if (name) vt::ClickButton(name, IDCANCEL);
    });
    EXPECT_FALSE(m.table->pfnAddPort(m.handle, nullptr, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANCELLED));
    ASSERT_TRUE(person.Join(5000));
}

TEST_F(PortDialogs, ConfiguringAnotherMonitorsPortHasNothingToDo) {
    std::wstring message;
    vt::DialogScript person([&] {
        HWND box = vt::WaitForDialog(L"Vesk Port Monitor", 20000);
        if (!box) return;
        message = vt::DialogTexts(box);
        vt::ClickButton(box, IDOK);
    });
    EXPECT_FALSE(m.table->pfnConfigurePort(m.handle, nullptr, nullptr, const_cast<LPWSTR>(L"LPT1:")));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANCELLED));
    ASSERT_TRUE(person.Join(5000));
    EXPECT_NE(message.find(L"There is nothing to configure for this port."), std::wstring::npos);

    vt::DialogScript closer([&] {
        HWND configure = vt::WaitForDialog(L"Configure VESK Port", 20000);
        if (configure) vt::ClickButton(configure, IDCANCEL);
    });
    EXPECT_TRUE(m.table->pfnConfigurePort(m.handle, nullptr, nullptr, const_cast<LPWSTR>(L"VESK")));
    ASSERT_TRUE(closer.Join(5000));
}

TEST_F(PortDialogs, AddingWithoutADialogAndDeleting) {
    PORT_INFO_1W info{const_cast<LPWSTR>(L"VESK6")};
    SetLastError(0);
    EXPECT_FALSE(m.table->pfnAddPortEx(m.handle, nullptr, 2, reinterpret_cast<LPBYTE>(&info), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));
    PORT_INFO_1W none{nullptr};
    EXPECT_FALSE(m.table->pfnAddPortEx(m.handle, nullptr, 1, reinterpret_cast<LPBYTE>(&none), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(m.table->pfnAddPortEx(m.handle, nullptr, 1, reinterpret_cast<LPBYTE>(&info), nullptr));
    EXPECT_EQ(vt::Value(L"Vesk Ports", L"VESK6"), std::wstring(L""));
    EXPECT_FALSE(m.table->pfnAddPortEx(m.handle, nullptr, 0xFFFFFFFF, reinterpret_cast<LPBYTE>(&info), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << "it exists now";

    EXPECT_TRUE(m.table->pfnDeletePort(m.handle, nullptr, nullptr, const_cast<LPWSTR>(L"vesk6")));
    EXPECT_FALSE(vt::Value(L"Vesk Ports", L"VESK6"));
    EXPECT_FALSE(m.table->pfnDeletePort(m.handle, nullptr, nullptr, const_cast<LPWSTR>(L"VESK6")));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(m.table->pfnDeletePort(m.handle, nullptr, nullptr, const_cast<LPWSTR>(L"COM1:")));
}
