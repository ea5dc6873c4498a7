// "&Configure COM" in the Configure VESK Port dialog, with the printer simulator on COM1:
// the user's choice reaches the printer and the stored settings, or, when the printer
// answers at other settings and the user declines, nothing changes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "dialog_driver.h"
#include "profile.h"
#include "simulator.h"
#include "ui_library.h"

namespace {

class ConfigureCom : public ::testing::Test {
protected:
    ConfigureCom()
        : section(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}}),
          ports(L"ports", {{L"COM1:", L""}}) {}
    void SetUp() override {
        ASSERT_TRUE(ui.registered);
        ASSERT_NE(ui.table, nullptr);
    }
    // The user opens "&Configure COM" and picks 19200 baud in the settings dialog; the
    // Configure VESK Port dialog, or null when a window did not come.
    static HWND ChooseNewBaudRate(bool* chose = nullptr) {
        HWND configure = vt::WaitForDialog(L"Configure VESK Port", 20000);
        EXPECT_TRUE(configure);
        if (!configure) return nullptr;
        vt::PostClick(configure, IDOK);  // &Configure COM
        HWND settings = vt::WaitForDialog(L"COM1", 20000, vt::Caption::Contains);
        EXPECT_TRUE(settings);
        if (!settings) return nullptr;
        bool picked = vt::ChooseComboItemByLabel(settings, L"Baud Rate", L"19200");
        EXPECT_TRUE(picked);
        if (chose) *chose = picked;
        vt::PostClick(settings, IDOK);
        return configure;
    }
    vt::ScopedSection section, ports;
    vt::UiLibrary ui;
    vt::Simulator sim;
};

}  // namespace

TEST_F(ConfigureCom, NewBaudRateReachesThePrinterAndTheStoredSettings) {
    sim.Control("power-cycle on");
    sim.Sync();
    std::wstring powerQuestion;
    bool chose = false;
    BOOL configured = TRUE;
    DWORD error = 0;
    vt::Drive([&] {
        configured = ui.table->pfnConfigurePortUI(nullptr, nullptr, L"VESK");
        error = GetLastError();
    }, [&] {
        HWND configure = ChooseNewBaudRate(&chose);
        ASSERT_TRUE(configure);
        // The monitor asks for the power cycle, owned by the dialog.
        HWND box = vt::WaitForDialog(L"Veks Port Monitor", 30000);
        if (box) {
            powerQuestion = vt::DialogTexts(box);
            vt::PostClick(box, IDOK);
        }
        vt::PostClick(configure, IDCANCEL);  // &Close, handled once the change is done
    });
    EXPECT_FALSE(configured);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_CANCELLED));
    EXPECT_TRUE(chose);
    EXPECT_NE(powerQuestion.find(L"Please remove power or charger from the printer"), std::wstring::npos);
    EXPECT_EQ(vt::Value(L"Vesk Ports", L"VESK"), std::wstring(L"COM1:,19200,n,8,1"));
    auto state = sim.Sync();
    EXPECT_EQ(state["settings"], "19200,n,8,1");
    EXPECT_EQ(state["switches"], "1");
}

TEST_F(ConfigureCom, ChangeThatDoesNotHappenIsToldAndNothingIsStored) {
    // The printer wants a power cycle for the change and the user cancels it: the printer
    // keeps its settings, the monitor answers that the change failed, and the user is told.
    sim.Control("power-cycle on");
    sim.Sync();
    std::wstring told;
    BOOL configured = TRUE;
    vt::Drive([&] { configured = ui.table->pfnConfigurePortUI(nullptr, nullptr, L"VESK"); }, [&] {
        HWND configure = ChooseNewBaudRate();
        ASSERT_TRUE(configure);
        HWND power = vt::WaitForDialog(L"Veks Port Monitor", 30000);
        ASSERT_TRUE(power);
        vt::PostClick(power, IDCANCEL);
        HWND box = vt::WaitForDialog(L"Vesk Port Monitor", 20000);
        if (box) {
            told = vt::WideMessageText(box);
            vt::PostClick(box, IDOK);
        }
        vt::PostClick(configure, IDCANCEL);
    });
    EXPECT_FALSE(configured);
    wchar_t notReady[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_NOT_READY,
                   0, notReady, 512, nullptr);
    auto trimmed = [](std::wstring t) { return t.erase(t.find_last_not_of(L"\r\n ") + 1); };
    EXPECT_FALSE(told.empty()) << "the failed change is told";
    EXPECT_EQ(trimmed(told), trimmed(notReady));
    auto state = sim.Sync();
    EXPECT_EQ(state["switches"], "0");
    EXPECT_EQ(state["settings"], "9600,n,8,1");
    EXPECT_EQ(vt::Value(L"Vesk Ports", L"VESK"), std::wstring(L"COM1:,9600,N,8,1"));
}

TEST_F(ConfigureCom, DecliningTheMismatchQuestionSendsNothingMore) {
    sim.Control("reply-query 34 38 30 30 2C 4E 2C 38 2C 31 0D");
    sim.Sync();
    std::wstring question;
    BOOL configured = TRUE;
    vt::Drive([&] { configured = ui.table->pfnConfigurePortUI(nullptr, nullptr, L"VESK"); }, [&] {
        HWND configure = ChooseNewBaudRate();
        ASSERT_TRUE(configure);
        HWND box = vt::WaitForDialog(L"Vesk Port Monitor", 30000);
        if (box) {
            question = vt::DialogTexts(box);
            vt::PostClick(box, IDNO);
        }
        vt::PostClick(configure, IDCANCEL);
    });
    EXPECT_FALSE(configured);
    EXPECT_NE(question.find(L"The printer settings are not the same with the PC serial port settings."),
              std::wstring::npos);
    auto state = sim.Sync();
    EXPECT_EQ(state["settings_changes"], "0");
    EXPECT_EQ(state["switches"], "0");
    EXPECT_EQ(state["queries"], "1") << "one try, then nothing";
    EXPECT_EQ(vt::Value(L"Vesk Ports", L"VESK"), std::wstring(L"COM1:,9600,N,8,1"));
}
