// The monitor registered with the real Wine spooler: the spooler loads it and lists its
// ports among its own.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "profile.h"
#include "test_env.h"

namespace {

const wchar_t kMonitor[] = L"Vesk Port Monitor";

class SpoolerPorts : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(vt::InstallIntoSystemDirectory(L"veskmon.dll")) << GetLastError();
        vt::WriteSection(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}, {L"VESK2:", L""}});
        MONITOR_INFO_2W info{};
        info.pName = const_cast<LPWSTR>(kMonitor);
        info.pDLLName = const_cast<LPWSTR>(L"veskmon.dll");
        // Each case registers the monitor anew; the lane keeps it registered afterwards,
        // as the other tests expect to find it.
        DeleteMonitorW(nullptr, nullptr, const_cast<LPWSTR>(kMonitor));
        SetLastError(0);
        ASSERT_TRUE(AddMonitorW(nullptr, 2, reinterpret_cast<LPBYTE>(&info))) << GetLastError();
        SetLastError(0);
        EXPECT_FALSE(AddMonitorW(nullptr, 2, reinterpret_cast<LPBYTE>(&info)));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINT_MONITOR_ALREADY_INSTALLED));
    }
    void TearDown() override { vt::DeleteSection(L"Vesk Ports"); }
};

std::vector<BYTE> EnumPorts2(DWORD& count) {
    DWORD needed = 0;
    count = 0;
    EnumPortsW(nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<BYTE> buf(needed);
    if (!EnumPortsW(nullptr, 2, buf.data(), needed, &needed, &count)) count = 0;
    return buf;
}

}  // namespace

TEST_F(SpoolerPorts, ListsTheVeskPortsWithTheMonitorsName) {
    DWORD count = 0;
    std::vector<BYTE> buf = EnumPorts2(count);
    ASSERT_GT(count, 0u);
    auto* ports = reinterpret_cast<PORT_INFO_2W*>(buf.data());
    std::vector<std::wstring> ours;
    for (DWORD i = 0; i < count; ++i) {
        std::wstring name = ports[i].pPortName;
        if (name.rfind(L"VESK", 0) != 0) continue;
        ours.push_back(name);
        EXPECT_STREQ(ports[i].pMonitorName, kMonitor) << vt::Narrow(name);
        EXPECT_STREQ(ports[i].pDescription, kMonitor) << vt::Narrow(name);
        EXPECT_TRUE(ports[i].fPortType & PORT_TYPE_WRITE);
    }
    ASSERT_EQ(ours.size(), 2u);
    EXPECT_EQ(ours[0], L"VESK");
    EXPECT_EQ(ours[1], L"VESK2:");
}

TEST_F(SpoolerPorts, MonitorIsRegisteredUnderItsName) {
    DWORD needed = 0, count = 0;
    EnumMonitorsW(nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<BYTE> buf(needed);
    ASSERT_TRUE(EnumMonitorsW(nullptr, 2, buf.data(), needed, &needed, &count));
    auto* monitors = reinterpret_cast<MONITOR_INFO_2W*>(buf.data());
    bool found = false;
    for (DWORD i = 0; i < count; ++i)
        if (lstrcmpW(monitors[i].pName, kMonitor) == 0) {
            found = true;
            EXPECT_EQ(lstrcmpiW(monitors[i].pDLLName, L"veskmon.dll"), 0);
        }
    EXPECT_TRUE(found);
}
