// Clipping: whatever a canvas draws is cut to its clip rectangle, on the
// raster (shapes, lines, text at any angle, images) and in SVG documents;
// scopes narrow the clip and give it back.
#include "pixel_art.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

using namespace qb;

namespace {

// Every kind of drawing the raster does in its own way: a bar (a box fill),
// a slanted polygon, an outlined rectangle, a thick line, unturned text and
// text at 30 degrees on yellow cells, and an image.
void DrawEverything(TCanvas& canvas, const TBitmap& image)
{
    UseColor(canvas, clBlack);
    const TPoint bar[4] = {{2, 2}, {2, 30}, {5, 30}, {5, 2}};
    canvas.Polygon(bar, 4);
    const TPoint slanted[4] = {{8, 4}, {30, 10}, {26, 28}, {6, 22}};
    canvas.Polygon(slanted, 4);
    canvas.Pen().Color = clRed;
    canvas.Brush().SetColor(clBlue);
    canvas.Rectangle(32, 2, 46, 14);
    canvas.Pen().Width = 3;
    canvas.MoveTo(2, 36);
    canvas.LineTo(58, 44);
    canvas.Pen().Width = 1;
    canvas.Brush().SetColor(clYellow);
    canvas.Font().Size = 12;
    canvas.TextOut(30, 18, "Clip");
    LOGFONTA lf;
    GetObject(canvas.Font().Handle(), sizeof lf, &lf);
    lf.lfEscapement = 300;
    HFONT turned = CreateFontIndirect(&lf);
    SelectObject(canvas.Handle(), turned);
    canvas.TextOut(8, 60, "Turn");
    SelectObject(canvas.Handle(), canvas.Font().Handle());
    DeleteObject(turned);
    canvas.Draw(44, 30, image);
}

TEST(Clip, TheRasterKeepsEveryPixelOutsideAndDrawsEveryPixelInside)
{
    TBitmap image(12, 12);
    UseColor(image.Canvas(), clBlue);
    image.Canvas().FillRect({0, 0, 12, 12});
    TBitmap whole(64, 64);
    DrawEverything(whole.Canvas(), image);
    const TRect clips[] = {
        {12, 8, 40, 50},                 // cuts through every shape
        {20, 20, 20, 40},                // empty: nothing
        {-10, -10, 1000, 1000},          // beyond the image: everything
        NoClipRect,                      // none
        {INT_MIN, 33, INT_MAX, INT_MAX}, // a half-plane
    };
    for (const TRect& clip : clips) {
        TBitmap clipped(64, 64);
        clipped.Canvas().SetClipRect(clip);
        DrawEverything(clipped.Canvas(), image);
        EXPECT_EQ(clipped.Canvas().ClipRect(), clip);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const bool inside = x >= clip.Left && x < clip.Right && y >= clip.Top && y < clip.Bottom;
                ASSERT_EQ(clipped.ScanLine(y)[x], inside ? whole.ScanLine(y)[x] : 0xFFFFFFu)
                    << x << "," << y << " clipped to " << clip.Left << "," << clip.Top << "," << clip.Right << ","
                    << clip.Bottom;
            }
    }
}

TEST(Clip, ScopesNarrowTheClipAndGiveItBackAndANewSurfaceKeepsIt)
{
    TBitmap bitmap(10, 10);
    TCanvas& canvas = bitmap.Canvas();
    EXPECT_EQ(canvas.ClipRect(), NoClipRect);
    {
        TClipScope outer(canvas, {2, 2, 8, 8});
        EXPECT_EQ(canvas.ClipRect(), (TRect{2, 2, 8, 8}));
        {
            TClipScope inner(canvas, {5, -4, 20, 6});
            EXPECT_EQ(canvas.ClipRect(), (TRect{5, 2, 8, 6}));
            bitmap.SetSize(12, 12); // a new surface behind the same canvas
            UseColor(canvas, clBlack);
            canvas.FillRect({0, 0, 12, 12});
        }
        EXPECT_EQ(canvas.ClipRect(), (TRect{2, 2, 8, 8}));
    }
    EXPECT_EQ(canvas.ClipRect(), NoClipRect);
    Art expected(12, std::string(12, '.'));
    for (int y = 2; y < 6; ++y)
        expected[y].replace(5, 3, "###");
    EXPECT_EQ(PixelArt(bitmap), expected);
}

// A clip becomes a clip path and a group round what is drawn under it (boxes
// of a colour in one path); one that leaves the whole page drawable, or
// under which nothing is drawn, writes nothing.
TEST(Clip, SvgPutsWhatIsDrawnUnderAClipInAClippedGroup)
{
    const std::string path = testing::TempDir() + "clip_test_" + std::to_string(::getpid()) + ".svg";
    {
        TVectorDocument svg(TVectorFormat::Svg, path, 20, 15);
        TCanvas& canvas = svg.Canvas();
        UseColor(canvas, clBlack);
        canvas.SetClipRect({3, 2, 15, 11});
        canvas.FillRect({0, 0, 20, 4});
        canvas.FillRect({0, 6, 20, 8});
        canvas.SetClipRect({0, 0, 5, 5}); // nothing drawn under it
        canvas.SetClipRect({-5, 0, 25, 15});
        canvas.FillRect({1, 12, 2, 13});
        canvas.SetClipRect({30, 30, 40, 40}); // off the page: nothing shows
        canvas.FillRect({0, 0, 20, 15});
        svg.Close();
    }
    const std::string text = testsupport::ReadFile(path);
    std::remove(path.c_str());
    const std::string body = text.substr(text.find("viewBox"));
    EXPECT_EQ(body, "viewBox=\"0 0 20 15\">\n"
                    "<clipPath id=\"clip1\"><rect x=\"3\" y=\"2\" width=\"12\" height=\"9\"/></clipPath>\n"
                    "<g clip-path=\"url(#clip1)\">\n"
                    "<path d=\"M0 0H20V4H0ZM0 6H20V8H0Z\" fill=\"#000\"/>\n"
                    "</g>\n"
                    "<rect x=\"1\" y=\"12\" width=\"1\" height=\"1\" fill=\"#000\"/>\n"
                    "<clipPath id=\"clip2\"><rect x=\"20\" y=\"15\" width=\"0\" height=\"0\"/></clipPath>\n"
                    "<g clip-path=\"url(#clip2)\">\n"
                    "<rect x=\"0\" y=\"0\" width=\"20\" height=\"15\" fill=\"#000\"/>\n"
                    "</g>\n"
                    "</svg>\n");
}

} // namespace
