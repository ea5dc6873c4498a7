// The monitor's own add, configure and delete port entry points, with its dialogs 201 and
// 200 answered by a helper thread as a person would.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_driver.h"
#include "profile.h"
#include "monitor_registration.h"
#include "test_env.h"
#include "xcv_connection.h"

namespace {

class PortDialogs : public ::testing::Test {
protected:
    PortDialogs()
        : section(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}}),
          ports(L"ports", {{L"COM1:", L""}, {L"COM2:", L""}}) {}
    void SetUp() override {
        ASSERT_TRUE(vt::RegisterMonitor());
        ASSERT_NE(m.table, nullptr);
    }
    vt::ScopedSection section, ports;
    vt::Monitor2 m;
};

}  // namespace

TEST_F(PortDialogs, AddingAPortAsksItsNameAndShowsItsConfiguration) {
    int comboItems = -1;
    BOOL added = FALSE;
    vt::Drive([&] { added = m.table->pfnAddPort(m.handle, nullptr, nullptr, const_cast<LPWSTR>(L"Vesk Port Monitor")); },
              [&] {
                  HWND name = vt::WaitForDialog(L"Port Name", 20000);
                  ASSERT_TRUE(name);
                  vt::TypeKeys(name, 202, L"VESK2:");
                  vt::PostClick(name, IDOK);
                  HWND configure = vt::WaitForDialog(L"Configure VESK Port", 20000);
                  ASSERT_TRUE(configure);
                  comboItems = static_cast<int>(SendDlgItemMessageW(configure, 1000, CB_GETCOUNT, 0, 0));
                  vt::PostClick(configure, IDCANCEL);
              });
    EXPECT_TRUE(added) << "\"&Close\" ends the monitor's dialog with success";
    EXPECT_EQ(comboItems, 2);
    EXPECT_EQ(vt::Value(L"Vesk Ports", L"VESK2:"), std::wstring(L""));
}

TEST_F(PortDialogs, NamesThatAreNoVeskPortAreRefusedAfterTheTest) {
    BOOL added = TRUE;
    DWORD error = 0;
    vt::Drive([&] {
        SetLastError(0);
        added = m.table->pfnAddPort(m.handle, nullptr, nullptr, nullptr);
        error = GetLastError();
    }, [&] {
        HWND name = vt::WaitForDialog(L"Port Name", 20000);
        ASSERT_TRUE(name);
        vt::TypeKeys(name, 202, vt::RunDir() + L"notvesk.prn");
        vt::PostClick(name, IDOK);
    });
    EXPECT_FALSE(added);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(vt::KeyNames(L"Vesk Ports"), std::vector<std::wstring>{L"VESK"});
}

TEST_F(PortDialogs, ExistingNameIsReportedAndTheCallSucceeds) {
    std::wstring message;
    int length = -1;
    BOOL added = FALSE;
    vt::Drive([&] { added = m.table->pfnAddPort(m.handle, nullptr, nullptr, nullptr); }, [&] {
        HWND name = vt::WaitForDialog(L"Port Name", 20000);
        ASSERT_TRUE(name);
        vt::TypeKeys(name, 202, L"VESK" + std::wstring(300, L'z'));
        length = GetWindowTextLengthW(GetDlgItem(name, 202));
        SendDlgItemMessageW(name, 202, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"vesk"));
        vt::PostClick(name, IDOK);
        HWND box = vt::WaitForDialog(L"Vesk Port Monitor", 20000);
        ASSERT_TRUE(box);
        message = vt::DialogTexts(box);
        vt::PostClick(box, IDOK);
    });
    EXPECT_TRUE(added);
    EXPECT_EQ(length, 258) << "the name field takes at most 258 characters";
    EXPECT_NE(message.find(L"Port vesk already exists."), std::wstring::npos) << vt::Narrow(message);
}

TEST_F(PortDialogs, CancellingTheNameDialogAddsNothing) {
    BOOL added = TRUE;
    DWORD error = 0;
    vt::Drive([&] {
        added = m.table->pfnAddPort(m.handle, nullptr, nullptr, nullptr);
        error = GetLastError();
    }, [&] {
        HWND name = vt::WaitForDialog(L"Port Name", 20000);
        ASSERT_TRUE(name);
        vt::PostClick(name, IDCANCEL);
    });
    EXPECT_FALSE(added);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_CANCELLED));
}

TEST_F(PortDialogs, ConfiguringAnotherMonitorsPortHasNothingToDo) {
    std::wstring message;
    BOOL configured = TRUE;
    DWORD error = 0;
    vt::Drive([&] {
        configured = m.table->pfnConfigurePort(m.handle, nullptr, nullptr, const_cast<LPWSTR>(L"LPT1:"));
        error = GetLastError();
    }, [&] {
        HWND box = vt::WaitForDialog(L"Vesk Port Monitor", 20000);
        ASSERT_TRUE(box);
        message = vt::DialogTexts(box);
        vt::PostClick(box, IDOK);
    });
    EXPECT_FALSE(configured);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_CANCELLED));
    EXPECT_NE(message.find(L"There is nothing to configure for this port."), std::wstring::npos);

    vt::Drive([&] { configured = m.table->pfnConfigurePort(m.handle, nullptr, nullptr, const_cast<LPWSTR>(L"VESK")); },
              [&] {
                  HWND configure = vt::WaitForDialog(L"Configure VESK Port", 20000);
                  ASSERT_TRUE(configure);
                  vt::PostClick(configure, IDCANCEL);
              });
    EXPECT_TRUE(configured);
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
