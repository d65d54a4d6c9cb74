// Prints "<format> <text>" for the one linear barcode in a PNG file, as the
// independent reader sees it; exits with 1 when it finds none.
#include "support/reader.h"

#include <cairo.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: qb_decode_png FILE.png\n");
        return 2;
    }
    cairo_surface_t* image = cairo_image_surface_create_from_png(argv[1]);
    if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "%s: %s\n", argv[1], cairo_status_to_string(cairo_surface_status(image)));
        cairo_surface_destroy(image);
        return 1;
    }
    cairo_surface_flush(image);
    const int width = cairo_image_surface_get_width(image);
    const int height = cairo_image_surface_get_height(image);
    const int stride = cairo_image_surface_get_stride(image);
    const unsigned char* data = cairo_image_surface_get_data(image);
    // An opaque PNG loads as 0xAARRGGBB words, which the reader takes as they are.
    std::vector<const std::uint32_t*> rows(height);
    for (int y = 0; y < height; ++y)
        rows[y] = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::size_t>(y) * stride);
    const testsupport::Decoded decoded = testsupport::ReadLinear(rows.data(), width, height);
    cairo_surface_destroy(image);
    if (!decoded.found) {
        std::fprintf(stderr, "%s: no barcode found\n", argv[1]);
        return 1;
    }
    std::printf("%s %s\n", decoded.format.c_str(), decoded.text.c_str());
    return 0;
}
