// The monitor as the spooler sees it: loaded with LoadLibrary, initialised from win.ini, and
// driven through the table of entry points it hands back.
#include <windows.h>
#include <winsplp.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "guarded_buffer.h"
#include "monitor_library.h"
#include "profile.h"
#include "test_env.h"

using vt::KeyValues;

namespace {

const wchar_t kSection[] = L"Vesk Ports";
const KeyValues kTwoPorts = {{L"VESK", L"COM1:,9600,N,8,1"}, {L"VESK2:", L""}, {L"LPT1:", L""}};

// The monitor's table after initialisation on `keys`; the library stays loaded with it.
struct Initialized {
    explicit Initialized(const KeyValues& keys) : section(kSection, keys), table(lib.Initialize()) {}
    vt::ScopedSection section;
    vt::MonitorLibrary lib;
    LPMONITOREX table;
};

struct Enumeration {
    BOOL ok;
    DWORD error, needed, returned;
};

Enumeration Enum(LPMONITOREX t, DWORD level, BYTE* buffer, DWORD size) {
    Enumeration e{};
    e.needed = 0xdeadbeef;
    e.returned = 0xdeadbeef;
    SetLastError(0xdeadbeef);
    e.ok = t->Monitor.pfnEnumPorts(nullptr, level, buffer, size, &e.needed, &e.returned);
    e.error = GetLastError();
    return e;
}

DWORD Bytes(const std::wstring& s) {
    return static_cast<DWORD>((s.size() + 1) * sizeof(wchar_t));
}

}  // namespace

TEST(MonitorTable, HasTheSizeAndSlotsTheSpoolerExpects) {
    Initialized m(kTwoPorts);
    ASSERT_NE(m.table, nullptr);
#ifdef _WIN64
    EXPECT_EQ(m.table->dwMonitorSize, sizeof(MONITOR));
#else
    EXPECT_EQ(m.table->dwMonitorSize, 56u);
#endif
    const MONITOR& f = m.table->Monitor;
    for (void* slot : {reinterpret_cast<void*>(f.pfnEnumPorts), reinterpret_cast<void*>(f.pfnOpenPort),
                       reinterpret_cast<void*>(f.pfnStartDocPort), reinterpret_cast<void*>(f.pfnWritePort),
                       reinterpret_cast<void*>(f.pfnReadPort), reinterpret_cast<void*>(f.pfnEndDocPort),
                       reinterpret_cast<void*>(f.pfnClosePort),
                       reinterpret_cast<void*>(f.pfnGetPrinterDataFromPort),
                       reinterpret_cast<void*>(f.pfnSetPortTimeOuts)})
        EXPECT_TRUE(m.lib.Inside(slot));
    EXPECT_EQ(f.pfnOpenPortEx, nullptr);
    EXPECT_EQ(f.pfnXcvOpenPort, nullptr) << "this table has no transceive slots";
    EXPECT_EQ(f.pfnXcvDataPort, nullptr);
    EXPECT_EQ(f.pfnXcvClosePort, nullptr);
    EXPECT_NE(GetProcAddress(m.lib.module(), "DllEntryPoint"), nullptr);
}

TEST(MonitorInitialize, FailsWithoutTheSectionOrWithAnEmptyOne) {
    {
        vt::DeleteSection(kSection);
        vt::MonitorLibrary lib;
        EXPECT_EQ(lib.Initialize(), nullptr) << "missing section";
    }
    {
        // The section's header stays, its keys go.
        vt::WriteSection(kSection, {{L"VESK", L""}});
        WriteProfileStringW(kSection, L"VESK", nullptr);
        vt::MonitorLibrary lib;
        EXPECT_EQ(lib.Initialize(), nullptr) << "empty section";
        vt::DeleteSection(kSection);
    }
}

TEST(MonitorInitialize, ForeignKeysOnlyGiveAnEmptyList) {
    Initialized m(KeyValues{{L"LPT1:", L""}, {L"VES", L""}});
    ASSERT_NE(m.table, nullptr) << "a section with keys initialises";
    BYTE buf[16];
    Enumeration e = Enum(m.table, 1, buf, sizeof buf);
    EXPECT_TRUE(e.ok);
    EXPECT_EQ(e.needed, 0u);
    EXPECT_EQ(e.returned, 0u);
}

TEST(MonitorInitialize, KeepsTheProfileOrderAndTakesKeysInAnyCase) {
    Initialized m(KeyValues{{L"VESKC", L""}, {L"LPT1:", L""}, {L"vesk", L""}, {L"VeskA:", L""},
                            {L"VESKB", L""}});
    ASSERT_NE(m.table, nullptr);
    std::vector<BYTE> buf(4096);
    Enumeration e = Enum(m.table, 1, buf.data(), static_cast<DWORD>(buf.size()));
    ASSERT_TRUE(e.ok);
    ASSERT_EQ(e.returned, 4u);
    auto* info = reinterpret_cast<PORT_INFO_1W*>(buf.data());
    EXPECT_STREQ(info[0].pName, L"VESKC");
    EXPECT_STREQ(info[1].pName, L"vesk") << "names are kept as written";
    EXPECT_STREQ(info[2].pName, L"VeskA:");
    EXPECT_STREQ(info[3].pName, L"VESKB");
}

TEST(MonitorInitialize, ReadsAKeyListLargerThanItsFirstBuffers) {
    // 3000 keys of 9 characters need 30,000 characters: the 2,048-character first try and
    // several doublings are too small.
    vt::KeyValues keys;
    for (int i = 0; i < 3000; ++i) keys.emplace_back(L"VESK" + std::to_wstring(10000 + i), L"");
    vt::WriteSection(kSection, keys);
    vt::MonitorLibrary lib;
    LPMONITOREX t = lib.Initialize();
    ASSERT_NE(t, nullptr);
    DWORD needed = 0, returned = 0;
    EXPECT_FALSE(t->Monitor.pfnEnumPorts(nullptr, 1, nullptr, 0, &needed, &returned));
    EXPECT_EQ(needed, 3000u * (sizeof(PORT_INFO_1W) + 10 * sizeof(wchar_t)));
    std::vector<BYTE> buf(needed);
    ASSERT_TRUE(t->Monitor.pfnEnumPorts(nullptr, 1, buf.data(), needed, &needed, &returned));
    ASSERT_EQ(returned, 3000u);
    auto* info = reinterpret_cast<PORT_INFO_1W*>(buf.data());
    EXPECT_STREQ(info[0].pName, L"VESK10000");
    EXPECT_STREQ(info[2999].pName, L"VESK12999");
    vt::DeleteSection(kSection);
}

TEST(MonitorEnumPorts, Level1SizesErrorsAndPacking) {
    Initialized m(kTwoPorts);
    ASSERT_NE(m.table, nullptr);
    const DWORD exact = 2 * sizeof(PORT_INFO_1W) + Bytes(L"VESK") + Bytes(L"VESK2:");

    Enumeration e = Enum(m.table, 1, nullptr, 0);
    EXPECT_FALSE(e.ok);
    EXPECT_EQ(e.error, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(e.needed, exact);
    EXPECT_EQ(e.returned, 0xdeadbeefu) << "the count is not touched on failure";

    // One byte short: refused, nothing written, the full size reported.
    vt::GuardedBuffer shortBuf(exact - 1);
    e = Enum(m.table, 1, shortBuf.data(), exact - 1);
    EXPECT_FALSE(e.ok);
    EXPECT_EQ(e.error, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(e.needed, exact);
    EXPECT_TRUE(shortBuf.Untouched(0));

    // Exact, in a buffer that ends at an inaccessible page, plus a larger one whose bytes past
    // the size given must stay untouched.
    vt::GuardedBuffer exactBuf(exact);
    e = Enum(m.table, 1, exactBuf.data(), exact);
    ASSERT_TRUE(e.ok);
    EXPECT_EQ(e.returned, 2u);
    EXPECT_EQ(e.needed, exact);
    auto* info = reinterpret_cast<PORT_INFO_1W*>(exactBuf.data());
    EXPECT_STREQ(info[0].pName, L"VESK");
    EXPECT_STREQ(info[1].pName, L"VESK2:");
    // Strings fill the buffer from its end down, the first port's highest.
    BYTE* end = exactBuf.data() + exact;
    EXPECT_EQ(reinterpret_cast<BYTE*>(info[0].pName), end - Bytes(L"VESK"));
    EXPECT_EQ(reinterpret_cast<BYTE*>(info[1].pName), end - Bytes(L"VESK") - Bytes(L"VESK2:"));

    vt::GuardedBuffer roomy(exact + 64);
    e = Enum(m.table, 1, roomy.data(), exact + 1);
    ASSERT_TRUE(e.ok);
    EXPECT_TRUE(roomy.Untouched(exact + 1)) << "bytes past the given size were written";
    info = reinterpret_cast<PORT_INFO_1W*>(roomy.data());
    EXPECT_EQ(reinterpret_cast<BYTE*>(info[0].pName), roomy.data() + exact + 1 - Bytes(L"VESK"));
}

TEST(MonitorEnumPorts, Level2DescribesEachPort) {
    Initialized m(kTwoPorts);
    ASSERT_NE(m.table, nullptr);
    const std::wstring name = L"Vesk Port Monitor";
    const DWORD one = sizeof(PORT_INFO_2W) + Bytes(L"VESK") + 2 * Bytes(name);
    const DWORD two = sizeof(PORT_INFO_2W) + Bytes(L"VESK2:") + 2 * Bytes(name);

    Enumeration e = Enum(m.table, 2, nullptr, 0);
    EXPECT_EQ(e.error, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(e.needed, one + two);
    vt::GuardedBuffer shortBuf(one + two - 1);
    e = Enum(m.table, 2, shortBuf.data(), one + two - 1);
    EXPECT_FALSE(e.ok);
    EXPECT_EQ(e.needed, one + two);

    vt::GuardedBuffer buf(one + two);
    e = Enum(m.table, 2, buf.data(), one + two);
    ASSERT_TRUE(e.ok);
    ASSERT_EQ(e.returned, 2u);
    auto* info = reinterpret_cast<PORT_INFO_2W*>(buf.data());
    for (int i = 0; i < 2; ++i) {
        EXPECT_STREQ(info[i].pMonitorName, name.c_str());
        EXPECT_STREQ(info[i].pDescription, name.c_str());
        EXPECT_EQ(info[i].fPortType, static_cast<DWORD>(PORT_TYPE_WRITE));
        EXPECT_EQ(info[i].Reserved, 0u);
    }
    EXPECT_STREQ(info[0].pPortName, L"VESK");
    EXPECT_STREQ(info[1].pPortName, L"VESK2:");
    // Packed name, monitor name, description, from the end down.
    BYTE* end = buf.data() + one + two;
    EXPECT_EQ(reinterpret_cast<BYTE*>(info[0].pPortName), end - Bytes(L"VESK"));
    EXPECT_EQ(reinterpret_cast<BYTE*>(info[0].pMonitorName), end - Bytes(L"VESK") - Bytes(name));
    EXPECT_EQ(reinterpret_cast<BYTE*>(info[0].pDescription),
              end - Bytes(L"VESK") - 2 * Bytes(name));
}

TEST(MonitorEnumPorts, OtherLevelsFailWithInvalidLevel) {
    Initialized m(kTwoPorts);
    ASSERT_NE(m.table, nullptr);
    BYTE buf[1024];
    for (DWORD level : {0u, 3u, 4u}) {
        Enumeration e = Enum(m.table, level, buf, sizeof buf);
        EXPECT_FALSE(e.ok) << level;
        EXPECT_EQ(e.error, static_cast<DWORD>(ERROR_INVALID_LEVEL)) << level;
    }
}

TEST(MonitorOpenPort, FindsVeskPortsWithoutRegardToCase) {
    Initialized m(KeyValues{{L"VESK", L"COM1:,9600,N,8,1"}, {L"VESK2:", L""}, {L"LPT1:", L""}});
    ASSERT_NE(m.table, nullptr);
    auto open = m.table->Monitor.pfnOpenPort;
    HANDLE vesk = nullptr, lower = nullptr, second = nullptr;
    EXPECT_TRUE(open(const_cast<LPWSTR>(L"VESK"), &vesk));
    EXPECT_TRUE(open(const_cast<LPWSTR>(L"vesk"), &lower));
    EXPECT_EQ(vesk, lower) << "one entry, whatever the case of the name";
    EXPECT_TRUE(open(const_cast<LPWSTR>(L"vesk2:"), &second));
    EXPECT_NE(second, vesk);

    for (const wchar_t* name : {L"VESK2", L"LPT1:", L"VESK3", L""}) {
        HANDLE h = reinterpret_cast<HANDLE>(0x1234);
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(open(const_cast<LPWSTR>(name), &h)) << vt::Narrow(name);
        EXPECT_EQ(GetLastError(), 0xdeadbeefu) << "no error code is set";
        EXPECT_EQ(h, reinterpret_cast<HANDLE>(0x1234)) << "the handle is not written";
    }
}
