// SVG, PDF, PostScript and EPS documents: the same drawing as on a raster,
// in vector units. PDF pages are rendered back with pdftoppm (poppler) and
// PostScript and EPS pages with Ghostscript when they are installed;
// svg_test.cpp reads SVG files back itself.
#include "pixel_art.h"
#include "qbarcode/graphics.h"
#include "qbarcode/sysutils.h"

#include "support/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include <cstdio>
#include <fstream>
#include <sstream>

using namespace qb;

namespace {

std::string TempPath(const std::string& name)
{
    return testing::TempDir() + "vector_test_" + name;
}

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::RunCommand;

// A field of pdfinfo's report ("Pages", "Page size").
std::string PdfInfo(const std::string& pdf, const std::string& field)
{
    std::istringstream report(RunCommand("pdfinfo " + pdf));
    for (std::string line; std::getline(report, line);)
        if (line.rfind(field + ":", 0) == 0)
            return Trim(line.substr(field.size() + 1));
    return "";
}

bool HavePoppler()
{
    return !RunCommand("command -v pdftoppm pdfinfo").empty();
}

bool HaveGhostscript()
{
    return !RunCommand("command -v gs").empty();
}

// The page formats, each with the file name it is written to.
struct PageFormat {
    TVectorFormat format;
    const char* extension;
};
constexpr PageFormat kPageFormats[] = {
    {TVectorFormat::Pdf, ".pdf"}, {TVectorFormat::PostScript, ".ps"}, {TVectorFormat::Eps, ".eps"}};

// Whether the renderer of a format is installed.
bool CanRender(TVectorFormat format)
{
    return format == TVectorFormat::Pdf ? HavePoppler() : HaveGhostscript();
}

// Page 1 rendered at `dpi` (PDF by poppler, PostScript and EPS by
// Ghostscript), sampled at the centre of each block of `scale` x `scale`
// device pixels, as pixel art.
Art RenderPdf(const std::string& pdf, int dpi, int scale)
{
    const std::string base = pdf + ".render";
    const std::string ext = pdf.substr(pdf.rfind('.'));
    if (ext == ".pdf")
        RunCommand("pdftoppm -r " + std::to_string(dpi) + " -f 1 -l 1 -singlefile " + pdf + " " + base);
    else
        RunCommand("gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=ppmraw -dFirstPage=1 -dLastPage=1 -r" +
                   std::to_string(dpi) + (ext == ".eps" ? " -dEPSCrop" : "") + " -sOutputFile=" + base + ".ppm " + pdf);
    std::string ppm = ReadFile(base + ".ppm");
    std::remove((base + ".ppm").c_str());
    std::istringstream header(ppm);
    std::string magic;
    int width = 0, height = 0, maxval = 0;
    header >> magic;
    while (header >> std::ws && header.peek() == '#') // Ghostscript's comment
        header.ignore(1 << 10, '\n');
    header >> width >> height >> maxval;
    const std::size_t start = static_cast<std::size_t>(header.tellg()) + 1;
    auto classify = [](unsigned r, unsigned g, unsigned b) {
        auto on = [](unsigned v) { return v > 192; };
        auto off = [](unsigned v) { return v < 64; };
        if (on(r) && on(g) && on(b))
            return '.';
        if (off(r) && off(g) && off(b))
            return '#';
        if (on(r) && off(g) && off(b))
            return 'R';
        if (off(r) && off(g) && on(b))
            return 'B';
        if (on(r) && on(g) && off(b))
            return 'Y';
        return '?';
    };
    Art art;
    for (int y = scale / 2; y < height; y += scale) {
        std::string row;
        for (int x = scale / 2; x < width; x += scale) {
            const unsigned char* p =
                reinterpret_cast<const unsigned char*>(&ppm[start + (std::size_t(y) * width + x) * 3]);
            row += classify(p[0], p[1], p[2]);
        }
        art.push_back(row);
    }
    return art;
}

// Shapes of every kind the library draws, with their pixel semantics.
void DrawShapes(TCanvas& canvas)
{
    UseColor(canvas, clBlack);
    const TPoint bars[][4] = {
        {{1, 1}, {1, 6}, {2, 6}, {2, 1}},   // 0 degrees, 2 columns
        {{4, 1}, {4, 6}, {4, 6}, {4, 1}},   // one column
        {{6, 7}, {10, 7}, {10, 6}, {6, 6}}, // 90 degrees
        {{13, 6}, {13, 1}, {11, 1}, {11, 6}}, {{18, 2}, {14, 2}, {14, 3}, {18, 3}},
    };
    for (const auto& bar : bars)
        canvas.Polygon(bar, 4);
    canvas.Pen().Color = clRed;
    canvas.Brush().SetColor(clBlue);
    canvas.Rectangle(1, 9, 6, 14);
    canvas.Brush().SetStyle(bsClear);
    const TPoint frame[4] = {{8, 9}, {8, 13}, {12, 13}, {12, 9}};
    canvas.Polygon(frame, 4);
    canvas.Brush().SetColor(clYellow);
    canvas.FillRect({14, 9, 17, 11});
    canvas.MoveTo(14, 13);
    canvas.LineTo(19, 13);
    canvas.LineTo(19, 8);
}

// The shapes, alone, cut by a clip (the raster keeps every pixel outside
// it, clip_test.cpp), under a clip lifted again, and beside an image, render
// to the raster's pixels in every page format.
TEST(VectorDocument, PagesCoverTheRasterPixelsInEveryFormat)
{
    TBitmap image(4, 3);
    UseColor(image.Canvas(), clBlue);
    image.Canvas().FillRect({0, 0, 4, 3});
    UseColor(image.Canvas(), clRed);
    image.Canvas().FillRect({1, 1, 2, 2});
    UseColor(image.Canvas(), clYellow);
    image.Canvas().FillRect({2, 1, 3, 2});
    const std::function<void(TCanvas&)> drawings[] = {
        [](TCanvas& canvas) { DrawShapes(canvas); },
        [](TCanvas& canvas) {
            canvas.SetClipRect({3, 2, 15, 11});
            DrawShapes(canvas);
        },
        [](TCanvas& canvas) {
            canvas.SetClipRect({0, 0, 9, 9});
            DrawShapes(canvas);
            canvas.SetClipRect(NoClipRect);
            UseColor(canvas, clRed);
            canvas.FillRect({15, 1, 19, 5});
        },
        [&](TCanvas& canvas) {
            DrawShapes(canvas);
            canvas.Draw(15, 0, image);
            canvas.Draw(-1, 12, image); // cut by the page
        },
    };
    for (const PageFormat& f : kPageFormats) {
        if (!CanRender(f.format))
            continue;
        for (std::size_t i = 0; i < std::size(drawings); ++i) {
            TBitmap bitmap(20, 15);
            drawings[i](bitmap.Canvas());
            const std::string path = TempPath("shapes" + std::to_string(i) + f.extension);
            TVectorDocument doc(f.format, path, 20, 15);
            drawings[i](doc.Canvas());
            doc.Close();
            EXPECT_EQ(RenderPdf(path, 72 * 4, 4), PixelArt(bitmap)) << path;
            std::remove(path.c_str());
        }
    }
}

TEST(VectorDocument, PdfThickPensKeepTheirWidth)
{
    if (!HavePoppler())
        GTEST_SKIP() << "pdftoppm not installed";
    const std::string path = TempPath("thick.pdf");
    TVectorDocument pdf(TVectorFormat::Pdf, path, 14, 14);
    DrawThickPens(pdf.Canvas());
    pdf.Close();
    EXPECT_EQ(RenderPdf(path, 72 * 4, 4), kThickPens);
    std::remove(path.c_str());
}

TEST(VectorDocument, PensOfEveryWidthCoverTheRasterPixelsInEveryFormat)
{
    TBitmap bitmap(kPenWidthsWidth, kPenWidthsHeight);
    DrawPenWidths(bitmap.Canvas());
    for (const PageFormat& f : kPageFormats) {
        if (!CanRender(f.format))
            continue;
        const std::string path = TempPath(std::string("pens") + f.extension);
        TVectorDocument doc(f.format, path, kPenWidthsWidth, kPenWidthsHeight);
        DrawPenWidths(doc.Canvas());
        doc.Close();
        EXPECT_EQ(RenderPdf(path, 72 * 4, 4), PixelArt(bitmap)) << path;
        std::remove(path.c_str());
    }
}

// Text cells, unturned and turned, and the glyphs in them land where the
// raster puts them, in every format; the PDF's text can be searched.
TEST(VectorDocument, TextLandsWhereTheRasterPutsItInEveryFormat)
{
    auto draw = [](TCanvas& canvas) {
        canvas.Brush().SetColor(clYellow);
        canvas.TextOut(3, 2, "42");
        LOGFONTA lf;
        GetObject(canvas.Font().Handle(), sizeof lf, &lf);
        lf.lfEscapement = 900;
        HFONT turned = CreateFontIndirect(&lf);
        SelectObject(canvas.Handle(), turned);
        canvas.TextOut(30, 30, "42");
        SelectObject(canvas.Handle(), canvas.Font().Handle());
        DeleteObject(turned);
    };
    TBitmap bitmap(50, 35);
    draw(bitmap.Canvas());
    const Art raster = PixelArt(bitmap);
    for (const PageFormat& f : kPageFormats) {
        if (!CanRender(f.format))
            continue;
        const std::string path = TempPath(std::string("text") + f.extension);
        TVectorDocument doc(f.format, path, 50, 35);
        draw(doc.Canvas());
        doc.Close();
        // Glyph edges differ between renderers; the cells must not, and the
        // glyphs in each half (one text unturned, one turned) must have
        // their ink where the raster's is, to half a pixel.
        const Art vector = RenderPdf(path, 72 * 4, 4);
        ASSERT_EQ(vector.size(), raster.size()) << path;
        double sums[2][2][3] = {}; // [half][vector, raster][count, x, y]
        for (std::size_t y = 0; y < raster.size(); ++y)
            for (std::size_t x = 0; x < raster[y].size(); ++x) {
                EXPECT_EQ(vector[y][x] == '.', raster[y][x] == '.') << path << " pixel " << x << "," << y;
                for (int k = 0; k < 2; ++k) {
                    const char c = k == 0 ? vector[y][x] : raster[y][x];
                    if (c == '.' || c == 'Y')
                        continue;
                    double* sum = sums[x < 25 ? 0 : 1][k];
                    sum[0] += 1, sum[1] += double(x), sum[2] += double(y);
                }
            }
        for (const auto& half : sums) {
            ASSERT_GT(half[0][0], 4) << path;
            ASSERT_GT(half[1][0], 4) << path;
            EXPECT_NEAR(half[0][1] / half[0][0], half[1][1] / half[1][0], 0.5) << path;
            EXPECT_NEAR(half[0][2] / half[0][0], half[1][2] / half[1][0], 0.5) << path;
        }
        if (f.format == TVectorFormat::Pdf) {
            EXPECT_EQ(Trim(RunCommand("pdftotext " + path + " - | tr -s ' \\n' ' '")), "42 42") << path;
        }
        std::remove(path.c_str());
    }
}

TEST(VectorDocument, PdfScalesEachAxisToItsResolution)
{
    if (!HavePoppler())
        GTEST_SKIP() << "pdftoppm not installed";
    const std::string path = TempPath("scaled.pdf");
    TVectorOptions options;
    options.PixelsPerInchX = 600;
    options.PixelsPerInchY = 1200;
    options.ScaleX = 72.0 / 600;
    options.ScaleY = 72.0 / 1200;
    TVectorDocument pdf(TVectorFormat::Pdf, path, 1200, 2400, options); // 2 x 2 inches
    TCanvas& canvas = pdf.Canvas();
    EXPECT_EQ(GetDeviceCaps(canvas.Handle(), LOGPIXELSX), 600);
    EXPECT_EQ(GetDeviceCaps(canvas.Handle(), LOGPIXELSY), 1200);
    UseColor(canvas, clBlack);
    canvas.FillRect({600, 0, 900, 1200}); // half an inch wide, one inch high
    pdf.Close();
    EXPECT_EQ(PdfInfo(path, "Page size"), "144 x 144 pts");
    Art art = RenderPdf(path, 20, 1); // 20 pixels per inch
    ASSERT_EQ(art.size(), 40u);
    EXPECT_EQ(art[0], std::string(20, '.') + std::string(10, '#') + std::string(10, '.'));
    EXPECT_EQ(art[19], art[0]);
    EXPECT_EQ(art[20], std::string(40, '.'));
    std::remove(path.c_str());
}

// A PDF or PostScript document has a page per NewPage and one more, blank
// or not, each with its text: readers count them, PostScript's comments too.
TEST(VectorDocument, DocumentsHaveAPagePerNewPageBlankOrNot)
{
    for (const PageFormat& f : {kPageFormats[0], kPageFormats[1]}) {
        if (!CanRender(f.format))
            continue;
        for (int pages : {1, 3}) {
            for (bool drawOnLast : {false, true}) {
                const std::string path = TempPath(std::string("pages") + f.extension);
                TVectorDocument doc(f.format, path, 100, 50);
                for (int i = 1; i < pages; ++i) {
                    doc.Canvas().TextOut(5, 5, "Page " + std::to_string(i));
                    doc.NewPage();
                }
                if (drawOnLast)
                    doc.Canvas().FillRect({0, 0, 10, 10});
                EXPECT_EQ(doc.PageCount(), pages);
                doc.Close();
                const std::string trace = path + (drawOnLast ? " drawn" : " blank");
                if (f.format == TVectorFormat::Pdf) {
                    EXPECT_EQ(PdfInfo(path, "Pages"), std::to_string(pages)) << trace;
                    if (pages > 1) {
                        EXPECT_EQ(Trim(RunCommand("pdftotext -f 2 -l 2 " + path + " -")), "Page 2") << trace;
                    }
                } else {
                    const std::string text = ReadFile(path);
                    EXPECT_NE(text.find("%%Pages: " + std::to_string(pages) + "\n"), std::string::npos) << trace;
                    EXPECT_EQ(Trim(RunCommand("gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=bbox " + path +
                                              " 2>&1 | grep -c HiResBoundingBox")),
                              std::to_string(pages))
                        << trace;
                }
                std::remove(path.c_str());
            }
        }
    }
}

TEST(VectorDocument, SvgIsInPixelsWithBarsAsRectangles)
{
    struct Case {
        double scaleX, scaleY;
        const char* size; // the root's size: the device pixels scaled
    };
    const Case cases[] = {
        {1, 1, "width=\"24px\" height=\"16px\" viewBox=\"0 0 24 16\">"},
        {0.5, 0.25, "width=\"12px\" height=\"4px\" viewBox=\"0 0 24 16\" preserveAspectRatio=\"none\">"},
    };
    for (const Case& c : cases) {
        const std::string path = TempPath("bar.svg");
        TVectorOptions options;
        options.ScaleX = c.scaleX;
        options.ScaleY = c.scaleY;
        TVectorDocument svg(TVectorFormat::Svg, path, 24, 16, options);
        UseColor(svg.Canvas(), clBlack);
        const TPoint bar[4] = {{2, 1}, {2, 6}, {3, 6}, {3, 1}};
        svg.Canvas().Polygon(bar, 4);
        EXPECT_THROW(svg.NewPage(), Exception);
        svg.Close();
        const std::string text = ReadFile(path);
        EXPECT_NE(text.find(c.size), std::string::npos) << text;
        EXPECT_NE(text.find("<rect x=\"2\" y=\"1\" width=\"2\" height=\"6\" fill=\"#000\"/>"), std::string::npos)
            << text;
        std::remove(path.c_str());
    }
}

TEST(VectorDocument, UnfinishedDocumentsLeaveNoFile)
{
    const std::string aborted = TempPath("aborted.pdf"), dropped = TempPath("dropped.ps"),
                      droppedEps = TempPath("dropped.eps");
    {
        TVectorDocument pdf(TVectorFormat::Pdf, aborted, 10, 10);
        pdf.Abort();
        EXPECT_FALSE(FileExists(aborted));
        EXPECT_THROW(pdf.Canvas().FillRect({0, 0, 1, 1}), Exception);
        TVectorDocument ps(TVectorFormat::PostScript, dropped, 10, 10);
        UseColor(ps.Canvas(), clBlack);
        ps.Canvas().FillRect({0, 0, 5, 5});
        ps.Canvas().TextOut(0, 0, "held");
        ps.NewPage();
        EXPECT_FALSE(FileExists(dropped)) << "the file appears only when closed";
        TVectorDocument eps(TVectorFormat::Eps, droppedEps, 10, 10);
        eps.Canvas().TextOut(0, 0, "held");
        EXPECT_THROW(eps.NewPage(), Exception);
    }
    EXPECT_FALSE(FileExists(dropped));
    EXPECT_FALSE(FileExists(droppedEps));
    const std::string svgPath = TempPath("dropped.svg");
    {
        TVectorDocument svg(TVectorFormat::Svg, svgPath, 10, 10);
    }
    EXPECT_FALSE(FileExists(svgPath));
    // Nor is any temporary file left behind.
    for (const auto& entry : std::filesystem::directory_iterator(testing::TempDir()))
        EXPECT_EQ(entry.path().filename().string().find("vector_test_dropped"), std::string::npos) << entry.path();
}

// A font of a document holds at most 256 glyphs: text with more distinct
// characters spreads over several, and a reader still finds every one.
TEST(VectorDocument, TextOfMoreGlyphsThanOneFontHoldsReadsBack)
{
    if (!CanRender(TVectorFormat::Pdf))
        GTEST_SKIP() << "no PDF reader";
    const std::string path = TempPath("many-glyphs.pdf");
    std::string expected;
    {
        TVectorDocument doc(TVectorFormat::Pdf, path, 1200, 400);
        char32_t c = 0x100; // Latin Extended, then Greek and Cyrillic: 300 letters
        for (int line = 0; line < 6; ++line) {
            std::string text;
            for (int i = 0; i < 50; ++i, ++c) {
                if (c == 0x180)
                    c = 0x410; // past Latin Extended-A
                text += static_cast<char>(0xC0 | (c >> 6));
                text += static_cast<char>(0x80 | (c & 0x3F));
            }
            doc.Canvas().TextOut(10, 10 + line * 60, text);
            expected += text;
        }
        doc.Close();
    }
    EXPECT_EQ(RunCommand("pdftotext " + path + " - | tr -d ' \\n\\f'"), expected);
    EXPECT_GE(std::stoi(Trim(RunCommand("pdffonts " + path + " | grep -c 'Type 3'"))), 2);
    std::remove(path.c_str());
}

// The header comments of PostScript and EPS are what page-layout programs
// read: a bounding box in whole points and a title that stays 7-bit text
// whatever it holds.
TEST(VectorDocument, PostScriptCommentsHoldWholePointBoxesAndCleanTitles)
{
    struct Case {
        TVectorFormat format;
        double scale;
        const char* title;
        const char* comments; // the lines expected, in order
    };
    const Case cases[] = {
        {TVectorFormat::Eps, 0.75, "Labels", "%%Title: Labels\n%%BoundingBox: 0 0 76 38\n"},
        {TVectorFormat::PostScript, 1, "Caf\xC3\xA9 (1)\n",
         "%%Title: (Caf\\303\\251 \\0501\\051\\012)\n%%BoundingBox: 0 0 101 50\n"},
    };
    for (const Case& c : cases) {
        const std::string path = TempPath(c.format == TVectorFormat::Eps ? "comments.eps" : "comments.ps");
        TVectorOptions options;
        options.ScaleX = options.ScaleY = c.scale;
        options.Title = c.title;
        TVectorDocument doc(c.format, path, 101, 50, options);
        doc.Canvas().FillRect({0, 0, 10, 10});
        doc.Close();
        std::string comments, line;
        std::istringstream lines(ReadFile(path));
        while (std::getline(lines, line))
            if (line.starts_with("%%Title") || line.find("BoundingBox") != std::string::npos)
                comments += line + "\n";
        EXPECT_EQ(comments, c.comments) << path;
        const std::string text = ReadFile(path);
        EXPECT_TRUE(std::all_of(text.begin(), text.begin() + static_cast<long>(text.find("%%EndComments")),
                                [](char ch) { return static_cast<unsigned char>(ch) < 0x80; }))
            << path;
        std::remove(path.c_str());
    }
}

TEST(VectorDocument, ErrorsNameTheFileAndTheState)
{
    for (TVectorFormat format : {TVectorFormat::Pdf, TVectorFormat::Svg}) {
        const std::string path = format == TVectorFormat::Pdf ? "/nonexistent-dir/out.pdf" : "/nonexistent-dir/out.svg";
        try {
            TVectorDocument doc(format, path, 10, 10);
            FAIL() << "no exception";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, "Cannot create file \"" + path + "\": No such file or directory");
        }
    }
    EXPECT_THROW(TVectorDocument(TVectorFormat::Svg, TempPath("empty.svg"), 0, 10), Exception);

    const std::string path = TempPath("closed.eps");
    TVectorDocument eps(TVectorFormat::Eps, path, 10, 10);
    eps.Close();
    try {
        eps.Canvas().TextOut(0, 0, "late");
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "The document is closed");
    }
    EXPECT_EQ(ReadFile(path).rfind("%!PS-Adobe-3.0 EPSF-3.0", 0), 0u);
    std::remove(path.c_str());
}

} // namespace
