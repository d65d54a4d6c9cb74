#define ZX_USE_UTF8
#include "support/reader.h"

#include <ZXing/ReadBarcode.h>

#include <vector>

using namespace qb;

namespace testsupport {

Decoded ReadLinear(const std::uint32_t* const* rows, int width, int height, bool fullAscii)
{
    std::vector<std::uint8_t> lum(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint32_t rgb = rows[y][x];
            const unsigned r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
            lum[static_cast<std::size_t>(y) * width + x] =
                static_cast<std::uint8_t>((r * 299 + g * 587 + b * 114) / 1000);
        }
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::LinearCodes);
    hints.setTryHarder(true);
    hints.setTryRotate(true);
    hints.setTryDownscale(false);
    hints.setTryCode39ExtendedMode(fullAscii);
    const ZXing::Result result =
        ZXing::ReadBarcode(ZXing::ImageView(lum.data(), width, height, ZXing::ImageFormat::Lum), hints);
    Decoded d;
    d.found = result.isValid();
    if (d.found) {
        d.format = ZXing::ToString(result.format());
        d.text = result.text();
        d.symbology = result.symbologyIdentifier();
        d.bytes.assign(result.bytes().begin(), result.bytes().end());
    }
    return d;
}

Decoded ReadLinear(const TBitmap& bitmap, bool fullAscii)
{
    std::vector<const std::uint32_t*> rows(bitmap.Height());
    for (int y = 0; y < bitmap.Height(); ++y)
        rows[y] = bitmap.ScanLine(y);
    return ReadLinear(rows.data(), bitmap.Width(), bitmap.Height(), fullAscii);
}

} // namespace testsupport
