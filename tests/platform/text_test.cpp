// Fonts, font handles, device contexts and text output.
#include "pixel_art.h"
#include "qbarcode/graphics.h"
#include "text/face_lookup.h"
#include "text/layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>

using namespace qb;

namespace {

LOGFONTA RecordOf(HGDIOBJ font)
{
    LOGFONTA lf;
    EXPECT_EQ(GetObject(font, sizeof lf, &lf), int(sizeof lf));
    return lf;
}

struct FontCase {
    const char* name;
    int size, pixelsPerInch;
    TFontStyles style;
    int height, weight;
    std::uint8_t italic, underline, strikeOut;
};

// Heights: -round(Size * PixelsPerInch / 72).
const FontCase kFonts[] = {
    {"DejaVu Sans", 8, 96, 0, -11, FW_NORMAL, 0, 0, 0},
    {"DejaVu Sans", 8, 600, 0, -67, FW_NORMAL, 0, 0, 0},
    {"DejaVu Serif", 12, 96, fsBold | fsItalic, -16, FW_BOLD, 1, 0, 0},
    {"DejaVu Sans Mono", 10, 96, fsUnderline | fsStrikeOut, -13, FW_NORMAL, 0, 1, 1},
    {"DejaVu Sans", -20, 96, 0, 27, FW_NORMAL, 0, 0, 0}, // a negative size gives a cell height
};

TEST(Font, HandleCarriesTheLogicalFontRecord)
{
    for (const FontCase& c : kFonts) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.size));
        TFont font;
        font.Name = c.name;
        font.Size = c.size;
        font.PixelsPerInch = c.pixelsPerInch;
        font.Style = c.style;
        LOGFONTA lf = RecordOf(font.Handle());
        EXPECT_EQ(lf.lfHeight, c.height);
        EXPECT_EQ(lf.lfWeight, c.weight);
        EXPECT_EQ(lf.lfItalic, c.italic);
        EXPECT_EQ(lf.lfUnderline, c.underline);
        EXPECT_EQ(lf.lfStrikeOut, c.strikeOut);
        EXPECT_EQ(lf.lfEscapement, 0);
        EXPECT_STREQ(lf.lfFaceName, c.name);
    }
}

TEST(Font, AssignKeepsTheResolutionAndCarriesThePointSize)
{
    TFont screen;
    screen.Size = 10;
    screen.SetHeight(-20);
    EXPECT_EQ(screen.Size, 15);
    TFont printer;
    printer.PixelsPerInch = 600;
    printer.Assign(screen);
    EXPECT_EQ(printer.PixelsPerInch, 600);
    EXPECT_EQ(printer.Height(), -125);
}

TEST(Font, HandleFollowsChangesAndFontsShareNothing)
{
    TFont font;
    HFONT first = font.Handle();
    EXPECT_EQ(font.Handle(), first);
    font.Style = fsBold;
    HFONT second = font.Handle();
    EXPECT_EQ(RecordOf(second).lfWeight, FW_BOLD);
    EXPECT_EQ(GetObject(first, sizeof(LOGFONTA), nullptr), 0) << "the replaced handle is gone";
    DeleteObject(second); // someone else deleted it: the font makes a new one
    EXPECT_EQ(RecordOf(font.Handle()).lfWeight, FW_BOLD);
}

TEST(Handles, StaleAndBogusHandlesAreRefused)
{
    auto canvas = std::make_unique<TCanvas>();
    HDC dc = canvas->Handle();
    LOGFONTA lf = RecordOf(canvas->Font().Handle());
    HFONT deleted = CreateFontIndirect(&lf);
    ASSERT_TRUE(DeleteObject(deleted));
    HFONT reused = CreateFontIndirect(&lf); // may take the deleted one's slot
    const HGDIOBJ bogus[] = {nullptr, deleted, reinterpret_cast<HGDIOBJ>(0x1234), reinterpret_cast<HGDIOBJ>(dc),
                             reinterpret_cast<HGDIOBJ>(~std::uintptr_t(0))};
    for (HGDIOBJ h : bogus) {
        LOGFONTA out;
        EXPECT_EQ(GetObject(h, sizeof out, &out), 0);
        EXPECT_EQ(SelectObject(dc, h), nullptr);
        EXPECT_FALSE(DeleteObject(h));
    }
    EXPECT_EQ(GetObject(reused, sizeof lf, &lf), int(sizeof lf));
    EXPECT_EQ(CreateFontIndirect(nullptr), nullptr);
    EXPECT_EQ(SelectObject(reinterpret_cast<HDC>(reused), reused), nullptr);

    canvas.reset();
    EXPECT_EQ(SelectObject(dc, reused), nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 0);
    EXPECT_TRUE(DeleteObject(reused));
}

TEST(DeviceContext, SelectedFontStaysUntilTheCanvasFontChanges)
{
    TBitmap bitmap(10, 10);
    TCanvas& canvas = bitmap.Canvas();
    const int normal = canvas.TextWidth("WWWW");
    LOGFONTA lf = RecordOf(canvas.Font().Handle());
    lf.lfHeight *= 2;
    HFONT big = CreateFontIndirect(&lf);
    HGDIOBJ previous = SelectObject(canvas.Handle(), big);
    EXPECT_EQ(previous, canvas.Font().Handle());
    EXPECT_GT(canvas.TextWidth("WWWW"), normal * 3 / 2);
    canvas.Brush().SetColor(clRed);
    canvas.Pen().Width = 3;
    EXPECT_GT(canvas.TextWidth("WWWW"), normal * 3 / 2) << "pens and brushes leave the font alone";

    canvas.Font().Color = clRed;
    EXPECT_EQ(canvas.TextWidth("WWWW"), normal);
    EXPECT_EQ(SelectObject(canvas.Handle(), big), canvas.Font().Handle());
    EXPECT_EQ(SelectObject(canvas.Handle(), previous), big);
    EXPECT_TRUE(DeleteObject(big));
}

TEST(DeviceContext, DeletedFontKeepsWorkingWhileSelected)
{
    TBitmap bitmap(40, 20);
    TCanvas& canvas = bitmap.Canvas();
    LOGFONTA lf = RecordOf(canvas.Font().Handle());
    HFONT font = CreateFontIndirect(&lf);
    SelectObject(canvas.Handle(), font);
    ASSERT_TRUE(DeleteObject(font));
    EXPECT_NO_THROW(canvas.TextOut(0, 0, "ok"));
    EXPECT_EQ(GetObject(font, sizeof lf, &lf), 0);
}

TEST(TextMetrics, WidthsAddUpAndHeightIsTheFontCell)
{
    TCanvas canvas;
    EXPECT_EQ(canvas.TextWidth(""), 0);
    EXPECT_EQ(canvas.TextWidth("5901234") + canvas.TextWidth("123457"), canvas.TextWidth("5901234123457"));
    EXPECT_EQ(canvas.TextHeight("x"), canvas.TextHeight("Hg"));
    const int height = canvas.TextHeight("x");
    EXPECT_GE(height, 11); // at least the 11-pixel character height of 8 points
    EXPECT_LE(height, 16);

    canvas.Font().Size = 16;
    EXPECT_GT(canvas.TextHeight("x"), height * 3 / 2);

    LOGFONTA lf = RecordOf(canvas.Font().Handle());
    lf.lfHeight = 30; // positive: the cell height
    HFONT cell = CreateFontIndirect(&lf);
    SelectObject(canvas.Handle(), cell);
    EXPECT_NEAR(canvas.TextHeight("x"), 30, 1);
    canvas.Font().Size = 8;
    DeleteObject(cell);
}

TEST(TextMetrics, FontSizeFollowsTheDeviceResolution)
{
    TCanvas screen;
    TCanvas printer;
    printer.Font().PixelsPerInch = 600;
    const std::string text = "5901234123457";
    double ratio = double(printer.TextWidth(text)) / screen.TextWidth(text);
    EXPECT_NEAR(ratio, 600.0 / 96, 0.6);
}

TEST(TextMetrics, NonUtf8TextIsReadAsLatin1)
{
    TCanvas canvas;
    EXPECT_EQ(canvas.TextWidth("\xC4g"), canvas.TextWidth("\xC3\x84g"));
    EXPECT_GT(canvas.TextWidth("\xFF"), 0);
}

// The painted area of a text, with its turned character cell expected at
// each quarter turn about the reference point (30, 30).
struct TurnCase {
    std::int32_t escapement;
    TRect Cell(int x, int y, int w, int h) const
    {
        switch (escapement) {
        case 0:
            return {x, y, x + w, y + h};
        case 900:
            return {x, y - w, x + h, y};
        case 1800:
            return {x - w, y - h, x, y};
        default:
            return {x - h, y, x, y + w};
        }
    }
};

TRect PaintedBox(TBitmap& bitmap, int* count = nullptr)
{
    TRect box{bitmap.Width(), bitmap.Height(), 0, 0};
    int n = 0;
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x)
            if (bitmap.Canvas().Pixel(x, y) != clWhite) {
                box = {std::min(box.Left, x), std::min(box.Top, y), std::max(box.Right, x + 1),
                       std::max(box.Bottom, y + 1)};
                ++n;
            }
    if (count)
        *count = n;
    return box;
}

TEST(TextOut, OpaqueCellTurnsWithTheEscapement)
{
    for (std::int32_t escapement : {0, 900, 1800, 2700, 4500, -900}) {
        SCOPED_TRACE(escapement);
        TBitmap bitmap(60, 60);
        TCanvas& canvas = bitmap.Canvas();
        const int w = canvas.TextWidth("12"), h = canvas.TextHeight("12");
        LOGFONTA lf = RecordOf(canvas.Font().Handle());
        lf.lfEscapement = lf.lfOrientation = escapement;
        HFONT turned = CreateFontIndirect(&lf);
        HGDIOBJ previous = SelectObject(canvas.Handle(), turned);
        canvas.Brush().SetColor(clYellow);
        canvas.TextOut(30, 30, "12");
        SelectObject(canvas.Handle(), previous);
        DeleteObject(turned);

        const TRect cell = TurnCase{((escapement % 3600) + 3600) % 3600}.Cell(30, 30, w, h);
        int painted = 0;
        EXPECT_EQ(PaintedBox(bitmap, &painted), cell);
        EXPECT_EQ(painted, w * h) << "the whole cell is filled";
        std::set<TColor> colors;
        for (int y = cell.Top; y < cell.Bottom; ++y)
            for (int x = cell.Left; x < cell.Right; ++x)
                colors.insert(canvas.Pixel(x, y));
        EXPECT_TRUE(colors.count(clYellow) && colors.count(clBlack)) << "cell and glyphs";
    }
}

TEST(TextOut, ClearBrushDrawsOnlyTheGlyphsInsideTheCell)
{
    TBitmap bitmap(60, 30);
    TCanvas& canvas = bitmap.Canvas();
    canvas.Brush().SetStyle(bsClear);
    canvas.Font().Color = clRed;
    canvas.Font().Quality = fqNonAntialiased;
    canvas.TextOut(5, 5, "1234");
    EXPECT_EQ(canvas.PenPos(), (TPoint{5 + canvas.TextWidth("1234"), 5}));
    int painted = 0;
    TRect box = PaintedBox(bitmap, &painted);
    EXPECT_GT(painted, 20);
    EXPECT_GE(box.Left, 5);
    EXPECT_GE(box.Top, 5);
    EXPECT_LE(box.Right, 5 + canvas.TextWidth("1234"));
    EXPECT_LE(box.Bottom, 5 + canvas.TextHeight("1234"));
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x)
            ASSERT_TRUE(canvas.Pixel(x, y) == clWhite || canvas.Pixel(x, y) == clRed) << "aliased text, one colour";
}

TEST(TextOut, StyledTextIsAntialiasedAndUnderlined)
{
    TBitmap plain(60, 20), underlined(60, 20);
    plain.Canvas().TextOut(2, 2, "abc");
    underlined.Canvas().Font().Style = fsUnderline;
    underlined.Canvas().TextOut(2, 2, "abc");
    std::set<TColor> colors;
    int differing = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 60; ++x) {
            colors.insert(plain.Canvas().Pixel(x, y));
            differing += plain.Canvas().Pixel(x, y) != underlined.Canvas().Pixel(x, y);
        }
    EXPECT_GT(colors.size(), 3u) << "grey levels at the glyph edges";
    EXPECT_GE(differing, plain.Canvas().TextWidth("abc") - 4) << "a line under the whole text";
}

TEST(TextOut, AnyAngleFillsTheTurnedCell)
{
    TBitmap bitmap(80, 80);
    TCanvas& canvas = bitmap.Canvas();
    const int w = canvas.TextWidth("5901234"), h = canvas.TextHeight("5901234");
    LOGFONTA lf = RecordOf(canvas.Font().Handle());
    lf.lfEscapement = 300;
    HFONT turned = CreateFontIndirect(&lf);
    SelectObject(canvas.Handle(), turned);
    canvas.Brush().SetColor(clYellow);
    canvas.TextOut(20, 60, "5901234");
    SelectObject(canvas.Handle(), canvas.Font().Handle());
    DeleteObject(turned);

    // Corners of the cell turned 30 degrees counter-clockwise about (20, 60).
    const double c = std::cos(std::acos(-1.0) / 6), s = std::sin(std::acos(-1.0) / 6);
    double xs[] = {20, 20 + w * c, 20 + w * c + h * s, 20 + h * s};
    double ys[] = {60, 60 - w * s, 60 - w * s + h * c, 60 + h * c};
    int painted = 0;
    TRect box = PaintedBox(bitmap, &painted);
    EXPECT_NEAR(box.Left, *std::min_element(xs, xs + 4), 1.0);
    EXPECT_NEAR(box.Right, *std::max_element(xs, xs + 4), 1.0);
    EXPECT_NEAR(box.Top, *std::min_element(ys, ys + 4), 1.0);
    EXPECT_NEAR(box.Bottom, *std::max_element(ys, ys + 4), 1.0);
    EXPECT_NEAR(painted, w * h, (w + h) * 2);
}

} // namespace

namespace {

// The default family is opened from the files the build recorded, without
// fontconfig; every size (on both sides of the unhinted-below-7.5-pixels
// rule), style and quality must find the face fontconfig finds, with the
// settings fontconfig gives it, so that the glyphs are the same.
TEST(FontLookup, DefaultFamilyFromItsRecordedFilesMatchesFontconfig)
{
    if (gfx::DefaultFaceFile(false, false).empty())
        GTEST_SKIP() << "the default family is not installed where the build found it";
    for (double em : {5.0, 7.0, 7.5, 8.0, 11.0, 13.0, 67.0, 300.0})
        for (int style = 0; style < 4; ++style)
            for (bool antialias : {true, false}) {
                SCOPED_TRACE(testing::Message() << "em " << em << " style " << style << " antialias " << antialias);
                const bool bold = style & 1, italic = style & 2;
                const gfx::HintStyle hint = antialias ? gfx::HintStyle::Slight : gfx::HintStyle::Full;
                const gfx::FoundFace direct = gfx::FindFace("dejavu sans", bold, italic, em, antialias, hint);
                const gfx::FoundFace fontconfig = gfx::FindFace("DejaVu Sans", bold, italic, em, antialias, hint, true);
                EXPECT_EQ(std::filesystem::canonical(direct.file), std::filesystem::canonical(fontconfig.file));
                EXPECT_EQ(direct.index, fontconfig.index);
                EXPECT_EQ(direct.options.embolden, fontconfig.options.embolden);
                const gfx::RenderOptions own{antialias ? gfx::Antialias::Gray : gfx::Antialias::None, hint, 0, false};
                const gfx::MergedOptions a = gfx::MergeOptions(own, direct.options),
                                         b = gfx::MergeOptions(own, fontconfig.options);
                EXPECT_EQ(a.loadFlags, b.loadFlags);
                EXPECT_EQ(a.antialias, b.antialias);
            }
}

TEST(FontLookup, FamiliesResolveToInstalledOnesOrAreReported)
{
    struct Case {
        const char* family;
        bool installed;
    };
    const Case cases[] = {
        {"DejaVu Sans", true},      {"dejavu  sans", true},  {"DejaVu Serif", true},
        {"DejaVu Sans Mono", true}, {"sans-serif", true},    {"monospace", true},
        {"NoSuchFont", false},      {"DejaVu Sansx", false}, {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FontFamilyInstalled(c.family), c.installed) << c.family;
    const std::vector<std::string> families = InstalledFontFamilies();
    EXPECT_TRUE(std::is_sorted(families.begin(), families.end()));
    EXPECT_NE(std::find(families.begin(), families.end(), "DejaVu Sans"), families.end());
}

} // namespace
