// The synchronisation with the user through the real windows: the monitor's question and
// the platform's communications settings dialog, answered by a helper thread as a person
// would, after which the stored settings follow the printer and the next job prints.
#include <windows.h>
#include <winsplp.h>

#include <gtest/gtest.h>

#include <string>

#include "dialog_driver.h"
#include "fake_spooler.h"
#include "long_dos_names.h"
#include "monitor_library.h"
#include "profile.h"
#include "simulator.h"
#include "test_env.h"

TEST(SynchronisationDialogs, MismatchLeadsThroughTheDialogsAndTheNextJobPrints) {
    VESK_SKIP_WITHOUT_LONG_DOS_NAMES();  // the synchronisation opens NONSPOOLED_COM1
    vt::ScopedSection section(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}});
    vt::FakeSpooler spooler;
    spooler.Configure(L"session-zero", L"0");  // questions appear as windows of this process
    vt::MonitorLibrary lib;
    LPMONITOREX t = lib.Initialize();
    ASSERT_NE(t, nullptr);
    vt::Simulator sim;
    // Even parity and 7 data bits: the printer hears the PC (a pseudo-terminal cannot show
    // those two) and answers the query with its own settings.
    sim.Control("settings 9600,e,7,1");
    sim.Sync();
    HANDLE port = nullptr;
    ASSERT_TRUE(t->Monitor.pfnOpenPort(const_cast<LPWSTR>(L"VESK"), &port));

    std::wstring question, settingsDialog;
    bool chose = false;
    BOOL started = TRUE;
    vt::Drive([&] { started = t->Monitor.pfnStartDocPort(port, const_cast<LPWSTR>(L"Vesk Receipt"), 7, 1, nullptr); },
              [&] {
                  HWND box = vt::WaitForDialog(L"Vesk Port Monitor", 30000);
                  ASSERT_TRUE(box);
                  question = vt::DialogTexts(box);
                  vt::PostClick(box, IDYES);
                  HWND dlg = vt::WaitForDialog(L"COM1", 30000, vt::Caption::Contains);
                  ASSERT_TRUE(dlg);
                  settingsDialog = vt::DialogTexts(dlg);
                  chose = vt::ChooseComboItemByLabel(dlg, L"Parity", L"Even") &&
                          vt::ChooseComboItemByLabel(dlg, L"Data Bits", L"7");
                  vt::PostClick(dlg, IDOK);
              });
    EXPECT_FALSE(started) << "the job that found the mismatch is deleted in any case";
    EXPECT_NE(question.find(L"The printer settings are not the same with the PC serial port settings."),
              std::wstring::npos) << vt::Narrow(question);
    EXPECT_NE(question.find(L"Please click yes if you want to select the printer settings!"),
              std::wstring::npos);
    EXPECT_TRUE(chose) << vt::Narrow(settingsDialog);
    EXPECT_EQ(spooler.Count(L"SetJobW 7 status 0x20"), 1);
    EXPECT_EQ(spooler.Count(L"SetJobW 7 command 5"), 1);
    EXPECT_EQ(vt::Value(L"Vesk Ports", L"VESK"), std::wstring(L"COM1:,9600,e,7,1"));
    EXPECT_EQ(sim.Count("switches"), 1) << "the printer was told its settings and switched";

    std::string data = "after the synchronisation\r\n";
    ASSERT_TRUE(t->Monitor.pfnStartDocPort(port, const_cast<LPWSTR>(L"Vesk Receipt"), 8, 1, nullptr))
        << GetLastError();
    DWORD written = 0;
    EXPECT_TRUE(t->Monitor.pfnWritePort(port, reinterpret_cast<LPBYTE>(data.data()),
                                        static_cast<DWORD>(data.size()), &written));
    EXPECT_TRUE(t->Monitor.pfnEndDocPort(port));
    EXPECT_TRUE(sim.WaitFor("printed", static_cast<long>(data.size()), 10000));
    EXPECT_EQ(sim.Paper(), data);
    t->Monitor.pfnClosePort(port);
}
