// The test page's picture as setup prints it: the stored drawing reduced to one bit per pixel
// at its full size, with its black lines kept.
#include <gtest/gtest.h>

#include <windows.h>

#include "resource.h"
#include "test_page.h"

TEST(TestPagePicture, LoadsAsAOneBitDrawingOfItsFullSize) {
    HBITMAP picture = LoadMonochromeBitmap(IDB_TEST_PAGE);
    ASSERT_TRUE(picture);
    DIBSECTION section{};
    ASSERT_EQ(GetObjectA(picture, sizeof section, &section), static_cast<int>(sizeof section));
    EXPECT_EQ(section.dsBm.bmWidth, 383);
    EXPECT_EQ(section.dsBm.bmHeight, 265);
    EXPECT_EQ(section.dsBm.bmBitsPixel, 1);
    ASSERT_TRUE(section.dsBm.bmBits);
    // Both colours occur: the drawing survived the reduction (all white or all black would
    // mean the conversion lost it).
    const auto* bits = static_cast<const BYTE*>(section.dsBm.bmBits);
    size_t black = 0, bytes = static_cast<size_t>(section.dsBm.bmWidthBytes) * section.dsBm.bmHeight;
    for (size_t i = 0; i < bytes; ++i) black += 8 - __builtin_popcount(bits[i]);
    EXPECT_GT(black, 2000u);
    EXPECT_LT(black, bytes * 8 / 2);
    DeleteObject(picture);
}
