// Drawing checked pixel by pixel: element coverage, placement at every
// orientation, short bars, caption positions, and the canvas handed back.
#include "qbarcode/qbarcode.h"
#include "qbarcode/sysutils.h"

#include <gtest/gtest.h>

#include <functional>

using namespace qb;

namespace {

constexpr TColor kBar = clBlack, kSpace = clYellow, kCell = clRed, kInk = clBlue;

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -(1 << 30), bottom = -(1 << 30); // inclusive
    bool Empty() const { return right < left; }
    friend bool operator==(const Box&, const Box&) = default;
};

std::ostream& operator<<(std::ostream& os, const Box& b)
{
    return os << "[" << b.left << ".." << b.right << "] x [" << b.top << ".." << b.bottom << "]";
}

Box BoxOf(TBitmap& bmp, const std::function<bool(TColor)>& match)
{
    Box b;
    for (int y = 0; y < bmp.Height(); ++y)
        for (int x = 0; x < bmp.Width(); ++x)
            if (match(bmp.Canvas().Pixel(x, y))) {
                b.left = std::min(b.left, x);
                b.right = std::max(b.right, x);
                b.top = std::min(b.top, y);
                b.bottom = std::max(b.bottom, y);
            }
    return b;
}

bool Painted(TColor c)
{
    return c != clWhite;
}
bool Bars(TColor c)
{
    return c == kBar || c == kSpace;
}
bool Caption(TColor c)
{
    return c != clWhite && c != kBar && c != kSpace;
}

TFont& CaptionFont()
{
    static TFont font;
    font.Name = "DejaVu Sans";
    font.Size = 9;
    font.Color = kInk;
    return font;
}

void Draw(TBitmap& bmp, TBarType type, const std::string& text, int modul, int left, int top, int height, double angle,
          TTextShow show = tsNone, TTextPosition pos = tpTopLeft)
{
    Q_DrawBar(bmp.Canvas(), type, text, modul, 2.0, csNone, left, top, height, &CaptionFont(), show, pos, kBar, kSpace,
              kCell, angle);
}

// Every element is a solid block: the bars' box is fully painted and the
// count of bar pixels equals the bar modules times the height.
TEST(Q_DrawBar, OrientationsPlaceTheBoxAndTheBarStartEdge)
{
    const std::string text = "1234567";
    const int modul = 2, h = 40, left = 30, top = 25;
    const int w = Q_GetBarWidth(bcCodeEAN8, text, modul, 2.0, csNone);
    ASSERT_EQ(w, 134);
    struct Case {
        double angle;
        Box box;      // the painted pixels
        Box firstBar; // the first element (a 2-pixel guard bar)
    };
    const Case cases[] = {
        {0, {left, top, left + w - 1, top + h}, {left, top, left + 1, top + h}},
        {90, {left, top + 1, left + h, top + w}, {left, top + w - 1, left + h, top + w}},
        {180, {left + 1, top, left + w, top + h}, {left + w - 1, top, left + w, top + h}},
        {270, {left, top, left + h, top + w - 1}, {left, top, left + h, top + 1}},
        {-90, {left, top, left + h, top + w - 1}, {left, top, left + h, top + 1}},
        {450, {left, top + 1, left + h, top + w}, {left, top + w - 1, left + h, top + w}},
        {360, {left, top, left + w - 1, top + h}, {left, top, left + 1, top + h}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.angle);
        TBitmap bmp(250, 200);
        Draw(bmp, bcCodeEAN8, text, modul, left, top, h, c.angle);
        const Box box = BoxOf(bmp, Painted);
        EXPECT_EQ(box, c.box);
        int holes = 0, barPixels = 0;
        for (int y = box.top; y <= box.bottom; ++y)
            for (int x = box.left; x <= box.right; ++x) {
                holes += !Bars(bmp.Canvas().Pixel(x, y));
                barPixels += bmp.Canvas().Pixel(x, y) == kBar;
            }
        EXPECT_EQ(holes, 0);
        EXPECT_EQ(barPixels, 2 * 32 * (h + 1)); // the bars of 12345670 span 32 modules
        for (int y = c.firstBar.top; y <= c.firstBar.bottom; ++y)
            for (int x = c.firstBar.left; x <= c.firstBar.right; ++x)
                ASSERT_EQ(bmp.Canvas().Pixel(x, y), kBar) << x << "," << y;
    }
}

// PostNet's short bars stand on the far edge of the bars, whatever the angle.
TEST(Q_DrawBar, ShortBarsStandOnTheBaseline)
{
    // "1": codes 5 1 A 1 A 1 A 1 5 1 5 1 5; at module 2 the symbol is 38
    // pixels wide and the first short bar spans frame columns 6-7.
    struct Case {
        int height;
        double angle;
        TPoint painted, blank; // a pixel of the short bar and one above it
    };
    const int left = 10, top = 10;
    const Case cases[] = {
        {50, 0, {left + 6, top + 50}, {left + 6, top + 29}},
        {50, 0, {left + 7, top + 30}, {left + 7, top + 29}},
        {12, 0, {left + 6, top + 8}, {left + 6, top + 7}},
        {50, 90, {left + 50, top + 38 - 6}, {left + 29, top + 38 - 6}},
        {50, 180, {left + 38 - 6, top}, {left + 38 - 6, top + 21}},
        {50, 270, {left, top + 6}, {left + 21, top + 6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.height << " at " << c.angle);
        TBitmap bmp(150, 150);
        ASSERT_EQ(Q_GetBarWidth(bcCodePostNet, "1", 2, 2.0, csNone), 38);
        Draw(bmp, bcCodePostNet, "1", 2, left, top, c.height, c.angle);
        EXPECT_EQ(bmp.Canvas().Pixel(c.painted.X, c.painted.Y), kBar);
        EXPECT_EQ(bmp.Canvas().Pixel(c.blank.X, c.blank.Y), clWhite);
    }
}

// The caption's cell (TextColor), 117 x 15 pixels, in the bars' box of 200 x
// 60 at (60, 60): along the edge the position names, turned with the bars.
TEST(Q_DrawBar, CaptionPositionsAtEveryAngle)
{
    const std::string text = "ABCDEFGHIJKLMNO";
    ASSERT_EQ(Q_GetBarWidth(bcCode128B, text, 1, 2.0, csNone), 200);
    TBitmap probe(1, 1);
    probe.Canvas().Font().Assign(CaptionFont());
    ASSERT_EQ(probe.Canvas().TextWidth(text), 117);
    ASSERT_EQ(probe.Canvas().TextHeight(text), 15);
    struct Case {
        double angle;
        TTextPosition pos;
        Box cell;
    };
    const Case cases[] = {
        {0, tpTopLeft, {60, 60, 176, 74}},        {0, tpTopRight, {143, 60, 259, 74}},
        {0, tpTopCenter, {101, 60, 217, 74}},     {0, tpBottomLeft, {60, 106, 176, 120}},
        {0, tpBottomRight, {143, 106, 259, 120}}, {0, tpBottomCenter, {101, 106, 217, 120}},
        {90, tpTopLeft, {60, 143, 74, 259}},      {90, tpTopRight, {60, 61, 74, 177}},
        {90, tpTopCenter, {60, 102, 74, 218}},    {90, tpBottomLeft, {105, 143, 119, 259}},
        {90, tpBottomRight, {105, 61, 119, 177}}, {90, tpBottomCenter, {105, 102, 119, 218}},
        {180, tpTopLeft, {143, 106, 259, 120}},   {180, tpTopRight, {61, 106, 177, 120}},
        {180, tpTopCenter, {102, 106, 218, 120}}, {180, tpBottomLeft, {143, 60, 259, 74}},
        {180, tpBottomRight, {61, 60, 177, 74}},  {180, tpBottomCenter, {102, 60, 218, 74}},
        {270, tpTopLeft, {106, 60, 120, 176}},    {270, tpTopRight, {106, 142, 120, 258}},
        {270, tpTopCenter, {106, 101, 120, 217}}, {270, tpBottomLeft, {61, 60, 75, 176}},
        {270, tpBottomRight, {61, 142, 75, 258}}, {270, tpBottomCenter, {61, 101, 75, 217}},
        {-90, tpTopLeft, {105, 60, 119, 176}},    {-90, tpTopRight, {106, 142, 120, 258}},
        {-90, tpTopCenter, {105, 101, 119, 217}}, {-90, tpBottomLeft, {60, 61, 74, 177}},
        {-90, tpBottomRight, {61, 143, 75, 259}}, {-90, tpBottomCenter, {60, 102, 74, 218}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "angle " << c.angle << " position " << c.pos);
        TBitmap bmp(400, 400);
        Draw(bmp, bcCode128B, text, 1, 60, 60, 60, c.angle, tsBarCode, c.pos);
        EXPECT_EQ(BoxOf(bmp, Caption), c.cell);
    }
}

// (47 - 68) / 2 = -10.5 truncates to -10: the caption starts 10 pixels left
// of the bars.
TEST(Q_DrawBar, CaptionWiderThanTheBarsIsCentredByTruncation)
{
    TBitmap probe(1, 1);
    probe.Canvas().Font().Assign(CaptionFont());
    ASSERT_EQ(probe.Canvas().TextWidth("UPC Supp5"), 68);
    ASSERT_EQ(Q_GetBarWidth(bcCodeUPC_Supp5, "12345", 1, 2.0, csNone), 47);
    TBitmap bmp(200, 100);
    Draw(bmp, bcCodeUPC_Supp5, "12345", 1, 80, 20, 40, 0, tsBarType, tpTopCenter);
    EXPECT_EQ(BoxOf(bmp, Caption).left, 70);
}

TEST(Q_DrawBar, CaptionTexts)
{
    struct Case {
        TTextShow show;
        TBarType type;
        const char* text;
        TCheckSum cs;
        const char* shown;
    };
    const Case cases[] = {
        {tsBoth, bcCode39, "ABC", csNone, "Code39 ABC"},
        {tsBarCode, bcCode39, " ABC ", csNone, " ABC "},
        {tsBarType, bcCodeCodabar, "123", csNone, "Codebar"},
        {tsBarCode, bcCodeUPC_A, "03600029145", csModulo10, "036000291452"},
        {tsBarCode, bcCode128C, "123", csNone, "0123"},
    };
    TBitmap probe(1, 1);
    probe.Canvas().Font().Assign(CaptionFont());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        TBitmap bmp(400, 100);
        Q_DrawBar(bmp.Canvas(), c.type, c.text, 2, 2.0, c.cs, 0, 0, 60, &CaptionFont(), c.show, tpTopLeft, kBar, kSpace,
                  kCell, 0);
        const Box cell = BoxOf(bmp, Caption);
        EXPECT_EQ(cell.right - cell.left + 1, probe.Canvas().TextWidth(c.shown));
    }
}

TEST(Q_DrawBar, NoCaptionNeedsNoFont)
{
    TBitmap bmp(200, 80);
    Q_DrawBar(bmp.Canvas(), bcCodeEAN13, "590123412345", 1, 2.0, csModulo10, 0, 0, 50, nullptr, tsNone, tpTopLeft, kBar,
              kSpace, kCell, 0);
    EXPECT_TRUE(BoxOf(bmp, Caption).Empty());
    EXPECT_EQ(BoxOf(bmp, Painted), (Box{0, 0, 94, 50}));
    EXPECT_THROW(Q_DrawBar(bmp.Canvas(), bcCodeEAN13, "1", 1, 2.0, csNone, 0, 0, 50, nullptr, tsBarCode, tpTopLeft,
                           kBar, kSpace, kCell, 0),
                 Exception);
}

TEST(Q_DrawBar, CanvasStateIsHandedBack)
{
    TBitmap bmp(300, 100);
    TCanvas& canvas = bmp.Canvas();
    canvas.Font().Name = "DejaVu Serif";
    canvas.Font().Size = 14;
    canvas.Font().Color = clGreen;
    canvas.Pen().Color = clPurple;
    canvas.Pen().Width = 3;
    canvas.Brush().SetStyle(bsClear);
    auto expectRestored = [&] {
        EXPECT_EQ(canvas.Font().Name, "DejaVu Serif");
        EXPECT_EQ(canvas.Font().Size, 14);
        EXPECT_EQ(canvas.Font().Color, clGreen);
        EXPECT_EQ(canvas.Pen().Color, clPurple);
        EXPECT_EQ(canvas.Pen().Width, 3);
        EXPECT_EQ(canvas.Brush().Style(), bsClear);
    };
    // A clear brush on entry still gives filled bars.
    Draw(bmp, bcCode39, "AB", 1, 0, 0, 50, 0, tsBoth, tpBottomRight);
    expectRestored();
    EXPECT_EQ(canvas.Pixel(0, 25), kBar);
    EXPECT_EQ(canvas.Pixel(1, 25), kSpace);

    // A failing text draws nothing and leaves the canvas alone.
    TBitmap clean(300, 100);
    TCanvas& c2 = clean.Canvas();
    c2.Pen().Color = clPurple;
    try {
        Draw(clean, bcCodeEAN13, "12A", 1, 0, 0, 50, 0, tsBoth);
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "12A : Barcode must be numeric.");
    }
    EXPECT_TRUE(BoxOf(clean, Painted).Empty());
    EXPECT_EQ(c2.Pen().Color, clPurple);
}

TEST(Q_DrawBar, DrawingBeyondTheCanvasIsClipped)
{
    TBitmap bmp(50, 50);
    Draw(bmp, bcCode128B, "far away", 100000, 2000000000, 2000000000, 2000000000, 0, tsBoth, tpBottomRight);
    Draw(bmp, bcCode128B, "turned", 7, -2000000000, 40, 300, 1e6, tsBarCode, tpTopRight);
    EXPECT_TRUE(BoxOf(bmp, Painted).Empty());
    // Bars a million pixels high, turned, cover the whole canvas.
    Draw(bmp, bcCode128B, "clip me", 3, -200, -300, 1000000, 33.0, tsBoth, tpBottomCenter);
    EXPECT_EQ(BoxOf(bmp, Painted), (Box{0, 0, 49, 49}));
}

} // namespace

namespace {

TEST(DrawingBounds, MatchesThePaintedPixels)
{
    struct Case {
        TBarType type;
        const char* text;
        double angle;
        TTextShow show;
        TTextPosition pos;
        bool exact;
    };
    const Case cases[] = {
        {bcCodeEAN13, "590123412345", 0, tsBarCode, tpBottomCenter, true},
        {bcCodeEAN13, "590123412345", 90, tsBoth, tpTopRight, true},
        {bcCodeEAN13, "590123412345", 180, tsBarType, tpBottomLeft, true},
        {bcCodeEAN13, "590123412345", 270, tsBarCode, tpBottomRight, true},
        {bcCodeEAN13, "590123412345", -90, tsBarCode, tpTopCenter, true},
        {bcCodeUPC_Supp2, "12", 0, tsBoth, tpTopCenter, true}, // caption wider than the bars
        {bcCodeUPC_Supp2, "12", 270, tsBoth, tpBottomCenter, true},
        {bcCode_2_5_industrial, "123", 0, tsNone, tpTopLeft, true}, // ends with a space
        {bcCode128B, "Turned", 30, tsBarCode, tpBottomCenter, false},
        {bcCode128B, "Turned", -140, tsBoth, tpTopRight, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << BCData[c.type].Name << " at " << c.angle);
        TBitmap bmp(400, 400);
        Q_DrawBar(bmp.Canvas(), c.type, c.text, 2, 2.0, csNone, 120, 130, 50, &CaptionFont(), c.show, c.pos, kBar,
                  kSpace, kCell, c.angle);
        const Box painted = BoxOf(bmp, Painted);
        const TRect r = DrawingBounds(bmp.Canvas(), c.type, c.text, 2, 2.0, csNone, 120, 130, 50, &CaptionFont(),
                                      c.show, c.pos, c.angle);
        const Box bounds{r.Left, r.Top, r.Right - 1, r.Bottom - 1};
        if (c.exact) {
            EXPECT_EQ(bounds, painted);
        } else {
            EXPECT_LE(bounds.left, painted.left);
            EXPECT_LE(bounds.top, painted.top);
            EXPECT_GE(bounds.right, painted.right);
            EXPECT_GE(bounds.bottom, painted.bottom);
            EXPECT_LE(painted.left - bounds.left + bounds.right - painted.right, 2);
        }
    }
}

} // namespace
