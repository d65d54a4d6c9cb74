// One drawing on two surfaces: the PDF of a barcode, rendered back with
// poppler at one pixel per unit, is the raster pixel for pixel.
#include "qbarcode/qbarcode.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace qb;

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 260, kHeight = 240;

void Draw(TCanvas& canvas, double angle)
{
    Q_DrawBar(canvas, bcCodeEAN13, "590123412345", 2, 2.0, csModulo10, 20, 15, 40, nullptr, tsNone, tpTopLeft, clBlack,
              clYellow, clWhite, angle);
}

TEST(Surfaces, PdfMatchesTheRasterPixelForPixel)
{
    const fs::path dir = fs::temp_directory_path() / ("qb-surf-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    for (double angle : {0.0, 90.0, 180.0, 270.0}) {
        SCOPED_TRACE(angle);
        TBitmap raster(kWidth, kHeight);
        Draw(raster.Canvas(), angle);

        const std::string pdf = (dir / "d.pdf").string();
        {
            TVectorDocument doc(TVectorFormat::Pdf, pdf, kWidth, kHeight);
            Draw(doc.Canvas(), angle);
            doc.Close();
        }
        const std::string prefix = (dir / "r").string();
        ASSERT_EQ(std::system(("pdftoppm -r 72 -aa no -aaVector no -singlefile " + pdf + " " + prefix).c_str()), 0);
        std::ifstream in(prefix + ".ppm", std::ios::binary);
        std::string magic;
        int w, h, max;
        in >> magic >> w >> h >> max;
        in.get();
        ASSERT_EQ(w, kWidth);
        ASSERT_EQ(h, kHeight);
        int differing = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int r = in.get(), g = in.get(), b = in.get();
                const TColor rendered = (b << 16) | (g << 8) | r;
                differing += rendered != raster.Canvas().Pixel(x, y);
            }
        EXPECT_EQ(differing, 0);
    }
    fs::remove_all(dir);
}

} // namespace
