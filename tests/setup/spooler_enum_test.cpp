// Lists asked for in two calls: the buffer is sized from the platform's answer, and a list
// that grows between the calls is asked for again, never written past its buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "spooler_enum.h"

namespace {

// A list of `sizes[i]` bytes at the i-th call; fails as the platform does when the buffer is
// smaller, and checks that it is never told a buffer larger than the one given.
struct GrowingList {
    std::vector<DWORD> sizes;
    size_t calls = 0;
    std::vector<DWORD> given;

    BOOL operator()(BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
        DWORD now = sizes[std::min(calls, sizes.size() - 1)];
        ++calls;
        given.push_back(size);
        *needed = now;
        *returned = 0;
        if (size < now) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        for (DWORD i = 0; i < now; ++i) buffer[i] = 0xAB;
        *returned = now / 4;
        return TRUE;
    }
};

TEST(Enumeration, SizesItsBufferFromEachAnswer) {
    GrowingList list;
    list.sizes = {64, 128, 256};
    Enumeration result = Enumerate(std::ref(list));
    ASSERT_EQ(result.status, EnumerationStatus::Listed);
    EXPECT_EQ(list.given, (std::vector<DWORD>{0, 64, 128, 256}));
    EXPECT_EQ(result.data.size(), 256u);
    EXPECT_EQ(result.count, 64u);

    GrowingList empty;
    empty.sizes = {0};
    Enumeration none = Enumerate(std::ref(empty));
    EXPECT_EQ(none.status, EnumerationStatus::Empty);
    EXPECT_FALSE(none.sizeQueryFailed);
    EXPECT_EQ(empty.calls, 1u);

    // A size query that fails without a size: nothing listed, and the failure kept.
    Enumeration refused = Enumerate([](BYTE*, DWORD, DWORD* needed, DWORD* returned) {
        *needed = *returned = 0;
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    });
    EXPECT_EQ(refused.status, EnumerationStatus::Empty);
    EXPECT_TRUE(refused.sizeQueryFailed);
    EXPECT_EQ(refused.error, DWORD(ERROR_ACCESS_DENIED));

    // A list that never stops growing is given up after a bound.
    GrowingList endless;
    for (DWORD s = 16; s < 16 * 1024; s *= 2) endless.sizes.push_back(s);
    Enumeration given = Enumerate(std::ref(endless));
    EXPECT_EQ(given.status, EnumerationStatus::Failed);
    EXPECT_EQ(given.error, DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(endless.calls, size_t(1 + kEnumerationAttempts));
}

}  // namespace
