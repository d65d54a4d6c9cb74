// Printing in millimetres and inches: conversions, measures, and a printed
// page rendered back to pixels.
#include "print_internal.h"
#include "qbarcode/qbarcode.h"
#include "qbarcode/sysutils.h"
#include "support/reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <tuple>

using namespace qb;

namespace fs = std::filesystem;

namespace {

class Printing : public testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("qb-print-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        Printer()->SetResolution(600, 600);
        Printer()->SetOutputFile((dir_ / "page.pdf").string());
    }
    void TearDown() override
    {
        if (Printer()->Printing())
            Printer()->Abort();
        Printer()->SetResolution(600, 600);
        Printer()->SetOutputFile("");
        fs::remove_all(dir_);
    }
    std::string Pdf() const { return (dir_ / "page.pdf").string(); }

    // A region of the printed page at the printer's resolution, as grey
    // levels (or 0xRRGGBB colours), through poppler's renderer.
    std::vector<std::vector<int>> Render(int x, int y, int w, int h, bool colour = false)
    {
        const std::string prefix = (dir_ / "render").string();
        const std::string cmd = std::string("pdftoppm ") + (colour ? "" : "-gray ") +
                                "-aa no -aaVector no -singlefile -rx " + std::to_string(Printer()->XResolution()) +
                                " -ry " + std::to_string(Printer()->YResolution()) + " -x " + std::to_string(x) +
                                " -y " + std::to_string(y) + " -W " + std::to_string(w) + " -H " + std::to_string(h) +
                                " " + Pdf() + " " + prefix;
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        std::ifstream in(prefix + (colour ? ".ppm" : ".pgm"), std::ios::binary);
        std::string magic;
        int width, height, maxval;
        in >> magic >> width >> height >> maxval;
        in.get();
        std::vector<std::vector<int>> rows(height, std::vector<int>(width));
        for (auto& row : rows)
            for (int& v : row) {
                v = in.get();
                if (colour) {
                    v = v << 8 | in.get();
                    v = v << 8 | in.get();
                }
            }
        return rows;
    }

    fs::path dir_;
};

TEST_F(Printing, ConversionsRoundOnceByTheResolutionOfTheirAxis)
{
    Printer()->SetResolution(600, 1200);
    EXPECT_EQ(PrinterPixelsPerInch(*Printer(), true), 600);
    EXPECT_EQ(PrinterPixelsPerInch(*Printer(), false), 1200);
    struct Case {
        std::int32_t (*convert)(double);
        double v;
        std::int32_t expected;
    };
    const Case cases[] = {
        {MmToPixelsX, 0.25, 6},                                                      // 5.906
        {MmToPixelsX, 15, 354},                                                      // 354.33
        {MmToPixelsY, 15, 709},                                                      // 708.66
        {InchToPixelsX, 0.01, 6}, {InchToPixelsY, 0.01, 12}, {PixelsToMmX, 800, 34}, // 33.87
        {PixelsToInchX, 800, 1},                                                     // 1.33
        {PixelsToMmY, 800, 17},                                                      // 16.93
        {PixelsToInchY, 1800, 2},                                                    // 1.5: the even neighbour
        {PixelsToInchX, 1500, 2},                                                    // 2.5: the even neighbour
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.convert(c.v), c.expected) << c.v;
    // Whatever does not fit 32 bits, also beyond what rounding can hold,
    // gets the one message.
    for (double v : {1e12, -1e12, 1e300, HUGE_VAL, -HUGE_VAL, double(NAN)}) {
        try {
            MmToPixelsX(v);
            ADD_FAILURE() << v;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, "Printer coordinate out of range.") << v;
        }
    }
}

TEST_F(Printing, MeasuresInUnits)
{
    // Code 128 B of 15 characters is 200 modules: 800 pixels at 4 pixels.
    const std::string text = "ABCDEFGHIJKLMNO";
    const double mm4 = 4 * 25.4 / 600, inch4 = 4.0 / 600;
    EXPECT_EQ(Q_GetPrnBarWidth(utMillimeter, bcCode128B, text, mm4, 2.0, csNone), 34.0);
    EXPECT_EQ(Q_GetPrnBarWidth(utInch, bcCode128B, text, inch4, 2.0, csNone), 1.0);
    EXPECT_EQ(Q_GetPrnBarWidth(static_cast<TUnits>(2), bcCode128B, text, mm4, 2.0, csNone), -1.0);
    EXPECT_EQ(Q_PrnCanvasWidth(static_cast<TUnits>(2), bcCode128B, text, mm4, 2.0, csNone, 15, 0), -1.0);
    EXPECT_EQ(Q_PrnCanvasHeight(static_cast<TUnits>(2), bcCode128B, text, mm4, 2.0, csNone, 15, 0), -1.0);

    // At 600 x 1200 the measures take the bar height along x: 354 pixels.
    Printer()->SetResolution(600, 1200);
    EXPECT_EQ(Q_PrnCanvasWidth(utMillimeter, bcCode128B, text, mm4, 2.0, csNone, 15, 0), 15.0);  // 354 -> 14.99
    EXPECT_EQ(Q_PrnCanvasHeight(utMillimeter, bcCode128B, text, mm4, 2.0, csNone, 15, 0), 17.0); // 800 -> 16.93
    EXPECT_EQ(Q_PrnCanvasWidth(utInch, bcCode128B, text, inch4, 2.0, csNone, 0.59, 0), 1.0);     // 354 -> 0.59
    EXPECT_EQ(Q_PrnCanvasHeight(utInch, bcCode128B, text, inch4, 2.0, csNone, 0.59, 0), 1.0);    // 800 -> 0.67
    // At 90 degrees the height routine measures about the bar height (354
    // pixels and rounding noise) but converts back by y's 1200 pixels: 7.5.
    EXPECT_EQ(Q_PrnCanvasHeight(utMillimeter, bcCode128B, text, mm4, 2.0, csNone, 15, 90), 8.0);
}

TEST_F(Printing, NeedsARunningJob)
{
    EXPECT_THROW(Q_PrintBar(utMillimeter, bcCodeEAN13, "1", 0.25, 2.0, csNone, 10, 10, 15, nullptr, tsNone, tpTopLeft,
                            clBlack, clWhite, clWhite, 0),
                 Exception);
    EXPECT_FALSE(fs::exists(Pdf()));
}

// The page rendered back at the printer's resolution: the bars stand where
// the conversions put them, each module is whole printer pixels, and the
// reader decodes them.
TEST_F(Printing, PrintedPageHasTheBarsWhereTheyWerePut)
{
    struct Case {
        int dpiX, dpiY;
        TUnits units;
        double left, top, modul, height;
        int x, y, m, h; // the same in printer pixels
    };
    const Case cases[] = {
        {600, 600, utMillimeter, 20, 30, 0.25, 15, 472, 709, 6, 354},
        {600, 1200, utMillimeter, 20, 30, 0.25, 15, 472, 1417, 6, 709},
        {600, 600, utInch, 1, 0.5, 0.01, 0.5, 600, 300, 6, 300},
        {300, 300, static_cast<TUnits>(7), 100, 120, 3, 150, 100, 120, 3, 150}, // pixels as given
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dpiX << "x" << c.dpiY << " units " << c.units);
        Printer()->SetResolution(c.dpiX, c.dpiY);
        Printer()->BeginDoc();
        Q_PrintBar(c.units, bcCodeEAN13, "590123412345", c.modul, 2.0, csModulo10, c.left, c.top, c.height, nullptr,
                   tsNone, tpTopLeft, clBlack, clWhite, clWhite, 0);
        Printer()->EndDoc();
        const int w = 95 * c.m, margin = 20 * c.m;
        const auto rows = Render(c.x - margin, c.y - margin, w + 2 * margin, c.h + 1 + 2 * margin);
        // Dark pixels span exactly the symbol: W columns, h + 1 rows.
        int left = INT32_MAX, right = -1, top = INT32_MAX, bottom = -1;
        for (int y = 0; y < static_cast<int>(rows.size()); ++y)
            for (int x = 0; x < static_cast<int>(rows[y].size()); ++x)
                if (rows[y][x] < 128) {
                    left = std::min(left, x), right = std::max(right, x);
                    top = std::min(top, y), bottom = std::max(bottom, y);
                }
        EXPECT_NEAR(left, margin, 1);
        EXPECT_NEAR(right, margin + w - 1, 1);
        EXPECT_NEAR(top, margin, 1);
        EXPECT_NEAR(bottom, margin + c.h, 1);
        // The first guard bar is one module: m printer pixels, not resampled.
        int guard = 0;
        for (int x = left; x < static_cast<int>(rows[top + 5].size()) && rows[top + 5][x] < 128; ++x)
            ++guard;
        EXPECT_EQ(guard, c.m);

        std::vector<std::uint32_t> pixels;
        std::vector<const std::uint32_t*> lines;
        for (const auto& row : rows)
            for (int v : row)
                pixels.push_back(static_cast<std::uint32_t>(v) * 0x010101u);
        for (std::size_t y = 0; y < rows.size(); ++y)
            lines.push_back(pixels.data() + y * rows[0].size());
        const auto decoded =
            testsupport::ReadLinear(lines.data(), static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
        EXPECT_EQ(decoded.text, "5901234123457");
    }
}

// On a printer whose two resolutions differ, a turned caption runs along y
// in y pixels: it is measured along the direction it runs, so that placed
// right or centred it stays inside the bars' box, as on square pixels.
TEST_F(Printing, TurnedCaptionsStayAmongTheBarsOnNonSquarePixels)
{
    struct Case {
        double angle;
        TTextPosition position;
    };
    const Case cases[] = {{0, tpTopRight},      {0, tpBottomCenter},   {90, tpTopRight},
                          {90, tpBottomCenter}, {180, tpTopRight},     {180, tpBottomCenter},
                          {270, tpTopRight},    {270, tpBottomCenter}, {45, tpBottomCenter}};
    Printer()->SetResolution(600, 1200);
    // The caption's advance is about 690 pixels of 1200 dpi, the symbol 760
    // pixels (95 modules of 8 at 600 dpi): it fits only if measured in y
    // pixels when it runs along y.
    TFont font;
    font.Name = "DejaVu Sans";
    font.Size = 5;
    font.Color = clBlue;
    struct Box {
        int left = INT32_MAX, top = INT32_MAX, right = -1, bottom = -1;
        void Add(int x, int y)
        {
            left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
        }
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.angle << " degrees, position " << c.position);
        Printer()->BeginDoc();
        Q_PrintBar(utMillimeter, bcCodeEAN13, "590123412345", 0.33, 2.0, csModulo10, 40, 40, 20, &font, tsBarCode,
                   c.position, clBlack, clYellow, clRed, c.angle);
        Printer()->EndDoc();
        const auto rows = Render(845, 1790, 1500, 1500, true);
        Box bars, caption;
        for (int y = 0; y < static_cast<int>(rows.size()); ++y)
            for (int x = 0; x < static_cast<int>(rows[y].size()); ++x) {
                const int r = rows[y][x] >> 16, g = rows[y][x] >> 8 & 0xFF, b = rows[y][x] & 0xFF;
                if (b < 80 && (r < 80) == (g < 80)) // black bars, yellow spaces
                    bars.Add(x, y);
                else if ((r > 200 && g < 80 && b < 80) || (r < 80 && g < 80 && b > 200)) // red cell, blue ink
                    caption.Add(x, y);
            }
        ASSERT_GE(caption.right, 0);
        EXPECT_GE(caption.left, bars.left - 1);
        EXPECT_GE(caption.top, bars.top - 1);
        EXPECT_LE(caption.right, bars.right + 1);
        EXPECT_LE(caption.bottom, bars.bottom + 1);
    }
}

} // namespace

namespace {

// A symbol encoded at the printer's module prints and measures as the text
// does through the routines that encode it.
TEST_F(Printing, SymbolsPrintAsTheirText)
{
    Printer()->SetResolution(600, 1200);
    TFont font;
    font.Size = 8;
    const qb::EncodedSymbol symbol =
        qb::EncodeSymbol(bcCodeEAN13, "590123412345", PrinterPixels(utMillimeter, 0.25, true), 2.0, csModulo10);
    const TRect a = PrintedBounds(utMillimeter, bcCodeEAN13, "590123412345", 0.25, 2.0, csModulo10, 20, 30, 15, &font,
                                  tsBoth, tpBottomCenter, 90);
    const TRect b = qb::PrintedSymbolBounds(utMillimeter, symbol, 20, 30, 15, &font, tsBoth, tpBottomCenter, 90);
    EXPECT_EQ(std::tie(a.Left, a.Top, a.Right, a.Bottom), std::tie(b.Left, b.Top, b.Right, b.Bottom));

    // Side by side on one page, 30 mm apart (whole pixels both ways).
    Printer()->SetResolution(600, 600);
    Printer()->BeginDoc();
    Q_PrintBar(utMillimeter, bcCodeEAN13, "590123412345", 0.254, 2.0, csModulo10, 25.4, 25.4, 12.7, &font, tsBoth,
               tpBottomCenter, clBlack, clWhite, clWhite, 0);
    qb::PrintSymbol(utMillimeter, qb::EncodeSymbol(bcCodeEAN13, "590123412345", 6, 2.0, csModulo10), 25.4, 50.8, 12.7,
                    &font, tsBoth, tpBottomCenter, clBlack, clWhite, clWhite, 0);
    Printer()->EndDoc();
    const auto first = Render(580, 580, 640, 340), second = Render(580, 1180, 640, 340);
    EXPECT_EQ(first, second);
    int dark = 0;
    for (const auto& row : first)
        dark += static_cast<int>(std::count_if(row.begin(), row.end(), [](int v) { return v < 128; }));
    EXPECT_GT(dark, 30 * 6 * 300); // the bars are there
}

} // namespace
