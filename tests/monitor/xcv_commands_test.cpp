// The monitor's commands through its transceive entry points, as the spooler passes the
// requests of the port monitor's user interface: results, stored state, and the access the
// spooler granted.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "profile.h"
#include "monitor_registration.h"
#include "test_env.h"
#include "xcv_connection.h"

namespace {

std::vector<std::wstring> Ports(LPMONITOR2 t, HANDLE monitor) {
    DWORD needed = 0, count = 0;
    t->pfnEnumPorts(monitor, nullptr, 1, nullptr, 0, &needed, &count);
    std::vector<BYTE> buf(needed + 1);
    std::vector<std::wstring> names;
    if (!t->pfnEnumPorts(monitor, nullptr, 1, buf.data(), needed, &needed, &count)) return names;
    auto* info = reinterpret_cast<PORT_INFO_1W*>(buf.data());
    for (DWORD i = 0; i < count; ++i) names.push_back(info[i].pName);
    return names;
}

class XcvCommands : public ::testing::Test {
protected:
    XcvCommands() : section(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}}) {}
    void SetUp() override {
        ASSERT_TRUE(vt::RegisterMonitor()) << "the spooler must list the monitor's ports";
        ASSERT_NE(m->table, nullptr);
    }
    // The monitor initialised again, on the profile as it is now.
    void Reload() {
        m.reset();
        m.emplace();
        ASSERT_NE(m->table, nullptr);
    }

    vt::ScopedSection section;
    std::optional<vt::Monitor2> m{std::in_place};
};

}  // namespace

TEST_F(XcvCommands, AddPortRefusesAnyNameTheSpoolerHas) {
    vt::Xcv x(m->table, m->handle, L"Vesk Port Monitor", SERVER_ACCESS_ADMINISTER);
    ASSERT_TRUE(x.open());
    EXPECT_EQ(x.Name(XCV_ADD_PORT, L"COM1:").status, static_cast<DWORD>(ERROR_ALREADY_EXISTS))
        << "another monitor's port";
    EXPECT_EQ(x.Name(XCV_ADD_PORT, L"vesk").status, static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(Ports(m->table, m->handle), std::vector<std::wstring>{L"VESK"});
    EXPECT_EQ(vt::KeyNames(L"Vesk Ports"), std::vector<std::wstring>{L"VESK"});
}

TEST_F(XcvCommands, AddPortAppendsTheEntryAndAnEmptyKey) {
    vt::Xcv x(m->table, m->handle, L"Vesk Port Monitor", SERVER_ACCESS_ADMINISTER);
    EXPECT_EQ(x.Name(XCV_ADD_PORT, L"VESK2:").status, 0u);
    EXPECT_EQ(Ports(m->table, m->handle), (std::vector<std::wstring>{L"VESK", L"VESK2:"}));
    EXPECT_EQ(vt::Value(L"Vesk Ports", L"VESK2:"), std::wstring(L""));
    EXPECT_EQ(x.Name(XCV_ADD_PORT, L"vesk2:").status, static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(Ports(m->table, m->handle).size(), 2u);

    std::wstring tooLong = L"VESK" + std::wstring(244, L'x');
    EXPECT_EQ(x.Name(XCV_ADD_PORT, tooLong).status, static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_FALSE(vt::Value(L"Vesk Ports", tooLong.c_str()));
}

TEST_F(XcvCommands, DeletePortRemovesOnlyTheMonitorsOwn) {
    vt::Xcv x(m->table, m->handle, L"Vesk Port Monitor", SERVER_ACCESS_ADMINISTER);
    EXPECT_EQ(x.Name(XCV_DELETE_PORT, L"VESK9:").status, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(x.Name(XCV_DELETE_PORT, L"COM1:").status, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    ASSERT_EQ(x.Name(XCV_ADD_PORT, L"VESK3").status, 0u);
    EXPECT_EQ(x.Name(XCV_DELETE_PORT, L"vesk3").status, 0u);
    EXPECT_FALSE(vt::Value(L"Vesk Ports", L"VESK3"));
    EXPECT_EQ(Ports(m->table, m->handle), std::vector<std::wstring>{L"VESK"});
}

TEST_F(XcvCommands, DeletingVeskBringsBackTheDefaultSettings) {
    vt::WriteSection(L"Vesk Ports", {{L"VESK", L"COM3:,19200,E,7,2"}, {L"VESK2:", L""}});
    Reload();
    vt::Xcv x(m->table, m->handle, L"VESK2:", SERVER_ACCESS_ADMINISTER);
    XcvPortSettings record{};
    ASSERT_EQ(x.Settings(record).status, 0u);
    EXPECT_STREQ(record.ComName, L"COM3");
    EXPECT_EQ(x.Name(XCV_DELETE_PORT, L"VESK").status, 0u);
    XcvPortSettings after{};
    vt::XcvResult r = x.Settings(after);
    ASSERT_EQ(r.status, 0u);
    EXPECT_EQ(r.needed, kXcvRecordSize);
    EXPECT_STREQ(after.ComName, L"COM1");
    EXPECT_EQ(after.hComm, kXcvNoDevice);
    EXPECT_EQ(after.Config.dwSize, sizeof(COMMCONFIG));
    EXPECT_EQ(after.Config.dcb.BaudRate, 9600u);
    EXPECT_EQ(after.Config.dcb.Parity, NOPARITY);
    EXPECT_EQ(after.Config.dcb.ByteSize, 8);
    EXPECT_EQ(after.Config.dcb.StopBits, ONESTOPBIT);
}

TEST_F(XcvCommands, VeskDeletedAndAddedAgainHasTheDefaultSettings) {
    vt::WriteSection(L"Vesk Ports", {{L"VESK", L"COM3:,19200,E,7,2"}, {L"VESK5", L""}});
    Reload();
    vt::Xcv x(m->table, m->handle, L"Vesk Port Monitor", SERVER_ACCESS_ADMINISTER);
    ASSERT_EQ(x.Name(XCV_DELETE_PORT, L"VESK").status, 0u);
    ASSERT_EQ(x.Name(XCV_ADD_PORT, L"VESK").status, 0u);
    EXPECT_EQ(vt::Value(L"Vesk Ports", L"VESK"), std::wstring(L"")) << "the new port's key";
    XcvPortSettings record{};
    ASSERT_EQ(x.Settings(record).status, 0u) << "an empty value holds no settings";
    EXPECT_STREQ(record.ComName, L"COM1");
    EXPECT_EQ(record.Config.dcb.BaudRate, 9600u);
    EXPECT_EQ(record.Config.dcb.Parity, NOPARITY);
    EXPECT_EQ(record.Config.dcb.ByteSize, 8);
    EXPECT_EQ(record.Config.dcb.StopBits, ONESTOPBIT);
    vt::SetValue(L"Vesk Ports", L"VESK", L"COM2:,4800,N,8,1");
    EXPECT_EQ(x.Settings(record).status, 0u);
    EXPECT_STREQ(record.ComName, L"COM2");
}

TEST_F(XcvCommands, PortIsValidTakesEveryVeskNameAndTestsOthersSafely) {
    vt::Xcv x(m->table, m->handle, L"Vesk Port Monitor", SERVER_ACCESS_ADMINISTER);
    // Names that no file system would take: a VESK name passes without being tried.
    EXPECT_EQ(x.Name(XCV_PORT_IS_VALID, L"VESK<>|*?").status, 0u);
    EXPECT_NE(x.Name(XCV_PORT_IS_VALID, L"FOO<>|*?").status, 0u);
    EXPECT_NE(x.Name(XCV_PORT_IS_VALID, L"").status, 0u);

    // A new file name is valid, and the test file does not stay.
    std::wstring fresh = vt::RunDir() + L"newport.prn";
    EXPECT_EQ(x.Name(XCV_PORT_IS_VALID, fresh).status, 0u);
    EXPECT_EQ(GetFileAttributesW(fresh.c_str()), INVALID_FILE_ATTRIBUTES);

    // An existing file that cannot be opened for writing is never deleted by the test.
    std::wstring kept = vt::RunDir() + L"kept.prn";
    HANDLE f = CreateFileW(kept.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    WriteFile(f, "data", 4, &n, nullptr);
    CloseHandle(f);
    HANDLE holder = CreateFileW(kept.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(x.Name(XCV_PORT_IS_VALID, kept).status, 0u) << "held by another handle";
    CloseHandle(holder);
    EXPECT_NE(GetFileAttributesW(kept.c_str()), INVALID_FILE_ATTRIBUTES) << "the file is still there";
    EXPECT_EQ(x.Name(XCV_PORT_IS_VALID, kept).status, 0u);
    EXPECT_NE(GetFileAttributesW(kept.c_str()), INVALID_FILE_ATTRIBUTES);
    DeleteFileW(kept.c_str());
}

TEST_F(XcvCommands, SettingsAndComPortQuestions) {
    vt::WriteSection(L"ports", {{L"COM1:", L""}, {L"COM2:", L""}, {L"LPT1:", L""}});
    vt::Xcv x(m->table, m->handle, L"VESK", 0);
    DWORD sizeOnly = 1;
    BYTE out[64];
    FillMemory(out, sizeof out, 0xCC);
    vt::XcvResult r = x.Data(XCV_GET_COM_PORTS, &sizeOnly, 4, out, sizeof out);
    EXPECT_EQ(r.status, 0u);
    EXPECT_EQ(r.needed, 12u);
    for (BYTE b : out) ASSERT_EQ(b, 0xCC) << "the size question writes nothing";
    DWORD fill = 0;
    r = x.Data(XCV_GET_COM_PORTS, &fill, 4, out, 24);
    EXPECT_EQ(r.status, 0u);
    EXPECT_EQ(std::wstring(reinterpret_cast<wchar_t*>(out), 12), std::wstring(L"COM1:\0COM2:\0", 12));

    XcvPortSettings record;
    FillMemory(&record, sizeof record, 0xCC);
    r = x.Data(XCV_GET_SETTINGS, nullptr, 0, &record, 23);
    EXPECT_EQ(r.status, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(r.needed, kXcvRecordSize);
    EXPECT_EQ(reinterpret_cast<BYTE*>(&record)[0], 0xCC);

    wchar_t ui[32] = {};
    r = x.Data(XCV_MONITOR_UI, nullptr, 0, ui, sizeof ui);
    EXPECT_EQ(r.status, 0u);
    EXPECT_STREQ(ui, L"veskmonui.dll");
    EXPECT_EQ(r.needed, sizeof(L"veskmonui.dll"));
    EXPECT_EQ(x.Data(L"NoSuchCommand", nullptr, 0, nullptr, 0).status,
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(x.Data(L"addport", L"VESK9", 12, nullptr, 0).status,
              static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << "command names are exact";
    vt::DeleteSection(L"ports");
}

TEST_F(XcvCommands, ConnectionsWithoutAdministrationChangeNothing) {
    vt::Xcv reader(m->table, m->handle, L"Vesk Port Monitor", SERVER_ACCESS_ENUMERATE);
    ASSERT_TRUE(reader.open());
    const DWORD denied = ERROR_ACCESS_DENIED;
    EXPECT_EQ(reader.Name(XCV_ADD_PORT, L"VESK4:").status, denied);
    EXPECT_EQ(reader.Name(XCV_DELETE_PORT, L"VESK").status, denied);
    EXPECT_EQ(reader.Name(XCV_PORT_IS_VALID, vt::RunDir() + L"any.prn").status, denied)
        << "the file test creates a file as the spooler";
    XcvPortSettings record{};
    ASSERT_EQ(reader.Settings(record).status, 0u) << "reading is allowed";
    DWORD token = 0;
    EXPECT_EQ(reader.Data(XCV_SET_PRINT_SETTINGS, &record, sizeof record, &token, sizeof token).status, denied);
    EXPECT_EQ(reader.Data(XCV_SET_PORT_SETTINGS, &record, sizeof record, nullptr, 0).status, denied);
    EXPECT_EQ(reader.Data(XCV_SET_DEFAULT_COMM_CONFIG, &record.Config, sizeof record.Config, nullptr, 0).status,
              denied);
    EXPECT_EQ(vt::KeyNames(L"Vesk Ports"), std::vector<std::wstring>{L"VESK"});
    EXPECT_EQ(vt::Value(L"Vesk Ports", L"VESK"), std::wstring(L"COM1:,9600,N,8,1"));
}

TEST_F(XcvCommands, DefaultCommConfigOfComPorts) {
    vt::Xcv x(m->table, m->handle, L"COM1:", SERVER_ACCESS_ADMINISTER);
    BYTE small[8];
    vt::XcvResult r = x.Data(XCV_GET_DEFAULT_COMM_CONFIG, L"COM1", 10, small, sizeof small);
    EXPECT_EQ(r.status, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    ASSERT_GE(r.needed, sizeof(COMMCONFIG));
    std::vector<BYTE> buf(r.needed);
    r = x.Data(XCV_GET_DEFAULT_COMM_CONFIG, L"COM1", 10, buf.data(), static_cast<DWORD>(buf.size()));
    ASSERT_EQ(r.status, 0u);
    auto* cc = reinterpret_cast<COMMCONFIG*>(buf.data());
    EXPECT_EQ(cc->dwSize, buf.size());
    EXPECT_NE(cc->dcb.BaudRate, 0u);
    EXPECT_EQ(x.Data(XCV_GET_DEFAULT_COMM_CONFIG, L"VESK", 10, buf.data(), static_cast<DWORD>(buf.size())).status,
              static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << "only COM ports";
    EXPECT_EQ(x.Data(XCV_SET_DEFAULT_COMM_CONFIG, cc, cc->dwSize - 1, nullptr, 0).status,
              static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << "shorter than its own size";
    vt::Xcv vesk(m->table, m->handle, L"VESK", SERVER_ACCESS_ADMINISTER);
    EXPECT_EQ(vesk.Data(XCV_SET_DEFAULT_COMM_CONFIG, cc, cc->dwSize, nullptr, 0).status,
              static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << "a VESK port has no default configuration";
}

TEST_F(XcvCommands, NamesThatLeadOffThisMachineOrToADeviceAreNeverOpened) {
    // A pipe of the test's own: a name that reached the platform's open would connect to it.
    std::wstring pipe = L"\\\\.\\pipe\\vesk-name-test-" + std::to_wstring(GetCurrentProcessId());
    HANDLE server = CreateNamedPipeW(pipe.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                     PIPE_TYPE_BYTE, 1, 64, 64, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    vt::Xcv admin(m->table, m->handle, L"Vesk Port Monitor", SERVER_ACCESS_ADMINISTER);
    vt::Xcv com(m->table, m->handle, L"COM1:", SERVER_ACCESS_ADMINISTER);
    const DWORD invalidName = ERROR_INVALID_NAME;
    std::vector<BYTE> out(4096);
    for (const std::wstring& name :
         {pipe, std::wstring(L"//./pipe/vesk-name-test"), std::wstring(L"\\\\host\\share\\x.prn"),
          std::wstring(L"//host/share/x.prn"), std::wstring(L"\\\\?\\C:\\x.prn"),
          std::wstring(L"\\??\\C:\\x.prn"), std::wstring(L"\\\\.\\COM1"), std::wstring(L"NUL"),
          std::wstring(L"C:\\any\\con.txt"), std::wstring(L"lpt1:")}) {
        EXPECT_EQ(admin.Name(XCV_PORT_IS_VALID, name).status, invalidName) << vt::Narrow(name);
        EXPECT_EQ(com.Data(XCV_GET_DEFAULT_COMM_CONFIG, name.c_str(),
                           static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)), out.data(),
                           static_cast<DWORD>(out.size())).status, invalidName) << vt::Narrow(name);
    }
    for (const std::wstring& name : {std::wstring(L"COM1\\..\\..\\pipe\\x"), std::wstring(L"COM1:x"),
                                     std::wstring(L"COM0"), std::wstring(L"COM1234")})
        EXPECT_EQ(com.Data(XCV_GET_DEFAULT_COMM_CONFIG, name.c_str(),
                           static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)), out.data(),
                           static_cast<DWORD>(out.size())).status, invalidName) << vt::Narrow(name);
    OVERLAPPED ov{};
    ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_FALSE(ConnectNamedPipe(server, &ov));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING)) << "nobody opened the pipe";
    CancelIo(server);
    CloseHandle(ov.hEvent);
    CloseHandle(server);
    // What a port can be still passes: a COM port, a local file.
    EXPECT_EQ(admin.Name(XCV_PORT_IS_VALID, vt::RunDir() + L"local.prn").status, 0u);
    EXPECT_EQ(com.Data(XCV_GET_DEFAULT_COMM_CONFIG, L"COM1", 10, out.data(),
                       static_cast<DWORD>(out.size())).status, 0u);
}
