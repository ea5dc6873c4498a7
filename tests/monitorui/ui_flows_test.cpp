// The port dialogs of veskmonui with real windows, answered by a helper thread as a person
// would, and the monitor behind the Wine spooler's transceive channel.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <functional>
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
    // What the UI's Add Port answered, and the name it handed back.
    struct Added {
        BOOL ok = -1;
        DWORD error = 0;
        PWSTR name = nullptr;
    };
    // Runs Add Port as the spooler does while `person` answers the Port Name dialog and what
    // follows it. With `nameOut` false no out pointer is given; `initial` is what the out
    // pointer holds before; `monitor` is the monitor's name the spooler passes.
    Added AddPort(const std::function<void(HWND nameDialog)>& person, bool nameOut = true,
                  PWSTR initial = nullptr, const wchar_t* monitor = L"Vesk Port Monitor") {
        Added r;
        r.name = initial;
        vt::Drive([&] {
            SetLastError(0);
            r.ok = ui.table->pfnAddPortUI(nullptr, nullptr, monitor, nameOut ? &r.name : nullptr);
            r.error = GetLastError();
        }, [&] {
            HWND name = vt::WaitForDialog(L"Port Name", 20000);
            ASSERT_TRUE(name);
            person(name);
        });
        return r;
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
    auto [ok, error, added] = AddPort([&](HWND name) {
        TypeName(name, L"vesk2:");
        vt::PostClick(name, IDOK);
        HWND configure = vt::WaitForDialog(L"Configure VESK Port", 20000);
        ASSERT_TRUE(configure);
        caption = vt::WideText(configure);
        items = vt::ComboItems(configure, 1000, &selected);
        vt::PostClick(configure, IDCANCEL);
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, kCancelled) << "closing the configuration dialog";
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

TEST_F(UiFlows, AddPortConnectsToTheMonitorItIsGiven) {
    // A monitor the spooler does not know: the connection to it fails as the spooler says,
    // and nothing is asked.
    HANDLE h = nullptr;
    PRINTER_DEFAULTSW admin{nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
    ASSERT_FALSE(OpenPrinterW(const_cast<LPWSTR>(L",XcvMonitor Other Port Monitor"), &h, &admin));
    DWORD refused = GetLastError();
    BOOL ok = TRUE;
    DWORD error = 0;
    PWSTR added = nullptr;
    vt::Drive([&] {
        SetLastError(0);
        ok = ui.table->pfnAddPortUI(nullptr, nullptr, L"Other Port Monitor", &added);
        error = GetLastError();
    }, [] {});
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, refused);
    EXPECT_EQ(added, nullptr);

    // No name at all means this monitor: its Port Name dialog comes.
    auto unnamed = AddPort([](HWND name) { vt::PostClick(name, IDCANCEL); }, true, nullptr, nullptr);
    EXPECT_FALSE(unnamed.ok);
    EXPECT_EQ(unnamed.error, kCancelled);
}

TEST_F(UiFlows, ComPortsAreNotAddedOrDeletedHere) {
    auto [ok, error, added] = AddPort([&](HWND name) {
        TypeName(name, L"COM3:");
        vt::PostClick(name, IDOK);
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(added, nullptr);
    EXPECT_EQ(vt::KeyNames(L"Vesk Ports"), std::vector<std::wstring>{L"VESK"});
    EXPECT_FALSE(ui.table->pfnDeletePortUI(nullptr, nullptr, L"COM1:"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
}

TEST_F(UiFlows, AddingAnExistingPortSaysSoAndSucceeds) {
    std::wstring message;
    auto [ok, error, added] = AddPort([&](HWND name) {
        TypeName(name, L"VESK");
        vt::PostClick(name, IDOK);
        HWND box = vt::WaitForDialog(L"Vesk Port Monitor", 20000);
        ASSERT_TRUE(box);
        message = vt::DialogTexts(box);
        vt::PostClick(box, IDOK);
    }, true, reinterpret_cast<PWSTR>(0x1));
    EXPECT_TRUE(ok);
    EXPECT_NE(message.find(L"Port VESK already exists."), std::wstring::npos) << vt::Narrow(message);
    EXPECT_EQ(added, reinterpret_cast<PWSTR>(0x1)) << "the out pointer stays untouched";
}

TEST_F(UiFlows, AnyNameTheMonitorAcceptsIsAddedWithoutMoreQuestions) {
    // A file name, without a folder: Wine's spooler cannot route a port name holding a
    // backslash back to its monitor.
    std::wstring file = L"RECEIPTS.PRN";
    auto [ok, error, added] = AddPort([&](HWND name) {
        TypeName(name, file);
        vt::PostClick(name, IDOK);
    });
    EXPECT_TRUE(ok);
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
    auto [ok, error, added] = AddPort([&](HWND name) {
        vt::TypeKeys(name, 202, typed);
        length = GetWindowTextLengthW(GetDlgItem(name, 202));
        vt::PostClick(name, IDOK);
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_NAME)) << "valid name, but longer than 247";
    EXPECT_EQ(length, 258);
}

TEST_F(UiFlows, InvalidNameKeepsTheDialogOpenWithItsMessage) {
    std::wstring message;
    bool stillOpen = false;
    auto [ok, error, added] = AddPort([&](HWND name) {
        TypeName(name, L"no<such>port");
        vt::PostClick(name, IDOK);
        HWND box = vt::WaitForDialog(L"Vesk Port Monitor", 20000);
        ASSERT_TRUE(box);
        message = vt::WideMessageText(box);
        vt::PostClick(box, IDOK);
        // Once the box is gone and the dialog has handled everything that followed, it
        // would have closed by now if it were going to.
        vt::WaitUntil([&] { return !IsWindow(box); });
        vt::Settle(name);
        stillOpen = IsWindow(name) && IsWindowVisible(name);
        vt::PostClick(name, IDCANCEL);
    }, false);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, kCancelled);
    EXPECT_EQ(added, nullptr);
    EXPECT_EQ(message, L"'no<such>port' is an invalid port name.");
    EXPECT_TRUE(stillOpen) << "the user may correct the name";
}

TEST_F(UiFlows, ConfiguringAnotherMonitorsPortHasNothingToDo) {
    std::wstring message;
    BOOL ok = TRUE;
    DWORD error = 0;
    vt::Drive([&] {
        ok = ui.table->pfnConfigurePortUI(nullptr, nullptr, L"LPT1:");
        error = GetLastError();
    }, [&] {
        HWND box = vt::WaitForDialog(L"Vesk Port Monitor", 20000);
        ASSERT_TRUE(box);
        message = vt::DialogTexts(box);
        vt::PostClick(box, IDOK);
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, kCancelled);
    EXPECT_NE(message.find(L"There is nothing to configure for this port."), std::wstring::npos);
}

namespace {

// COM1's default configuration as the platform keeps it, put back when the test ends.
class DefaultConfigGuard {
public:
    DefaultConfigGuard() {
        saved.dwSize = sizeof saved;
        DWORD size = sizeof saved;
        read = GetDefaultCommConfigW(L"COM1", &saved, &size) != FALSE;
    }
    ~DefaultConfigGuard() {
        if (read) SetDefaultCommConfigW(L"COM1", &saved, sizeof saved);
    }
    static COMMCONFIG Now() {
        COMMCONFIG config{};
        config.dwSize = sizeof config;
        DWORD size = sizeof config;
        EXPECT_TRUE(GetDefaultCommConfigW(L"COM1", &config, &size)) << GetLastError();
        return config;
    }
    bool read = false;
    COMMCONFIG saved{};
};

}  // namespace

TEST_F(UiFlows, ConfiguringAComPortStoresWhatTheSystemsSettingsDialogChose) {
    DefaultConfigGuard guard;
    ASSERT_TRUE(guard.read) << GetLastError();
    DWORD baud = guard.saved.dcb.BaudRate == 19200 ? 4800 : 19200;
    bool shown = false, chose = false;
    BOOL ok = FALSE;
    DWORD err = 0;
    vt::Drive([&] {
        ok = ui.table->pfnConfigurePortUI(nullptr, nullptr, L"COM1:");
        err = GetLastError();
    }, [&] {
        HWND dlg = vt::WaitForDialog(L"COM1", 20000, vt::Caption::Contains);
        ASSERT_TRUE(dlg);
        shown = true;
        chose = vt::ChooseComboItemByLabel(dlg, L"Baud Rate", std::to_wstring(baud));
        vt::PostClick(dlg, IDOK);
    });
    EXPECT_TRUE(shown) << "error " << err;
    EXPECT_TRUE(chose);
    EXPECT_TRUE(ok) << "error " << err;
    COMMCONFIG now = DefaultConfigGuard::Now();
    EXPECT_EQ(now.dcb.BaudRate, baud) << "the choice is COM1's configuration now";
    EXPECT_EQ(now.dcb.ByteSize, guard.saved.dcb.ByteSize);
    EXPECT_EQ(now.dcb.Parity, guard.saved.dcb.Parity);
    EXPECT_EQ(now.dcb.StopBits, guard.saved.dcb.StopBits);
}
