// Measuring and turning.
#include "qbarcode/qbarcode.h"
#include "qbarcode/sysutils.h"

#include <gtest/gtest.h>

using namespace qb;

namespace {

double Radians(double degrees)
{
    return degrees / 180.0 * 3.14159265358979323846;
}

const std::string k15 = "ABCDEFGHIJKLMNO"; // Code 128 B, module 1: 200 pixels

TEST(Geometry, CanvasExtentsRoundUpAfterAddingAHalf)
{
    ASSERT_EQ(Q_GetBarWidth(bcCode128B, k15, 1, 2.0, csNone), 200);
    ASSERT_EQ(Q_GetBarWidth(bcCodeEAN8, "1234567", 3, 2.0, csModulo10), 201);
    struct Case {
        TBarType type;
        const char* text;
        int modul, height;
        double angle;
        int width, heightOut;
    };
    const Case cases[] = {
        {bcCode128B, k15.c_str(), 1, 50, 0, 50, 200}, // Round(50.5), Round(200.5)
        {bcCodeEAN8, "1234567", 3, 51, 0, 52, 202},   // Round(51.5), Round(201.5)
        // The pairing turns with the angle. The cosine of 90 degrees (the
        // sine of 180) is not quite 0 in extended precision: W times it lifts
        // the tie at 50.5 above the half, so it rounds up.
        {bcCode128B, k15.c_str(), 1, 50, 90, 200, 51},
        {bcCode128B, k15.c_str(), 1, 50, 180, 51, 200},
        {bcCode128B, k15.c_str(), 1, 50, -90, 200, 51},
        {bcCode128B, k15.c_str(), 1, 50, 45, 177, 177}, // (200 + 50) / sqrt 2 = 176.78
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.angle);
        EXPECT_EQ(Q_GetCanvasWidth(c.type, c.text, c.modul, 2.0, csModulo10, c.height, c.angle), c.width);
        EXPECT_EQ(Q_GetCanvasHeight(c.type, c.text, c.modul, 2.0, csModulo10, c.height, c.angle), c.heightOut);
    }
}

TEST(Geometry, RotatePointTurnsCounterClockwiseOnScreen)
{
    struct Case {
        TPoint p;
        double degrees;
        TPoint r;
    };
    const Case cases[] = {
        {{10, 0}, 90, {0, -10}}, {{10, 5}, 180, {-10, -5}}, {{10, 5}, 270, {-5, 10}},
        {{10, 5}, 0, {10, 5}},   {{10, 0}, 45, {7, -7}},    {{10, 5}, -90, {-5, 10}},
    };
    for (const Case& c : cases) {
        TPoint r;
        RotatePoint(c.p, r, Radians(c.degrees));
        EXPECT_EQ(r, c.r) << c.degrees;
    }
}

TEST(Geometry, PlaceRotatedBoxBringsTheBoundingBoxToTheOrigin)
{
    // Between the quarter turns: the shift is minus the least turned corner,
    // e.g. at 150 degrees (200 cos 30, 200 sin 30 + 50 cos 30) = (173.2, 143.3).
    const std::pair<double, TPoint> cases[] = {
        {0, {100, 20}},   {90, {100, 220}},  {180, {300, 70}},  {270, {150, 20}}, {-90, {150, 20}}, {450, {100, 220}},
        {30, {100, 120}}, {120, {200, 218}}, {150, {273, 163}}, {210, {298, 63}}, {300, {143, 20}}, {-60, {143, 20}},
    };
    for (auto [degrees, expected] : cases) {
        TPoint r;
        PlaceRotatedBox({100, 20}, {200, 50}, r, Radians(degrees));
        EXPECT_EQ(r, expected) << degrees;
    }
}

TEST(Geometry, OffsetPointWrapsInsteadOfTrapping)
{
    TPoint r;
    OffsetPoint({2147483647, -2147483647 - 1}, {1, -1}, r);
    EXPECT_EQ(r, (TPoint{-2147483647 - 1, 2147483647}));
}

TEST(Geometry, InvalidTextRaisesFromEveryMeasure)
{
    for (auto measure : {+[] { Q_GetBarWidth(bcCodeEAN13, "12A", 1, 2.0, csNone); },
                         +[] { Q_GetCanvasWidth(bcCodeEAN13, "12A", 1, 2.0, csNone, 50, 0); },
                         +[] { Q_GetCanvasHeight(bcCodeEAN13, "12A", 1, 2.0, csNone, 50, 0); }}) {
        try {
            measure();
            ADD_FAILURE();
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, "12A : Barcode must be numeric.");
        }
    }
}

} // namespace
