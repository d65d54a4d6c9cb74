// The retail caption: what we draw reads back with its add-on, the digits
// stand where the GS1 layout puts them, the guard bars run down, and the
// bounds hold every painted pixel at every quarter turn.
#include "qbarcode/retail.h"
#include "qbarcode/sysutils.h"
#include "support/reader.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace {

constexpr TColor kInk = clBlue, kCell = clYellow;
constexpr int kModule = 3, kHeight = 150, kQuiet = 14 * kModule;

struct Drawing {
    std::unique_ptr<TBitmap> bitmap;
    TRect bounds;          // where RetailSymbolBounds says the drawing lies on the bitmap
    int left = 0, top = 0; // the box of the bars at 0 degrees
};

Drawing Render(const qb::RetailSymbol& symbol, double angle, bool marks)
{
    TFont font;
    font.Color = kInk;
    font.Quality = fqNonAntialiased;
    TCanvas measuring;
    const TRect b = qb::RetailSymbolBounds(measuring, symbol, 0, 0, kHeight, &font, angle, marks);
    Drawing d;
    d.bitmap = std::make_unique<TBitmap>(b.Width() + 2 * kQuiet, b.Height() + 2 * kQuiet);
    d.left = kQuiet - b.Left;
    d.top = kQuiet - b.Top;
    qb::DrawRetailSymbol(d.bitmap->Canvas(), symbol, d.left, d.top, kHeight, &font, clBlack, clWhite, kCell, angle,
                         marks);
    d.bounds = {kQuiet, kQuiet, kQuiet + b.Width(), kQuiet + b.Height()};
    return d;
}

qb::RetailSymbol Encode(TBarType type, const std::string& text, const std::string& addOn = "")
{
    return qb::EncodeRetailSymbol(type, text, kModule, csNone, addOn);
}

// Numbers as printed under real symbols; the reader's text is the main
// symbol's digits, then a space and the add-on's.
TEST(RetailCaption, ReaderDecodesTheSymbolAndItsAddOn)
{
    struct Case {
        TBarType type;
        std::string text, addOn, read;
        double angle;
    };
    const Case cases[] = {
        {bcCodeEAN13, "5901234123457", "", "5901234123457", 0},
        {bcCodeEAN13, "5901234123457", "12", "5901234123457 12", 90},
        {bcCodeEAN13, "9780201379624", "52495", "9780201379624 52495", 0},
        {bcCodeUPC_A, "036000291452", "", "036000291452", 180},
        {bcCodeUPC_A, "036000291452", "34", "036000291452 34", 0},
        {bcCodeUPC_A, "987654321098", "52495", "987654321098 52495", 270},
        {bcCodeUPC_E0, "5056460", "", "05056460", 0},
        {bcCodeUPC_E0, "4252614", "12", "04252614 12", 0},
        {bcCodeUPC_E1, "1748810", "52495", "11748810 52495", 90},
        {bcCodeEAN8, "96385074", "", "96385074", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(BCData[c.type].Name) + " " + c.text + " " + c.addOn);
        const qb::RetailSymbol symbol = Encode(c.type, c.text, c.addOn);
        const Drawing d = Render(symbol, c.angle, true);
        const testsupport::Decoded read = testsupport::ReadWithAddOn(*d.bitmap);
        ASSERT_TRUE(read.found);
        EXPECT_EQ(read.text, c.read);
    }
}

// Runs of adjacent columns holding ink of the caption, within rows [y0, y1),
// as [first, last] columns relative to `x0` in modules (rounded down).
std::vector<std::pair<int, int>> Glyphs(TBitmap& bmp, int x0, int y0, int y1, int fromX = 0)
{
    std::vector<std::pair<int, int>> glyphs;
    bool inGlyph = false;
    for (int x = fromX; x < bmp.Width(); ++x) {
        bool ink = false;
        for (int y = std::max(y0, 0); y < std::min(y1, bmp.Height()) && !ink; ++y)
            ink = bmp.Canvas().Pixel(x, y) == kInk;
        if (ink && !inGlyph)
            glyphs.push_back({x - x0, x - x0});
        if (ink)
            glyphs.back().second = x - x0;
        inGlyph = ink;
    }
    return glyphs;
}

struct Group {
    int count;    // glyphs
    int from, to; // modules from the first bar: every glyph lies within
};

// The layout of GS1's figures, in modules from the main symbol's first bar:
// EAN-13's first digit left of the left guard, each half between its guards;
// UPC-A's first and last digits outside the guards and the digits between;
// UPC-E's number system and check digits outside.
TEST(RetailCaption, DigitsStandBetweenTheirGuards)
{
    struct Case {
        TBarType type;
        std::string text, addOn;
        std::vector<Group> under; // glyphs under the bars, left to right
        std::set<int> guardBars;  // bar modules that run down below the others
        int addOnDigits;
    };
    const Case cases[] = {
        {bcCodeEAN13, "5901234123457", "", {{1, -11, 0}, {6, 3, 45}, {6, 50, 92}}, {0, 2, 46, 48, 92, 94}, 0},
        {bcCodeEAN13, "5901234123457", "52495", {{1, -11, 0}, {6, 3, 45}, {6, 50, 92}}, {0, 2, 46, 48, 92, 94}, 5},
        {bcCodeEAN8, "96385074", "12", {{4, 3, 31}, {4, 36, 64}}, {0, 2, 32, 34, 64, 66}, 2},
        // First digit 0 in set A (2605): bars at 6, 7, 9; last digit 2 in set C (6061): 85, 86, 88, 89.
        {bcCodeUPC_A,
         "036000291452",
         "12",
         {{1, -9, 0}, {5, 10, 45}, {5, 50, 85}, {1, 95, 104}},
         {0, 2, 6, 7, 9, 46, 48, 85, 86, 88, 89, 92, 94},
         2},
        {bcCodeUPC_E0, "5056460", "", {{1, -9, 0}, {6, 3, 45}, {1, 51, 60}}, {0, 2, 46, 48, 50}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(BCData[c.type].Name) + " " + c.text + " " + c.addOn);
        const qb::RetailSymbol symbol = Encode(c.type, c.text, c.addOn);
        const Drawing d = Render(symbol, 0, false);
        TBitmap& bmp = *d.bitmap;
        ASSERT_EQ(bmp.Canvas().Pixel(d.left, d.top), clBlack); // the first bar

        // Under the bars: the groups, in order.
        const auto under = Glyphs(bmp, d.left, d.top + kHeight + 1, bmp.Height());
        std::size_t next = 0;
        for (const Group& g : c.under)
            for (int i = 0; i < g.count; ++i, ++next) {
                ASSERT_LT(next, under.size());
                EXPECT_GT(under[next].first, g.from * kModule) << "glyph " << next;
                EXPECT_LT(under[next].second, g.to * kModule) << "glyph " << next;
            }
        EXPECT_EQ(next, under.size());

        // Five modules below the bars only the guards (and UPC-A's outer
        // digits) stand, one module wide each.
        const int mainModules = c.type == bcCodeEAN8 ? 67 : c.type == bcCodeUPC_E0 ? 51 : 95;
        const int row = d.top + kHeight + 5 * kModule;
        std::set<int> bars;
        for (int x = 0; x < bmp.Width(); ++x)
            if (bmp.Canvas().Pixel(x, row) == clBlack && x >= d.left && (x - d.left) < mainModules * kModule)
                bars.insert((x - d.left) / kModule);
        EXPECT_EQ(bars, c.guardBars);
        EXPECT_EQ(bmp.Canvas().Pixel(d.left, row + 1), clWhite) << "the guards end five modules down";

        // The add-on's digits stand above its bars, within its width.
        const int addOnLeft = d.left + (mainModules + qb::kAddOnGap) * kModule;
        const auto above = Glyphs(bmp, addOnLeft, d.top, d.top + kHeight / 2, d.left + mainModules * kModule);
        ASSERT_EQ(static_cast<int>(above.size()), c.addOnDigits);
        for (const auto& [first, last] : above) {
            EXPECT_GE(first, 0);
            EXPECT_LT(last, (c.addOnDigits == 2 ? 20 : 47) * kModule);
        }
    }
}

// Every painted pixel lies within the bounds and every edge of the bounds
// is painted, at each quarter turn, with the quiet-zone marks.
TEST(RetailCaption, BoundsHoldEveryPaintedPixel)
{
    const std::pair<TBarType, std::string> symbols[] = {{bcCodeEAN13, "5901234123457"}, {bcCodeUPC_A, "036000291452"}};
    for (const auto& [type, text] : symbols)
        for (double angle : {0.0, 90.0, 180.0, 270.0}) {
            SCOPED_TRACE(std::string(BCData[type].Name) + " at " + std::to_string(angle));
            const Drawing d = Render(Encode(type, text, "52495"), angle, true);
            TRect painted{1 << 30, 1 << 30, -(1 << 30), -(1 << 30)};
            for (int y = 0; y < d.bitmap->Height(); ++y)
                for (int x = 0; x < d.bitmap->Width(); ++x)
                    if (d.bitmap->Canvas().Pixel(x, y) != clWhite) {
                        painted.Left = std::min(painted.Left, x), painted.Right = std::max(painted.Right, x + 1);
                        painted.Top = std::min(painted.Top, y), painted.Bottom = std::max(painted.Bottom, y + 1);
                    }
            EXPECT_EQ(painted.Left, d.bounds.Left);
            EXPECT_EQ(painted.Top, d.bounds.Top);
            EXPECT_EQ(painted.Right, d.bounds.Right);
            EXPECT_EQ(painted.Bottom, d.bounds.Bottom);
        }
}

TEST(RetailCaption, RefusesWhatItCannotDraw)
{
    struct Case {
        TBarType type;
        std::string text, addOn, message;
    };
    const Case cases[] = {
        {bcCode39, "ABC", "", "Wrong barcode type."},
        {bcCodeEAN13, "5901234123457", "123", "123 : an add-on has 2 or 5 digits."},
        {bcCodeEAN13, "5901234123457", "1a", "1a : Barcode must be numeric."},
        {bcCodeUPC_Supp5, "52495", "12", "12 : a supplement takes no add-on."},
        {bcCodeEAN13, "59012341234A", "", "59012341234A : Barcode must be numeric."},
    };
    for (const Case& c : cases) {
        try {
            Encode(c.type, c.text, c.addOn);
            ADD_FAILURE() << c.message;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, c.message);
        }
    }
}

} // namespace
