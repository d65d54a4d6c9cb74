// Shapes on raster canvases: the coverage rule, the brush rule, clipping.
#include "pixel_art.h"
#include "qbarcode/graphics.h"
#include "qbarcode/sysutils.h"
#include "raster/pixels.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <vector>

using namespace qb;

namespace {

struct BarCase {
    const char* name;
    TPoint corners[4]; // in the order the barcode painter produces them
    TRect block;       // the pixels expected, Right and Bottom exclusive
};

// A bar w = 3 columns wide and h = 4 (so 5 rows) high, its frame corners
// (x, 0), (x, h), (x + w - 1, h), (x + w - 1, 0) turned by each quarter turn.
const BarCase kBars[] = {
    {"0 degrees", {{2, 1}, {2, 5}, {4, 5}, {4, 1}}, {2, 1, 5, 6}},
    {"90 degrees", {{1, 6}, {5, 6}, {5, 4}, {1, 4}}, {1, 4, 6, 7}},
    {"180 degrees", {{6, 5}, {6, 1}, {4, 1}, {4, 5}}, {4, 1, 7, 6}},
    {"270 degrees", {{5, 2}, {1, 2}, {1, 4}, {5, 4}}, {1, 2, 6, 5}},
    {"one column", {{3, 0}, {3, 7}, {3, 7}, {3, 0}}, {3, 0, 4, 8}},
    {"one row", {{0, 3}, {7, 3}, {7, 3}, {0, 3}}, {0, 3, 8, 4}},
    {"one pixel", {{5, 5}, {5, 5}, {5, 5}, {5, 5}}, {5, 5, 6, 6}},
};

TEST(RasterPolygon, BarCoversItsColumnsAndRowsExactly)
{
    for (const BarCase& bar : kBars) {
        SCOPED_TRACE(bar.name);
        TBitmap bitmap(8, 8);
        UseColor(bitmap.Canvas(), clBlack);
        bitmap.Canvas().Polygon(bar.corners, 4);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                bool inside = x >= bar.block.Left && x < bar.block.Right && y >= bar.block.Top && y < bar.block.Bottom;
                ASSERT_EQ(bitmap.Canvas().Pixel(x, y), inside ? clBlack : clWhite) << "pixel " << x << "," << y;
            }
    }
}

// Elements of widths 1..4 painted one after another, alternately black and
// white, over a red background: each pixel of the code belongs to exactly one.
TEST(RasterPolygon, ConsecutiveElementsAbutWithoutGapOrOverlap)
{
    const int widths[] = {1, 2, 3, 4, 1, 3};
    for (bool turned : {false, true}) {
        SCOPED_TRACE(turned ? "90 degrees" : "0 degrees");
        TBitmap bitmap(16, 16);
        TCanvas& canvas = bitmap.Canvas();
        canvas.Brush().SetColor(clRed);
        canvas.FillRect({0, 0, 16, 16});
        const int h = 3;
        int x = 0;
        std::string expected;
        for (int i = 0; i < 6; ++i) {
            const int w = widths[i];
            UseColor(canvas, i % 2 ? clWhite : clBlack);
            TPoint frame[4] = {{x, 0}, {x, h}, {x + w - 1, h}, {x + w - 1, 0}};
            if (turned) // about the bottom-left: frame x runs up the screen
                for (TPoint& p : frame)
                    p = {p.Y, 15 - p.X};
            canvas.Polygon(frame, 4);
            expected.append(w, i % 2 ? '.' : '#');
            x += w;
        }
        expected.append(16 - x, 'R');
        Art art = PixelArt(bitmap);
        for (int row = 0; row <= h; ++row) {
            std::string line;
            for (int i = 0; i < 16; ++i)
                line += turned ? art[15 - i][row] : art[row][i];
            EXPECT_EQ(line, expected) << "frame row " << row;
        }
        EXPECT_EQ(turned ? art[0][h + 1] : art[h + 1][0], 'R');
    }
}

TEST(RasterPolygon, PenOutlinesAndBrushFillsTheInterior)
{
    TBitmap bitmap(7, 6);
    TCanvas& canvas = bitmap.Canvas();
    const TPoint box[4] = {{1, 1}, {1, 4}, {5, 4}, {5, 1}};

    canvas.Pen().Color = clRed;
    canvas.Brush().SetColor(clBlue);
    canvas.Polygon(box, 4);
    EXPECT_EQ(PixelArt(bitmap), (Art{".......", ".RRRRR.", ".RBBBR.", ".RBBBR.", ".RRRRR.", "......."}));

    // A clear pen leaves the pixels whose centres are inside: the right and
    // bottom edges belong to the neighbours.
    canvas.Brush().SetColor(clWhite);
    canvas.FillRect({0, 0, 7, 6});
    canvas.Pen().Style = psClear;
    canvas.Brush().SetColor(clBlue);
    canvas.Polygon(box, 4);
    EXPECT_EQ(PixelArt(bitmap), (Art{".......", ".BBBB..", ".BBBB..", ".BBBB..", ".......", "......."}));
}

TEST(RasterPolygon, SettingTheColourMakesAClearBrushSolid)
{
    TBitmap bitmap(6, 5);
    TCanvas& canvas = bitmap.Canvas();
    const TPoint box[4] = {{1, 1}, {1, 3}, {4, 3}, {4, 1}};
    canvas.Pen().Color = clBlack;
    canvas.Brush().SetStyle(bsClear);
    canvas.Polygon(box, 4);
    EXPECT_EQ(PixelArt(bitmap), (Art{"......", ".####.", ".#..#.", ".####.", "......"}));

    canvas.Brush().SetStyle(bsClear);
    canvas.Brush().SetColor(clBlue);
    EXPECT_EQ(canvas.Brush().Style(), bsSolid);
    canvas.Polygon(box, 4);
    EXPECT_EQ(PixelArt(bitmap), (Art{"......", ".####.", ".#BB#.", ".####.", "......"}));
}

// A turned bar: every pixel whose centre lies inside is painted, and nothing
// is painted beyond the outline, which runs through the centres of the
// vertex pixels (half a pixel right of and below the vertices).
TEST(RasterPolygon, TurnedPolygonIsFilledWithoutSpill)
{
    const double angle = 30 * std::acos(-1.0) / 180;
    const double c = std::cos(angle), s = std::sin(angle);
    auto turn = [&](double x, double y) {
        return TPoint{static_cast<int>(std::lround(15 + x * c + y * s)),
                      static_cast<int>(std::lround(10 - x * s + y * c))};
    };
    const TPoint poly[4] = {turn(0, 0), turn(0, 20), turn(5, 20), turn(5, 0)};
    TBitmap bitmap(40, 40);
    UseColor(bitmap.Canvas(), clBlack);
    bitmap.Canvas().Polygon(poly, 4);

    double area = 0; // signed, to tell the inner side of the edges
    for (int i = 0; i < 4; ++i)
        area += double(poly[i].X) * poly[(i + 1) % 4].Y - double(poly[(i + 1) % 4].X) * poly[i].Y;
    auto distanceOutside = [&](double px, double py) {
        double worst = -1e9;
        for (int i = 0; i < 4; ++i) {
            const TPoint& a = poly[i];
            const TPoint& b = poly[(i + 1) % 4];
            double ex = b.X - a.X, ey = b.Y - a.Y;
            double cross = ex * (py - a.Y) - ey * (px - a.X);
            worst = std::max(worst, (area > 0 ? -cross : cross) / std::hypot(ex, ey));
        }
        return worst; // negative inside
    };
    int painted = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            double d = distanceOutside(x + 0.5, y + 0.5);
            double fromOutline = distanceOutside(x, y);
            bool black = bitmap.Canvas().Pixel(x, y) == clBlack;
            painted += black;
            if (d < 0) {
                EXPECT_TRUE(black) << "inside pixel " << x << "," << y;
            } else if (std::min(d, fromOutline) > 0.75) {
                EXPECT_FALSE(black) << "spilled pixel " << x << "," << y;
            }
        }
    for (const TPoint& p : poly)
        EXPECT_EQ(bitmap.Canvas().Pixel(p.X, p.Y), clBlack) << "vertex " << p.X << "," << p.Y;
    EXPECT_NEAR(painted, 6 * 21, 30);
}

TEST(RasterPolygon, HugeCoordinatesAreClipped)
{
    const TPoint everything[][4] = {
        {{INT_MIN, INT_MIN}, {INT_MIN, INT_MAX}, {INT_MAX, INT_MAX}, {INT_MAX, INT_MIN}},
        {{0, INT_MIN}, {INT_MAX, 0}, {0, INT_MAX}, {INT_MIN, 0}},
    };
    for (const auto& poly : everything) {
        TBitmap bitmap(6, 4);
        UseColor(bitmap.Canvas(), clBlack);
        bitmap.Canvas().Polygon(poly, 4);
        EXPECT_EQ(PixelArt(bitmap), (Art{"######", "######", "######", "######"}));
    }

    TBitmap bitmap(6, 4);
    TCanvas& canvas = bitmap.Canvas();
    UseColor(canvas, clBlack);
    const TPoint beam[4] = {{INT_MIN, 1}, {INT_MAX, 1}, {INT_MAX, 1}, {INT_MIN, 1}};
    canvas.Polygon(beam, 4);
    const TPoint diagonal[2] = {{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}};
    canvas.Polygon(diagonal, 2);
    const TPoint farAway[4] = {
        {INT_MIN, INT_MIN + 1000}, {INT_MAX - 1000, INT_MAX}, {INT_MAX - 1000, INT_MAX - 3}, {INT_MIN, INT_MIN + 997}};
    canvas.Polygon(farAway, 4);
    canvas.MoveTo(INT_MIN, 3);
    canvas.LineTo(INT_MAX, 3);
    EXPECT_EQ(PixelArt(bitmap), (Art{"#.....", "######", "..#...", "######"}));
}

// Boxes collected row by row must leave exactly what filling them one by one
// leaves: in order or reversed (bars at 0 and 180 degrees), overlapping,
// with gaps over a background of noise, clipped, and over other rows.
TEST(RowBoxes, WritesWhatFillingBoxByBoxWrites)
{
    const int w = 23, h = 11;
    std::mt19937 rng(7);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int trial = 0; trial < 300; ++trial) {
        std::vector<std::uint32_t> expected(w * h), actual;
        for (std::uint32_t& p : expected)
            p = rng() & 0xFFFFFF;
        actual = expected;
        const gfx::PixelBuffer one{expected.data(), w, w, h}, batched{actual.data(), w, w, h};
        gfx::RowBoxes rows;
        const int top = pick(-2, 4), bottom = pick(top, h + 2);
        int x = pick(-3, w);
        const int step = pick(0, 1) ? 1 : -1;
        for (int n = pick(1, 14); n > 0; --n) {
            const int width = pick(0, 4);
            const bool otherRows = pick(0, 7) == 0;
            const int y0 = otherRows ? pick(-1, h) : top, y1 = otherRows ? pick(y0 - 1, h) : bottom;
            const std::uint32_t color = rng() & 0xFFFFFF;
            gfx::FillBox(one, x, y0, x + width - 1, y1, color);
            rows.Add(batched, x, y0, x + width - 1, y1, color);
            x += step * (width + pick(-2, 2) * (pick(0, 3) == 0));
        }
        rows.Flush(batched);
        ASSERT_EQ(actual, expected) << "trial " << trial;
    }
}

TEST(RasterCanvas, RectangleFillRectAndLinesExcludeTheirEnd)
{
    TBitmap bitmap(8, 6);
    TCanvas& canvas = bitmap.Canvas();
    canvas.Pen().Color = clBlack;
    canvas.Brush().SetColor(clYellow);
    canvas.Rectangle(1, 1, 5, 5);
    canvas.Brush().SetColor(clBlue);
    canvas.FillRect({5, 0, 7, 2});
    canvas.Pen().Color = clRed;
    canvas.MoveTo(7, 5);
    canvas.LineTo(5, 5);
    canvas.LineTo(5, 3);
    EXPECT_EQ(canvas.PenPos(), (TPoint{5, 3}));
    EXPECT_EQ(PixelArt(bitmap), (Art{".....BB.", ".####BB.", ".#YY#...", ".#YY#...", ".####R..", ".....RRR"}));
}

TEST(RasterCanvas, DrawCopiesABitmapClipped)
{
    TBitmap stamp(2, 2);
    UseColor(stamp.Canvas(), clRed);
    stamp.Canvas().FillRect({0, 0, 1, 2});
    TBitmap bitmap(3, 3);
    bitmap.Canvas().Draw(2, 1, stamp);
    bitmap.Canvas().Draw(-1, -1, stamp);
    EXPECT_EQ(PixelArt(bitmap), (Art{"...", "..R", "..R"}));
}

TEST(RasterCanvas, ResizingKeepsTheOverlapAndWhitensTheRest)
{
    TBitmap bitmap(2, 2);
    UseColor(bitmap.Canvas(), clBlack);
    bitmap.Canvas().FillRect({0, 0, 2, 2});
    bitmap.SetSize(3, 1);
    EXPECT_EQ(PixelArt(bitmap), (Art{"##."}));
    EXPECT_EQ(GetDeviceCaps(bitmap.Canvas().Handle(), HORZRES), 3);
    EXPECT_THROW(bitmap.SetSize(-1, 2), Exception);
    bitmap.SetSize(0, 0);
    const TPoint line[2] = {{0, 0}, {5, 5}};
    bitmap.Canvas().Polygon(line, 2); // nothing to draw on, and no error
    EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), -1);
}

// Glyph coverage a mixes text colour t over d as round((t a + d (255 - a)) / 255)
// per channel, whether d is the precomputed background or not.
TEST(GlyphBlending, MixesEachChannelRounded)
{
    const std::uint32_t text = 0x1E90FF, background = 0xFFFFF0;
    gfx::GlyphBlender blender(text, background);
    gfx::GlyphImage dot{0, 0, 1, 1, {0}};
    for (std::uint32_t under : {background, 0x000000u, 0x7F3A05u}) {
        for (int a = 0; a < 256; ++a) {
            std::uint32_t pixel = under;
            gfx::PixelBuffer buf{&pixel, 1, 1, 1};
            dot.alpha[0] = static_cast<std::uint8_t>(a);
            blender.Blend(buf, dot, 0, 0, 0);
            for (int shift : {0, 8, 16}) {
                double t = text >> shift & 0xFF, d = under >> shift & 0xFF;
                ASSERT_EQ(pixel >> shift & 0xFF, std::lround((t * a + d * (255 - a)) / 255))
                    << "alpha " << a << " over " << std::hex << under << " channel " << std::dec << shift;
            }
        }
    }
}

TEST(Canvas, DrawingWithoutASurfaceRaises)
{
    TCanvas canvas;
    const TPoint box[4] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    EXPECT_THROW(canvas.Polygon(box, 4), Exception);
    EXPECT_THROW(canvas.TextOut(0, 0, "x"), Exception);
    EXPECT_THROW(canvas.FillRect({0, 0, 1, 1}), Exception);
    EXPECT_GT(canvas.TextWidth("x"), 0); // measuring needs no surface
    EXPECT_EQ(GetDeviceCaps(canvas.Handle(), LOGPIXELSY), 96);
}

} // namespace
