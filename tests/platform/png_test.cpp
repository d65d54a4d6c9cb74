// PNG output, decoded again with Cairo's PNG reader.
#include "qbarcode/graphics.h"
#include "qbarcode/sysutils.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

using namespace qb;

namespace {

struct Decoded {
    int width = 0, height = 0, bitDepth = 0, colorType = 0;
    std::vector<std::uint32_t> pixels; // 0x00RRGGBB
};

Decoded Decode(const std::string& png)
{
    Decoded out;
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(png.at(i)); };
    out.bitDepth = byte(24);
    out.colorType = byte(25);
    struct Reader {
        const std::string& bytes;
        std::size_t pos = 0;
    } reader{png};
    cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(
        [](void* closure, unsigned char* data, unsigned int length) {
            auto* r = static_cast<Reader*>(closure);
            if (r->pos + length > r->bytes.size())
                return CAIRO_STATUS_READ_ERROR;
            std::copy_n(r->bytes.data() + r->pos, length, data);
            r->pos += length;
            return CAIRO_STATUS_SUCCESS;
        },
        &reader);
    EXPECT_EQ(cairo_surface_status(surface), CAIRO_STATUS_SUCCESS);
    out.width = cairo_image_surface_get_width(surface);
    out.height = cairo_image_surface_get_height(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            out.pixels.push_back(reinterpret_cast<const std::uint32_t*>(data + y * stride)[x] & 0xFFFFFF);
    cairo_surface_destroy(surface);
    return out;
}

struct PngCase {
    int width, height, colors;
    int bitDepth, colorType; // 3: paletted, 2: RGB
};

// Depth grows with the colour count; past 256 colours the image is RGB.
const PngCase kImages[] = {
    {1, 1, 1, 1, 3},  {9, 3, 2, 1, 3},   {13, 2, 2, 1, 3},    {7, 5, 3, 2, 3},
    {5, 5, 16, 4, 3}, {17, 2, 17, 8, 3}, {16, 16, 256, 8, 3}, {20, 20, 300, 8, 2},
};

TEST(Png, RoundTripsEveryPixelAtTheSmallestDepth)
{
    for (const PngCase& c : kImages) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + ", " + std::to_string(c.colors));
        TBitmap bitmap(c.width, c.height);
        TCanvas& canvas = bitmap.Canvas();
        std::vector<std::uint32_t> expected;
        for (int i = 0; i < c.width * c.height; ++i) {
            int k = i % c.colors;
            TColor color = TColor(k * 0x010307 % 0x1000000); // distinct for k < 300
            canvas.Brush().SetColor(color);
            canvas.FillRect({i % c.width, i / c.width, i % c.width + 1, i / c.width + 1});
            expected.push_back((color & 0xFF) << 16 | (color & 0xFF00) | (color >> 16 & 0xFF));
        }
        Decoded d = Decode(bitmap.EncodePNG());
        EXPECT_EQ(d.bitDepth, c.bitDepth);
        EXPECT_EQ(d.colorType, c.colorType);
        EXPECT_EQ(d.width, c.width);
        EXPECT_EQ(d.height, c.height);
        EXPECT_EQ(d.pixels, expected);
    }
}

// Bars over many identical rows, as a barcode is drawn, with the odd row
// that differs only in its last pixel: repeated rows are copies that
// compress to a reference to the row above, every other row is mapped.
TEST(Png, RepeatedRowsRoundTripAndCostAlmostNothing)
{
    struct Case {
        int colors; // of the bars; the background is white
        int bitDepth, colorType;
    };
    const Case cases[] = {{1, 1, 3}, {3, 2, 3}, {300, 8, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.colors);
        const int width = 302, height = 400;
        TBitmap bitmap(width, height);
        TCanvas& canvas = bitmap.Canvas();
        for (int x = 1; x < width - 1; ++x) {
            canvas.Brush().SetColor(TColor((x % c.colors) * 0x010307 % 0x1000000));
            canvas.FillRect({x, 0, x + 1, height});
        }
        canvas.Brush().SetColor(clBlack);
        for (int y : {0, 1, 150, height - 1})
            canvas.FillRect({width - 1, y, width, y + 1});
        std::vector<std::uint32_t> expected;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const TColor p = canvas.Pixel(x, y);
                expected.push_back((p & 0xFF) << 16 | (p & 0xFF00) | (p >> 16 & 0xFF));
            }
        const std::string png = bitmap.EncodePNG();
        const Decoded d = Decode(png);
        EXPECT_EQ(d.bitDepth, c.bitDepth);
        EXPECT_EQ(d.colorType, c.colorType);
        EXPECT_EQ(d.pixels, expected);
        if (c.colors == 1) {
            EXPECT_LT(png.size(), 300u) << "five distinct rows of 39 bytes";
        }
    }
}

TEST(Png, IncludesTurnedText)
{
    TBitmap bitmap(40, 20);
    TCanvas& canvas = bitmap.Canvas();
    LOGFONTA lf;
    GetObject(canvas.Font().Handle(), sizeof lf, &lf);
    lf.lfEscapement = 150; // not a quarter turn: drawn at its transform, not from cached glyphs
    HFONT turned = CreateFontIndirect(&lf);
    SelectObject(canvas.Handle(), turned);
    canvas.TextOut(2, 15, "Ag");
    DeleteObject(turned);
    Decoded d = Decode(bitmap.EncodePNG());
    int ink = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x) {
            TColor c = canvas.Pixel(x, y);
            ASSERT_EQ(d.pixels[y * 40 + x], std::uint32_t((c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF)));
            ink += c != clWhite;
        }
    EXPECT_GT(ink, 10);
}

TEST(Png, SaveToFileWritesTheEncodedBytes)
{
    TBitmap bitmap(3, 2);
    const std::string path = testing::TempDir() + "png_save_test.png";
    bitmap.SaveToFile(path);
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    EXPECT_EQ(bytes.str(), bitmap.EncodePNG());
    std::remove(path.c_str());
}

TEST(Png, FailuresNameTheProblem)
{
    TBitmap bitmap(3, 2);
    try {
        bitmap.SaveToFile("/nonexistent-dir/x.png");
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Cannot create file \"/nonexistent-dir/x.png\": No such file or directory");
    }
    TBitmap empty;
    EXPECT_THROW(empty.EncodePNG(), Exception);
}

} // namespace
