#include "qbarcode/sysutils.h"

#include <gtest/gtest.h>

#include <cfenv>

using namespace qb;

namespace {

TEST(Sysutils, FormatPatterns)
{
    EXPECT_EQ(Format("%s : %s", {"12A4", "Barcode must be numeric."}), "12A4 : Barcode must be numeric.");
    EXPECT_EQ(Format("%s (%s, line %d)", {"x", "f.cpp", 12LL}), "x (f.cpp, line 12)");
    EXPECT_EQ(Format("100%%", {}), "100%");
    EXPECT_THROW(Format("%s %s", {"one"}), Exception);
    EXPECT_THROW(Format("%d", {"text"}), Exception);
    EXPECT_THROW(Format("trailing %", {}), Exception);
}

TEST(Sysutils, TrimRemovesControlCodesAndBlanksOnly)
{
    EXPECT_EQ(Trim(" \t\x01 ab c \r\n"), "ab c");
    EXPECT_EQ(Trim("\xA0x\xA0"), "\xA0x\xA0");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(Trim(std::string("\0a\0", 3)), "a");
}

TEST(Sysutils, StrToInt)
{
    EXPECT_EQ(StrToInt("42"), 42);
    EXPECT_EQ(StrToInt(" -7"), -7);
    EXPECT_EQ(StrToInt("$FF"), 255);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), -2147483647 - 1);
    for (const char* bad : {"", "a", "1a", "2147483648", "-2147483649", "99999999999999999999", "+", "$"}) {
        try {
            StrToInt(bad);
            ADD_FAILURE() << bad;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message, std::string("'") + bad + "' is not a valid integer value");
        }
    }
}

TEST(Sysutils, RoundHalfToEven)
{
    const std::pair<long double, long long> cases[] = {
        {2.5L, 2}, {3.5L, 4}, {-2.5L, -2}, {7.5L, 8}, {0.49999999999999999L, 0}, {5.906L, 6}, {-0.5L, 0},
    };
    for (auto [v, r] : cases)
        EXPECT_EQ(Round(v), r) << static_cast<double>(v);
    EXPECT_THROW(Round(1e30L), Exception);
    EXPECT_THROW(Round(std::numeric_limits<long double>::quiet_NaN()), Exception);
}

TEST(Sysutils, AssertionMessageNamesFileAndLine)
{
    try {
        AssertionFailed("EAN8 : Invalid barcode length.", "/src/core/bardef/eanupc.cpp", 77);
        FAIL();
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message, "EAN8 : Invalid barcode length. (eanupc.cpp, line 77)");
    }
}

} // namespace
