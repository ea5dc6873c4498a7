// The device that "SetVeskPrintSettings" opens comes back only as the token its own
// connection was given; forged, foreign and stale tokens are refused, and a connection's
// devices are closed with it. Against the printer simulator on COM1.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include "handles.h"
#include "long_dos_names.h"
#include "profile.h"
#include "simulator.h"
#include "xcv_connection.h"

namespace {

class XcvTokens : public ::testing::Test {
protected:
    XcvTokens() : section(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}}) {}
    void SetUp() override {
        VESK_SKIP_WITHOUT_LONG_DOS_NAMES();  // the device comes through NONSPOOLED_COM1
        ASSERT_NE(m.table, nullptr);
    }
    // One full exchange, so that what the first use in a process loads (and keeps) is not
    // counted against a connection.
    void WarmUp() {
        vt::Xcv x(m.table, m.handle, L"VESK", SERVER_ACCESS_ADMINISTER);
        XcvPortSettings record{};
        Reach(x, record);
    }
    DWORD Reach(vt::Xcv& x, XcvPortSettings& record) {
        EXPECT_EQ(x.Settings(record).status, 0u);
        DWORD token = 0;
        vt::XcvResult r = x.Data(XCV_SET_PRINT_SETTINGS, &record, sizeof record, &token, sizeof token);
        EXPECT_EQ(r.status, 0u);
        EXPECT_EQ(r.needed, 4u);
        return token;
    }

    vt::ScopedSection section;
    vt::Simulator sim;
    vt::Monitor2 m;
};

}  // namespace

TEST_F(XcvTokens, DeviceGoesBackOnlyToTheConnectionThatGotIt) {
    vt::Xcv a(m.table, m.handle, L"VESK", SERVER_ACCESS_ADMINISTER);
    vt::Xcv b(m.table, m.handle, L"VESK", SERVER_ACCESS_ADMINISTER);
    XcvPortSettings record{};
    DWORD token = Reach(a, record);
    ASSERT_NE(token, kXcvNoDevice);

    XcvPortSettings next = record;
    next.Config.dcb.BaudRate = 19200;
    long received = sim.Count("received");
    next.hComm = token ^ 1;
    EXPECT_EQ(a.Data(XCV_SET_PORT_SETTINGS, &next, sizeof next, nullptr, 0).status,
              static_cast<DWORD>(ERROR_INVALID_HANDLE)) << "forged";
    next.hComm = token;
    EXPECT_EQ(b.Data(XCV_SET_PORT_SETTINGS, &next, sizeof next, nullptr, 0).status,
              static_cast<DWORD>(ERROR_INVALID_HANDLE)) << "another connection's";
    for (DWORD v = 4; v < 0x800; v += 4) {
        next.hComm = v;
        ASSERT_EQ(a.Data(XCV_SET_PORT_SETTINGS, &next, sizeof next, nullptr, 0).status,
                  static_cast<DWORD>(ERROR_INVALID_HANDLE)) << "handle value " << v;
    }
    EXPECT_EQ(sim.Count("received"), received) << "nothing reached the line";

    next.hComm = token;
    EXPECT_EQ(a.Data(XCV_SET_PORT_SETTINGS, &next, sizeof next, nullptr, 0).status, 0u);
    EXPECT_EQ(vt::Value(L"Vesk Ports", L"VESK"), std::wstring(L"COM1:,19200,n,8,1"));
    EXPECT_EQ(sim.Sync()["settings"], "19200,n,8,1");
    EXPECT_EQ(a.Data(XCV_SET_PORT_SETTINGS, &next, sizeof next, nullptr, 0).status,
              static_cast<DWORD>(ERROR_INVALID_HANDLE)) << "a token is good once";
}

TEST_F(XcvTokens, ClosingAConnectionClosesTheDevicesItHeld) {
    WarmUp();
    int before = vt::OpenHandles();
    {
        vt::Xcv a(m.table, m.handle, L"VESK", SERVER_ACCESS_ADMINISTER);
        XcvPortSettings record{};
        DWORD token = Reach(a, record);
        ASSERT_NE(token, kXcvNoDevice);
        EXPECT_GT(vt::OpenHandles(), before) << "the device is held for the client";
    }
    EXPECT_EQ(vt::OpenHandles(), before);
}

TEST_F(XcvTokens, PrinterAtOtherSettingsGivesNoDevice) {
    WarmUp();
    sim.Control("reply-query 34 38 30 30 2C 4E 2C 38 2C 31 0D");
    sim.Sync();
    vt::Xcv a(m.table, m.handle, L"VESK", SERVER_ACCESS_ADMINISTER);
    XcvPortSettings record{};
    ASSERT_EQ(a.Settings(record).status, 0u);
    int before = vt::OpenHandles();
    DWORD token = 0;
    EXPECT_EQ(a.Data(XCV_SET_PRINT_SETTINGS, &record, sizeof record, &token, sizeof token).status, 1u);
    EXPECT_EQ(token, kXcvNoDevice);
    EXPECT_EQ(vt::OpenHandles(), before) << "the device is closed again";
}
