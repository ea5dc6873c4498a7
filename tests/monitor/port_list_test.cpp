// The monitor's helpers behind its entry points: names, entries, memory and string packing.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "enum_ports.h"
#include "monitor_state.h"
#include "port_list.h"
#include "spl_mem.h"

TEST(PortNames, VeskRuleLooksAtTheFirstFourCharacters) {
    EXPECT_TRUE(IsVeskPort(L"VESK"));
    EXPECT_TRUE(IsVeskPort(L"vesk1:"));
    EXPECT_TRUE(IsVeskPort(L"VESKPRINTER"));
    EXPECT_TRUE(IsVeskPort(L"vEsK"));
    EXPECT_FALSE(IsVeskPort(L"VES"));
    EXPECT_FALSE(IsVeskPort(L"XVESK"));
    EXPECT_FALSE(IsVeskPort(L""));
    EXPECT_FALSE(IsVeskPort(nullptr));
}

TEST(PortNames, RemoveColonTakesOneTrailingColon) {
    wchar_t a[] = L"VESK1:";
    VeskRemoveColon(a);
    EXPECT_STREQ(a, L"VESK1");
    VeskRemoveColon(a);
    EXPECT_STREQ(a, L"VESK1");
    wchar_t b[] = L"VESK::";
    VeskRemoveColon(b);
    EXPECT_STREQ(b, L"VESK:");
    wchar_t c[] = L"";
    VeskRemoveColon(c);
    EXPECT_STREQ(c, L"");
}

TEST(PortEntries, CreateAppendsFindAndDeleteIgnoreCase) {
    InitializeMonitorLocks();
    PortList list{kPortListSignature, nullptr};
    PortEntry* a = VeskCreatePortEntry(&list, L"VESK");
    PortEntry* b = VeskCreatePortEntry(&list, L"VESK2:");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(list.pFirst, a);
    EXPECT_EQ(a->pNext, b);
    EXPECT_EQ(a->Signature, kPortEntrySignature);
    EXPECT_EQ(a->Size, sizeof(PortEntry) + 5 * sizeof(wchar_t));
    EXPECT_EQ(reinterpret_cast<BYTE*>(a->pName), reinterpret_cast<BYTE*>(a + 1));
    EXPECT_EQ(a->hFile, INVALID_HANDLE_VALUE);
    EXPECT_EQ(a->Status, 0u);
    EXPECT_EQ(a->pList, &list);

    EXPECT_EQ(VeskFindIniKey(list.pFirst, L"vesk2:"), b);
    EXPECT_EQ(VeskFindIniKey(list.pFirst, L"VESK2"), nullptr);
    EXPECT_EQ(VeskFindIniKey(list.pFirst, nullptr), nullptr);

    EXPECT_TRUE(VeskDeletePortEntry(&list, L"vesk"));
    EXPECT_EQ(list.pFirst, b) << "deleting the first moves the head";
    EXPECT_FALSE(VeskDeletePortEntry(&list, L"VESK"));
    EXPECT_TRUE(VeskDeletePortEntry(&list, L"VESK2:"));
    EXPECT_EQ(list.pFirst, nullptr);
}

TEST(PortEntries, NamesUpTo247CharactersFit) {
    PortList list{kPortListSignature, nullptr};
    std::wstring ok = L"VESK" + std::wstring(243, L'x');
    std::wstring tooLong = ok + L"y";
    ASSERT_EQ(ok.size(), 247u);
    PortEntry* e = VeskCreatePortEntry(&list, ok.c_str());
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->pName, ok);

    SetLastError(0);
    EXPECT_EQ(VeskCreatePortEntry(&list, tooLong.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
    SetLastError(0);
    EXPECT_EQ(VeskCreatePortEntry(&list, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_EQ(e->pNext, nullptr) << "failures append nothing";
    VeskDeletePortEntry(&list, ok.c_str());
}

TEST(SplMemory, AllocationsAreZeroFilledAndStringsCopied) {
    auto* p = static_cast<BYTE*>(AllocSplMem(64));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(p[i], 0);
    GlobalFree(p);
    LPWSTR s = AllocSplStr(L"COM1:");
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(s, L"COM1:");
    GlobalFree(s);
    EXPECT_EQ(AllocSplStr(nullptr), nullptr);
}

TEST(SplStrings, StrNCatBuffWConcatenatesOrLeavesAnEmptyBuffer) {
    wchar_t buf[5];
    EXPECT_EQ(StrNCatBuffW(buf, 5, L"NON", L"E", nullptr), 0u);
    EXPECT_STREQ(buf, L"NONE");
    SetLastError(0);
    EXPECT_EQ(StrNCatBuffW(buf, 5, L"NON", L"SPOOL", nullptr),
              static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
    EXPECT_STREQ(buf, L"");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
    EXPECT_EQ(StrNCatBuffW(buf, 5, L"ABCDE", nullptr), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW))
        << "the terminator needs a place too";
    EXPECT_EQ(StrNCatBuffW(nullptr, 5, L"A", nullptr), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(StrNCatBuffW(buf, 0, L"A", nullptr), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(StrNCatBuffW(buf, 1, nullptr), 0u);
    EXPECT_STREQ(buf, L"");
}

TEST(PackingStrings, NullSourcesGiveNullFieldsAndTakeNoRoom) {
    BYTE buffer[256];
    auto* info = reinterpret_cast<PORT_INFO_2W*>(buffer);
    LPCWSTR sources[] = {L"VESK", nullptr, L"desc"};
    const DWORD offsets[] = {offsetof(PORT_INFO_2W, pPortName), offsetof(PORT_INFO_2W, pMonitorName),
                             offsetof(PORT_INFO_2W, pDescription), kOffsetListEnd};
    LPBYTE end = PackStrings(sources, buffer, offsets, buffer + sizeof buffer);
    EXPECT_EQ(end, buffer + sizeof buffer - 10 - 10);
    EXPECT_EQ(reinterpret_cast<BYTE*>(info->pPortName), buffer + sizeof buffer - 10);
    EXPECT_EQ(info->pMonitorName, nullptr);
    EXPECT_STREQ(info->pDescription, L"desc");
    EXPECT_EQ(reinterpret_cast<BYTE*>(info->pDescription), end);
}

TEST(PackingStrings, PortSizesFollowTheLevel) {
    PortList list{kPortListSignature, nullptr};
    PortEntry* e = VeskCreatePortEntry(&list, L"VESK2:");
    ASSERT_NE(e, nullptr);
#ifdef _WIN64
    const DWORD level1 = sizeof(PORT_INFO_1W), level2 = sizeof(PORT_INFO_2W);
#else
    // The 32-bit spooler's layout: one pointer, and four pointers and a DWORD.
    const DWORD level1 = 4, level2 = 20;
#endif
    EXPECT_EQ(GetPortSize(e, 1), level1 + 2 * 7);
    // The strings come from this program's copy of the monitor's string table.
    EXPECT_EQ(GetPortSize(e, 2), level2 + 2 * (6 + 17 + 17 + 3));
    EXPECT_EQ(GetPortSize(e, 3), 0u);
    BYTE buf[8];
    EXPECT_EQ(CopyIniPortToPort(e, 3, buf, buf + 8), nullptr);
    VeskDeletePortEntry(&list, L"VESK2:");
}
