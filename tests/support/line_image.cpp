#include "support/line_image.h"

#include <zbar.h>

#include <cstdlib>

using namespace qb;

using namespace zbar;

namespace testsupport {

LineImage PaintLineCodes(std::string_view lineCodes, int pixelsPerModule, int height)
{
    std::vector<bool> bars(10, false);
    for (char code : lineCodes) {
        const bool bar = code >= '5' && code <= '8';
        const int modules = bar ? code - '5' + 1 : code - '0' + 1;
        bars.insert(bars.end(), static_cast<std::size_t>(modules), bar);
    }
    bars.insert(bars.end(), 10, false);
    LineImage image;
    image.width = static_cast<int>(bars.size()) * pixelsPerModule;
    image.height = height;
    image.pixels.assign(static_cast<std::size_t>(image.width) * height, 0xFFFFFF);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (bars[static_cast<std::size_t>(x / pixelsPerModule)])
                image.pixels[static_cast<std::size_t>(y) * image.width + x] = 0x000000;
    return image;
}

Decoded ReadWithZxing(const LineImage& image)
{
    std::vector<const std::uint32_t*> rows;
    for (int y = 0; y < image.height; ++y)
        rows.push_back(image.pixels.data() + static_cast<std::size_t>(y) * image.width);
    return ReadLinear(rows.data(), image.width, image.height);
}

Decoded ReadWithZbar(const LineImage& image)
{
    const std::size_t size = image.pixels.size();
    // zbar takes ownership of the buffer and frees it with zbar_image_free_data.
    auto* grey = static_cast<unsigned char*>(std::malloc(size));
    for (std::size_t i = 0; i < size; ++i)
        grey[i] = static_cast<unsigned char>(image.pixels[i] & 0xFF);
    zbar_image_scanner_t* scanner = zbar_image_scanner_create();
    zbar_image_scanner_set_config(scanner, ZBAR_NONE, ZBAR_CFG_ENABLE, 0);
    zbar_image_scanner_set_config(scanner, ZBAR_CODE128, ZBAR_CFG_ENABLE, 1);
    zbar_image_t* img = zbar_image_create();
    zbar_image_set_format(img, zbar_fourcc('Y', '8', '0', '0'));
    zbar_image_set_size(img, static_cast<unsigned>(image.width), static_cast<unsigned>(image.height));
    zbar_image_set_data(img, grey, size, zbar_image_free_data);
    Decoded d;
    if (zbar_scan_image(scanner, img) > 0) {
        const zbar_symbol_t* symbol = zbar_image_first_symbol(img);
        d.found = true;
        d.format = zbar_get_symbol_name(zbar_symbol_get_type(symbol));
        d.text.assign(zbar_symbol_get_data(symbol), zbar_symbol_get_data_length(symbol));
        const unsigned modifiers = zbar_symbol_get_modifiers(symbol);
        d.symbology = (modifiers & (1u << ZBAR_MOD_GS1)) ? "]C1" : (modifiers & (1u << ZBAR_MOD_AIM)) ? "]C2" : "]C0";
    }
    zbar_image_destroy(img);
    zbar_image_scanner_destroy(scanner);
    return d;
}

} // namespace testsupport
