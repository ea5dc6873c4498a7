// The processor's entry points called directly: what it says it takes, and what it refuses.
#include <gtest/gtest.h>

#include <algorithm>

#include "guarded_buffer.h"
#include "processor_support.h"

namespace {

LPWSTR W(const wchar_t* s) { return const_cast<LPWSTR>(s); }

TEST(ProcessorExports, DatatypesAreRawAloneWithTheNameAtTheBufferEnd) {
    pt::Processor p;
    ASSERT_TRUE(p.loaded());
    DWORD needed = 0, returned = 9;
    EXPECT_FALSE(p.EnumDatatypes(nullptr, W(pt::kProcessorName), 1, nullptr, 0, &needed, &returned));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER});
    EXPECT_EQ(returned, 0u);
    ASSERT_GE(needed, sizeof(DATATYPES_INFO_1W) + sizeof(L"RAW"));
    vt::GuardedBuffer tooSmall(needed - 1);
    EXPECT_FALSE(p.EnumDatatypes(nullptr, W(pt::kProcessorName), 1, tooSmall.data(), needed - 1, &needed, &returned));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER});
    EXPECT_TRUE(tooSmall.Untouched(0));
    // The exact size and a larger one: the name ends where the buffer ends (a page that
    // cannot be touched follows it), and nothing between the structure and the name is written.
    for (DWORD size : {needed, needed + 32}) {
        vt::GuardedBuffer b(size);
        ASSERT_TRUE(p.EnumDatatypes(nullptr, W(pt::kProcessorName), 1, b.data(), size, &needed, &returned));
        EXPECT_EQ(returned, 1u);
        LPWSTR name = reinterpret_cast<DATATYPES_INFO_1W*>(b.data())->pName;
        ASSERT_STREQ(name, L"RAW");
        auto* nameStart = reinterpret_cast<BYTE*>(name);
        EXPECT_EQ(nameStart + sizeof(L"RAW"), b.data() + size) << size;
        EXPECT_TRUE(std::all_of(b.data() + sizeof(DATATYPES_INFO_1W), nameStart, [](BYTE c) { return c == 0xCC; }));
    }
    EXPECT_FALSE(p.EnumDatatypes(nullptr, W(pt::kProcessorName), 2, nullptr, 0, &needed, &returned));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_LEVEL});
}

TEST(ProcessorExports, CapabilitiesOfRaw) {
    pt::Processor p;
    ASSERT_TRUE(p.loaded());
    DWORD needed = 0;
    EXPECT_EQ(p.Caps(W(L"RAW"), 0, nullptr, 0, &needed), DWORD{ERROR_MORE_DATA});
    ASSERT_EQ(needed, sizeof(PRINTPROCESSOR_CAPS_1));
    vt::GuardedBuffer b(needed);
    ASSERT_EQ(p.Caps(W(L"RAW"), PRINTER_ATTRIBUTE_LOCAL, b.data(), needed, &needed), DWORD{ERROR_SUCCESS});
    auto* caps = reinterpret_cast<PRINTPROCESSOR_CAPS_1*>(b.data());
    EXPECT_EQ(caps->dwLevel, 1u);
    EXPECT_EQ(caps->dwNupOptions, 1u) << "one page a sheet only";
    EXPECT_EQ(caps->dwPageOrderFlags, DWORD{NORMAL_PRINT});
    EXPECT_EQ(caps->dwNumberOfCopies, 1u);
    EXPECT_EQ(p.Caps(W(L"NT EMF 1.008"), 0, b.data(), needed, &needed), DWORD{ERROR_INVALID_DATATYPE});
}

TEST(ProcessorExports, OpenTakesRawJobsOnly) {
    pt::Processor p;
    ASSERT_TRUE(p.loaded());
    PRINTPROCESSOROPENDATA data{nullptr, nullptr, nullptr, W(L"receipt"), 7, nullptr, W(L"Vesk Printer")};
    for (const wchar_t* refused : {L"NT EMF 1.008", L"TEXT"}) {
        data.pDatatype = W(refused);
        EXPECT_EQ(p.Open(W(L"VESK"), &data), nullptr);
        EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_DATATYPE});
    }
    data.pDatatype = W(L"RAW");
    HANDLE h = p.Open(W(L"VESK"), &data);
    ASSERT_NE(h, nullptr) << GetLastError();
    EXPECT_FALSE(p.Control(h, JOB_CONTROL_RESTART)) << "a control the processor does not know";
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
    EXPECT_TRUE(p.Close(h));
    EXPECT_FALSE(p.Print(nullptr, W(L"Vesk Printer, Job 7")));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
}

}  // namespace
