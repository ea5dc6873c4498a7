// Every transceive command at the edges of its buffers, and thousands of random requests:
// sizes are checked before a byte is read or written, needed sizes are reported, and no
// request changes anything unless it is a valid command of an administrating connection.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "guarded_buffer.h"
#include "profile.h"
#include "monitor_registration.h"
#include "test_env.h"
#include "xcv_connection.h"

namespace {

std::set<std::wstring> Ports(LPMONITOR2 t, HANDLE monitor) {
    DWORD needed = 0, count = 0;
    t->pfnEnumPorts(monitor, nullptr, 1, nullptr, 0, &needed, &count);
    std::vector<BYTE> buf(needed + 1);
    std::set<std::wstring> names;
    if (!t->pfnEnumPorts(monitor, nullptr, 1, buf.data(), needed, &needed, &count)) return names;
    auto* info = reinterpret_cast<PORT_INFO_1W*>(buf.data());
    for (DWORD i = 0; i < count; ++i) names.insert(info[i].pName);
    return names;
}

std::set<std::wstring> Keys() {
    auto names = vt::KeyNames(L"Vesk Ports");
    return {names.begin(), names.end()};
}

// Sends `command` with `in` copied into a buffer that ends at an inaccessible page, into an
// output buffer of exactly `outSize` bytes that also ends at one, poisoned beforehand.
struct Sent {
    vt::XcvResult r;
    std::vector<BYTE> out;  // the output buffer afterwards
};
Sent Send(vt::Xcv& x, const wchar_t* command, const std::vector<BYTE>& in, DWORD inSize, DWORD outSize,
          bool nullIn = false, bool nullOut = false) {
    vt::GuardedBuffer input(inSize);
    for (DWORD i = 0; i < inSize && i < in.size(); ++i) input.data()[i] = in[i];
    vt::GuardedBuffer output(outSize);
    output.Poison(0xCC);
    Sent s;
    s.r = x.Data(command, nullIn ? nullptr : input.data(), inSize, nullOut ? nullptr : output.data(), outSize);
    s.out.assign(output.data(), output.data() + outSize);
    return s;
}

std::vector<BYTE> Wide(const std::wstring& s) {
    std::vector<BYTE> b((s.size() + 1) * sizeof(wchar_t));
    CopyMemory(b.data(), s.c_str(), b.size());
    return b;
}

bool UntouchedFrom(const std::vector<BYTE>& out, size_t from) {
    for (size_t i = from; i < out.size(); ++i)
        if (out[i] != 0xCC) return false;
    return true;
}

class XcvEdges : public ::testing::Test {
protected:
    XcvEdges() : section(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}}) {}
    void SetUp() override {
        ASSERT_TRUE(vt::RegisterMonitor());
        ASSERT_NE(m.table, nullptr);
        vt::WriteSection(L"ports", {{L"COM1:", L""}, {L"COM2:", L""}});
    }
    void TearDown() override { vt::DeleteSection(L"ports"); }

    vt::ScopedSection section;
    vt::Monitor2 m;
};

}  // namespace

TEST_F(XcvEdges, NameCommandsNeedATerminatedNameInsideTheirInput) {
    vt::Xcv x(m.table, m.handle, L"Vesk Port Monitor", SERVER_ACCESS_ADMINISTER);
    const wchar_t* commands[] = {XCV_ADD_PORT, XCV_DELETE_PORT, XCV_PORT_IS_VALID};
    std::vector<BYTE> name = Wide(L"VESKEDGE");
    DWORD exact = static_cast<DWORD>(name.size());
    for (const wchar_t* cmd : commands) {
        SCOPED_TRACE(vt::Narrow(cmd));
        EXPECT_EQ(Send(x, cmd, name, 0, 0, true, true).r.status, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        EXPECT_EQ(Send(x, cmd, name, 0, 0).r.status, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        EXPECT_EQ(Send(x, cmd, name, exact - 1, 0).r.status, static_cast<DWORD>(ERROR_INVALID_PARAMETER))
            << "the terminator cut off";
        EXPECT_EQ(Send(x, cmd, name, exact - 2, 0).r.status, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    EXPECT_EQ(Send(x, XCV_ADD_PORT, name, exact, 0).r.status, 0u);
    EXPECT_EQ(Send(x, XCV_DELETE_PORT, name, exact, 0).r.status, 0u);
    std::vector<BYTE> longer = name;
    longer.push_back(0x41);
    EXPECT_EQ(Send(x, XCV_ADD_PORT, longer, exact + 1, 0).r.status, 0u) << "one byte more";
    EXPECT_EQ(Send(x, XCV_DELETE_PORT, longer, exact + 1, 0).r.status, 0u);
    EXPECT_EQ(Send(x, XCV_PORT_IS_VALID, name, exact, 0).r.status, 0u);
    EXPECT_EQ(Keys(), std::set<std::wstring>{L"VESK"});
}

TEST_F(XcvEdges, OutputCommandsReportTheSizeAndWriteNoMore) {
    vt::Xcv x(m.table, m.handle, L"VESK", SERVER_ACCESS_ADMINISTER);
    struct Case {
        const wchar_t* command;
        std::vector<BYTE> in;
        DWORD exact;
    };
    DWORD fill = 0;
    std::vector<BYTE> zero(reinterpret_cast<BYTE*>(&fill), reinterpret_cast<BYTE*>(&fill) + 4);
    std::vector<BYTE> com1 = Wide(L"COM1");
    // The COM port list is 12 characters: COM1: and COM2:.
    Case cases[] = {
        {XCV_GET_SETTINGS, {}, kXcvRecordSize},
        {XCV_GET_COM_PORTS, zero, 12 * sizeof(wchar_t)},
        {XCV_MONITOR_UI, {}, sizeof(L"veskmonui.dll")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(vt::Narrow(c.command));
        DWORD inSize = static_cast<DWORD>(c.in.size());
        Sent none = Send(x, c.command, c.in, inSize, 0, false, true);
        EXPECT_EQ(none.r.status, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        EXPECT_NE(none.r.needed, 0xdeadbeefu) << "the needed size is set";
        Sent shorter = Send(x, c.command, c.in, inSize, c.exact - 1);
        EXPECT_EQ(shorter.r.status, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        EXPECT_TRUE(UntouchedFrom(shorter.out, 0)) << "nothing written into a short buffer";
        Sent exact = Send(x, c.command, c.in, inSize, c.exact);
        EXPECT_EQ(exact.r.status, 0u);
        Sent more = Send(x, c.command, c.in, inSize, c.exact + 1);
        EXPECT_EQ(more.r.status, 0u);
        EXPECT_TRUE(UntouchedFrom(more.out, c.exact)) << "the byte past the answer stays";
        EXPECT_EQ(std::vector<BYTE>(more.out.begin(), more.out.begin() + c.exact), exact.out);
    }
    Sent noInput = Send(x, XCV_GET_COM_PORTS, zero, 0, 64, true, false);
    EXPECT_EQ(noInput.r.status, static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // Records shorter than 72 bytes are refused before anything is read or opened.
    XcvPortSettings record{};
    ASSERT_EQ(x.Settings(record).status, 0u);
    std::vector<BYTE> wire(reinterpret_cast<BYTE*>(&record), reinterpret_cast<BYTE*>(&record) + sizeof record);
    for (const wchar_t* cmd : {XCV_SET_PRINT_SETTINGS, XCV_SET_PORT_SETTINGS}) {
        SCOPED_TRACE(vt::Narrow(cmd));
        EXPECT_EQ(Send(x, cmd, wire, 0, 4, true, false).r.status, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        EXPECT_EQ(Send(x, cmd, wire, kXcvRecordSize - 1, 4).r.status, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    Sent tokenShort = Send(x, XCV_SET_PRINT_SETTINGS, wire, kXcvRecordSize, 3);
    EXPECT_EQ(tokenShort.r.status, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(tokenShort.r.needed, 4u);
    EXPECT_TRUE(UntouchedFrom(tokenShort.out, 0));
    std::vector<BYTE> unterminated = wire;
    for (int i = 0; i < 12; ++i) unterminated[i] = 'A';
    EXPECT_EQ(Send(x, XCV_SET_PRINT_SETTINGS, unterminated, kXcvRecordSize, 4).r.status,
              static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << "a COM name without terminator";

    Sent config = Send(x, XCV_GET_DEFAULT_COMM_CONFIG, com1, static_cast<DWORD>(com1.size()), 51);
    EXPECT_EQ(config.r.status, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_TRUE(UntouchedFrom(config.out, 0));
    EXPECT_EQ(Send(x, XCV_GET_DEFAULT_COMM_CONFIG, com1, static_cast<DWORD>(com1.size()) - 1, 64).r.status,
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

namespace {

// Every port name the spooler lists, whichever monitor owns it.
std::vector<std::wstring> SpoolerPorts() {
    DWORD needed = 0, count = 0;
    EnumPortsW(nullptr, 1, nullptr, 0, &needed, &count);
    std::vector<BYTE> buf(needed + 1);
    std::vector<std::wstring> names;
    if (!EnumPortsW(nullptr, 1, buf.data(), needed, &needed, &count)) return names;
    auto* info = reinterpret_cast<PORT_INFO_1W*>(buf.data());
    for (DWORD i = 0; i < count; ++i) names.push_back(info[i].pName);
    return names;
}

// The platform's device names, which no port may take (their refusal has its own test).
bool IsReservedDeviceName(const std::wstring& name) {
    for (const wchar_t* reserved : {L"CON", L"PRN", L"AUX", L"NUL"})
        if (lstrcmpiW(name.c_str(), reserved) == 0) return true;
    return false;
}

bool HasName(const std::set<std::wstring>& names, const std::wstring& name) {
    for (const auto& n : names)
        if (lstrcmpiW(n.c_str(), name.c_str()) == 0) return true;
    return false;
}

}  // namespace

TEST_F(XcvEdges, ThousandsOfRandomRequestsChangeOnlyWhatValidOnesSay) {
    std::mt19937 rng(20261208);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const wchar_t* commands[] = {XCV_ADD_PORT,        XCV_DELETE_PORT,       XCV_PORT_IS_VALID,
                                 XCV_GET_SETTINGS,    XCV_GET_COM_PORTS,     XCV_SET_PRINT_SETTINGS,
                                 XCV_SET_PORT_SETTINGS, XCV_MONITOR_UI,      XCV_GET_DEFAULT_COMM_CONFIG,
                                 XCV_SET_DEFAULT_COMM_CONFIG, L"", L"AddPortX", L"addport", L"\x00e9\x4e2d"};
    // The file test creates a file as the spooler: it too needs administration.
    const std::set<std::wstring> changing = {XCV_ADD_PORT, XCV_DELETE_PORT, XCV_PORT_IS_VALID,
                                             XCV_SET_PRINT_SETTINGS, XCV_SET_PORT_SETTINGS,
                                             XCV_SET_DEFAULT_COMM_CONFIG};
    vt::Xcv admin(m.table, m.handle, L"Vesk Port Monitor", SERVER_ACCESS_ADMINISTER);
    vt::Xcv adminPort(m.table, m.handle, L"VESK", SERVER_ACCESS_ADMINISTER);
    vt::Xcv reader(m.table, m.handle, L"COM1:", SERVER_ACCESS_ENUMERATE);
    vt::Xcv* connections[] = {&admin, &adminPort, &reader};

    // What each request should do follows from the request and the fixture alone: the
    // monitor's own answers decide nothing here.
    std::set<std::wstring> expectedPorts = {L"VESK"};
    ASSERT_EQ(Ports(m.table, m.handle), expectedPorts);
    ASSERT_EQ(Keys(), expectedPorts);
    std::set<std::wstring> others;  // the other monitors' ports, which no name may take
    for (const auto& p : SpoolerPorts())
        if (!HasName(expectedPorts, p)) others.insert(p);
    std::wstring settingsBefore = *vt::Value(L"Vesk Ports", L"VESK");

    int valid = 0, wrongAnswers = 0;
    for (int i = 0; i < 4000; ++i) {
        int c = pick(3);
        const wchar_t* cmd = commands[pick(14)];
        DWORD inSize = static_cast<DWORD>(pick(4) == 0 ? 0 : pick(160));
        std::vector<BYTE> in(inSize);
        for (auto& b : in) b = static_cast<BYTE>(rng());
        // A name is in the input only where one is put: no other wide zero ends a string.
        for (size_t k = 0; k + 1 < in.size(); k += 2)
            if (in[k] == 0 && in[k + 1] == 0) in[k] = 0x20;
        std::wstring name;
        if (inSize >= 12 && pick(2) == 0) {
            // A terminated name of random letters, sometimes a VESK name, never VESK itself,
            // with room after it: Wine's own path functions, which the port test hands the
            // name to, read a few characters past a short name's end. (The name commands'
            // buffer edges have their test above.)
            size_t chars = 1 + pick(static_cast<int>(inSize / 2 - 5));
            do {
                name = pick(3) == 0 ? L"VESKR" : L"";
                while (name.size() < chars) name.push_back(static_cast<wchar_t>(L'A' + pick(26)));
                name.resize(chars);
            } while (lstrcmpiW(name.c_str(), L"VESK") == 0 || IsReservedDeviceName(name));
            CopyMemory(in.data(), name.c_str(), (name.size() + 1) * sizeof(wchar_t));
        }
        DWORD outSize = static_cast<DWORD>(pick(4) == 0 ? 0 : pick(200));
        bool nullIn = pick(10) == 0, nullOut = pick(10) == 0;
        Sent s = Send(*connections[c], cmd, in, inSize, outSize, nullIn, nullOut);

        std::wstring sent = cmd;
        bool named = !name.empty() && !nullIn;
        // The answers of the known commands that change nothing depend on the printer and
        // the buffers, and have tests of their own; an unknown command (names are compared
        // exactly) is refused whoever asks.
        DWORD expected = s.r.status;
        bool known = false;
        for (size_t k = 0; k < 10; ++k) known = known || sent == commands[k];
        if (!known) {
            expected = ERROR_INVALID_PARAMETER;
        } else if (c == 2 && changing.count(sent)) {
            expected = ERROR_ACCESS_DENIED;
        } else if (sent == XCV_ADD_PORT) {
            if (!named) {
                expected = ERROR_INVALID_PARAMETER;
            } else if (HasName(expectedPorts, name) || HasName(others, name)) {
                expected = ERROR_ALREADY_EXISTS;
            } else {
                expected = 0;
                expectedPorts.insert(name);
                ++valid;
            }
        } else if (sent == XCV_DELETE_PORT) {
            if (!named) {
                expected = ERROR_INVALID_PARAMETER;
            } else if (!HasName(expectedPorts, name)) {
                expected = ERROR_FILE_NOT_FOUND;
            } else {
                expected = 0;
                for (auto it = expectedPorts.begin(); it != expectedPorts.end();)
                    it = lstrcmpiW(it->c_str(), name.c_str()) == 0 ? expectedPorts.erase(it) : std::next(it);
                ++valid;
            }
        } else if (sent == XCV_PORT_IS_VALID && !named) {
            expected = ERROR_INVALID_PARAMETER;
        }
        if (s.r.status != expected && ++wrongAnswers <= 10)
            ADD_FAILURE() << "request " << i << ": " << vt::Narrow(sent) << " \"" << vt::Narrow(name)
                          << "\" on connection " << c << " answered " << s.r.status << ", expected "
                          << expected;
    }
    EXPECT_EQ(wrongAnswers, 0);
    EXPECT_EQ(Ports(m.table, m.handle), expectedPorts);
    EXPECT_EQ(Keys(), expectedPorts);
    EXPECT_EQ(*vt::Value(L"Vesk Ports", L"VESK"), settingsBefore);
    EXPECT_GT(valid, 10) << "some requests were valid ones";
    std::printf("random requests: 4000 sent, %d valid name commands took effect\n", valid);

    // The ports the valid requests added go again the way they came: a spooler that holds
    // the monitor too shares its list, and must not keep them.
    for (const auto& p : expectedPorts) {
        if (p != L"VESK") {
            EXPECT_EQ(admin.Name(XCV_DELETE_PORT, p).status, 0u) << vt::Narrow(p);
        }
    }
    EXPECT_EQ(Ports(m.table, m.handle), std::set<std::wstring>{L"VESK"});
    EXPECT_EQ(Keys(), std::set<std::wstring>{L"VESK"});
}
