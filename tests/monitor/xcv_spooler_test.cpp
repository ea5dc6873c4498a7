// The commands through the Wine spooler's own transceive channel (OpenPrinterW on a
// transceive name, XcvDataW), as the user interface reaches them.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <string>

#include "../../common/xcv_record.h"
#include "profile.h"
#include "monitor_registration.h"
#include "test_env.h"

namespace {

struct SpoolerXcv {
    SpoolerXcv(const wchar_t* name, ACCESS_MASK access) {
        PRINTER_DEFAULTSW defaults{nullptr, nullptr, access};
        if (!OpenPrinterW(const_cast<LPWSTR>(name), &h, &defaults)) h = nullptr;
    }
    ~SpoolerXcv() {
        if (h) ClosePrinter(h);
    }
    DWORD Data(const wchar_t* command, const void* in, DWORD inSize, void* out, DWORD outSize,
               DWORD* needed = nullptr) {
        DWORD n = 0, status = 0xdeadbeef;
        EXPECT_TRUE(XcvDataW(h, command, static_cast<PBYTE>(const_cast<void*>(in)), inSize,
                             static_cast<PBYTE>(out), outSize, needed ? needed : &n, &status))
            << GetLastError();
        return status;
    }
    DWORD Name(const wchar_t* command, const std::wstring& name) {
        return Data(command, name.c_str(), static_cast<DWORD>((name.size() + 1) * 2), nullptr, 0);
    }
    HANDLE h = nullptr;
};

class SpoolerTransceive : public ::testing::Test {
protected:
    SpoolerTransceive() : section(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}}) {}
    void SetUp() override { ASSERT_TRUE(vt::RegisterMonitor()); }
    vt::ScopedSection section;
};

}  // namespace

TEST_F(SpoolerTransceive, MonitorConnectionAddsAndDeletesPorts) {
    SpoolerXcv x(L",XcvMonitor Vesk Port Monitor", SERVER_ACCESS_ADMINISTER);
    ASSERT_NE(x.h, nullptr) << GetLastError();
    EXPECT_EQ(x.Name(L"AddPort", L"COM1:"), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(x.Name(L"AddPort", L"VESK2:"), 0u);
    EXPECT_EQ(vt::Value(L"Vesk Ports", L"VESK2:"), std::wstring(L""));
    DWORD needed = 0, count = 0;
    EnumPortsW(nullptr, 1, nullptr, 0, &needed, &count);
    std::vector<BYTE> buf(needed);
    ASSERT_TRUE(EnumPortsW(nullptr, 1, buf.data(), needed, &needed, &count));
    bool listed = false;
    for (DWORD i = 0; i < count; ++i)
        listed = listed || lstrcmpW(reinterpret_cast<PORT_INFO_1W*>(buf.data())[i].pName, L"VESK2:") == 0;
    EXPECT_TRUE(listed) << "the spooler lists the new port";
    EXPECT_EQ(x.Name(L"AddPort", L"vesk2:"), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(x.Name(L"DeletePort", L"VESK2:"), 0u);
    EXPECT_EQ(x.Name(L"DeletePort", L"VESK2:"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(x.Name(L"PortIsValid", L"VESKANYTHING"), 0u);
    wchar_t ui[32] = {};
    EXPECT_EQ(x.Data(L"MonitorUI", nullptr, 0, ui, sizeof ui), 0u);
    EXPECT_STREQ(ui, L"veskmonui.dll");
    EXPECT_EQ(x.Data(L"Unknown", nullptr, 0, nullptr, 0), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(SpoolerTransceive, PortConnectionReadsTheSharedSettings) {
    SpoolerXcv x(L",XcvPort VESK", SERVER_ACCESS_ADMINISTER);
    ASSERT_NE(x.h, nullptr) << GetLastError();
    BYTE small[23];
    DWORD needed = 0;
    EXPECT_EQ(x.Data(L"GetVeskPortSettings", nullptr, 0, small, sizeof small, &needed),
              static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(needed, kXcvRecordSize);
    XcvPortSettings record{};
    EXPECT_EQ(x.Data(L"GetVeskPortSettings", nullptr, 0, &record, sizeof record, &needed), 0u);
    EXPECT_STREQ(record.ComName, L"COM1");
    EXPECT_EQ(record.Config.dcb.BaudRate, 9600u);
    DWORD question = 1, chars = 0;
    vt::WriteSection(L"ports", {{L"COM1:", L""}});
    EXPECT_EQ(x.Data(L"GetVeskPortComPorts", &question, 4, nullptr, 0, &chars), 0u);
    EXPECT_EQ(chars, 6u);
    vt::DeleteSection(L"ports");
}

TEST_F(SpoolerTransceive, ConnectionWithoutAdministrationIsRefusedChanges) {
    SpoolerXcv x(L",XcvMonitor Vesk Port Monitor", SERVER_ACCESS_ENUMERATE);
    if (!x.h) GTEST_FAIL() << "the spooler did not open a connection with read access: " << GetLastError();
    EXPECT_EQ(x.Name(L"AddPort", L"VESK8:"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(x.Name(L"DeletePort", L"VESK"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(vt::Value(L"Vesk Ports", L"VESK8:"));
    EXPECT_EQ(vt::Value(L"Vesk Ports", L"VESK"), std::wstring(L"COM1:,9600,N,8,1"));
}
