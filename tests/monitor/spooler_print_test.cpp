// Printing through the real Wine spooler: an ordinary program's RAW job on a printer whose
// port is VESK reaches the printer simulator byte-exact.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <string>

#include "profile.h"
#include "simulator.h"
#include "monitor_registration.h"
#include "spooler_setup.h"
#include "test_env.h"

namespace {

const wchar_t kPrinter[] = L"Vesk Test Printer";
const wchar_t kPortsKey[] =
    L"System\\CurrentControlSet\\Control\\Print\\Monitors\\Vesk Port Monitor\\Ports";

bool PortKeyExists(const wchar_t* port) {
    HKEY k = nullptr;
    std::wstring path = std::wstring(kPortsKey) + L"\\" + port;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

std::string Receipt(size_t n) {
    std::string s;
    for (int i = 0; s.size() < n; ++i) s += "Line " + std::to_string(i) + ": 1 x Tea    1.20\r\n";
    s.resize(n);
    return s;
}

class SpoolerPrinting : public ::testing::Test {
protected:
    void SetUp() override {
        vt::WriteSection(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}});
        ASSERT_TRUE(vt::RegisterMonitor());
        DWORD err = 0;
        ASSERT_TRUE(vesk::EnsurePrinter(kPrinter, L"VESK", err)) << err;
    }
    void TearDown() override { vesk::RemovePrinter(kPrinter); }
    // A RAW job of `data` through the spooler, as an ordinary program prints it.
    void PrintRaw(const std::string& data) {
        HANDLE printer = nullptr;
        ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(kPrinter), &printer, nullptr));
        DOC_INFO_1W doc{const_cast<LPWSTR>(L"receipt"), nullptr, const_cast<LPWSTR>(L"RAW")};
        EXPECT_NE(StartDocPrinterW(printer, 1, reinterpret_cast<LPBYTE>(&doc)), 0u) << GetLastError();
        DWORD written = 0;
        EXPECT_TRUE(WritePrinter(printer, const_cast<char*>(data.data()),
                                 static_cast<DWORD>(data.size()), &written));
        EXPECT_EQ(written, data.size());
        EXPECT_TRUE(EndDocPrinter(printer)) << GetLastError();
        ClosePrinter(printer);
    }

    vt::Simulator sim;
};

}  // namespace

TEST_F(SpoolerPrinting, RawJobReachesThePrinterByteExact) {
    EXPECT_TRUE(PortKeyExists(L"VESK")) << "Wine finds the port's monitor through this key";
    std::string data = Receipt(10000);
    PrintRaw(data);
    EXPECT_TRUE(sim.WaitFor("printed", static_cast<long>(data.size()), 20000));
    EXPECT_TRUE(vt::SameBytes(sim.Paper(), data));
    EXPECT_EQ(sim.Count("queries"), 1) << "the settings were checked";
}

TEST_F(SpoolerPrinting, JobOnComTwelveReachesThatPrinterByteExact) {
    // Two-digit COM ports open only through the device namespace.
    vt::Simulator com12("com12");
    vt::SetValue(L"Vesk Ports", L"VESK", L"COM12:,9600,N,8,1");
    std::string data = Receipt(5000);
    PrintRaw(data);
    EXPECT_TRUE(com12.WaitFor("printed", static_cast<long>(data.size()), 20000));
    EXPECT_TRUE(vt::SameBytes(com12.Paper(), data));
    EXPECT_EQ(com12.Count("queries"), 1);
    EXPECT_EQ(sim.Sync()["received"], "0") << "nothing went to COM1";
}

TEST_F(SpoolerPrinting, PrintClientToolPrintsAFile) {
    std::string data = Receipt(3000);
    std::wstring file = vt::RunDir() + L"receipt.txt";
    HANDLE f = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    WriteFile(f, data.data(), static_cast<DWORD>(data.size()), &n, nullptr);
    CloseHandle(f);

    std::wstring cmd = L"\"" + vt::BinDir() + L"veskprint.exe\" \"" + kPrinter + L"\" \"" + file + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    ASSERT_EQ(WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(sim.WaitFor("printed", static_cast<long>(data.size()), 20000));
    EXPECT_TRUE(vt::SameBytes(sim.Paper(), data));
}

// Run in a process of its own: Wine's spooler keeps a monitor loaded once it has printed
// through it, and the keys are brought in step when the monitor is initialised.
TEST(SpoolerPortKeys, KeysFollowThePortListFromTheFirstLoad) {
    HKEY stale = nullptr;
    std::wstring path = std::wstring(kPortsKey) + L"\\VESKGONE";
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              &stale, nullptr), ERROR_SUCCESS);
    RegCloseKey(stale);
    vt::WriteSection(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}, {L"VESK7:", L""}});
    ASSERT_TRUE(vt::RegisterMonitor());
    DWORD needed = 0, count = 0;
    EnumPortsW(nullptr, 1, nullptr, 0, &needed, &count);
    EXPECT_TRUE(PortKeyExists(L"VESK7:"));
    EXPECT_TRUE(PortKeyExists(L"VESK"));
    EXPECT_FALSE(PortKeyExists(L"VESKGONE"));
}
