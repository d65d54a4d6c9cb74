// Colour names, values and system colours.
#include "qbarcode/graphics.h"

#include <gtest/gtest.h>

using namespace qb;

namespace {

struct NameCase {
    const char* text;
    bool valid;
    TColor color;
};

const NameCase kNames[] = {
    {"#FF0000", true, clRed}, // #RRGGBB is stored as 0x00BBGGRR
    {"#0080ff", true, 0xFF8000},
    {"red", true, clRed},
    {"clRed", true, clRed},
    {"CLNAVY", true, clNavy},
    {"BtnFace", true, clBtnFace},
    {"clWindowText", true, clWindowText},
    {"$00FF0000", true, clBlue},
    {"$8000000F", true, clBtnFace},
    {"$100000000", false, 0},
    {"255", true, clRed},
    {"#12345", false, 0},
    {"#GG0000", false, 0},
    {"", false, 0},
    {"cl", false, 0},
    {"nosuchcolour", false, 0},
    {" red", false, 0},
    {"12 ", false, 0},
};

TEST(Colors, FromName)
{
    for (const NameCase& c : kNames) {
        SCOPED_TRACE(c.text);
        TColor color = 0x123456;
        EXPECT_EQ(ColorFromName(c.text, color), c.valid);
        EXPECT_EQ(color, c.valid ? c.color : 0x123456);
    }
}

TEST(Colors, ToStringReadsBack)
{
    for (TColor color : {clRed, clBtnFace, TColor(0x123456), clNone, SystemColor(30)}) {
        TColor back = 0;
        ASSERT_TRUE(ColorFromName(ColorToString(color), back)) << ColorToString(color);
        EXPECT_EQ(back, color);
    }
    EXPECT_EQ(ColorToString(clGray), "clGray");
    EXPECT_EQ(ColorToString(0x123456), "$00123456");
}

} // namespace
