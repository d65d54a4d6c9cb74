// TBitmap: a raster image on a cairo image surface.
#include "graphics_internal.h"
#include "qbarcode/sysutils.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using gfx::CanvasAccess;

namespace {

// An image surface over memory of our own, white: cairo would clear its own
// memory first, a second pass over every pixel of each new bitmap.
cairo_surface_t* CreateWhiteSurface(int width, int height)
{
    const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, width);
    auto* pixels = static_cast<std::uint32_t*>(std::malloc(std::size_t(stride) * height));
    cairo_surface_t* surface =
        pixels ? cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(pixels), CAIRO_FORMAT_RGB24,
                                                     width, height, stride)
               : nullptr;
    static const cairo_user_data_key_t kPixelsKey{};
    if (!surface || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_set_user_data(surface, &kPixelsKey, pixels, std::free) != CAIRO_STATUS_SUCCESS) {
        if (surface)
            cairo_surface_destroy(surface);
        std::free(pixels);
        throw Exception(Format("Out of memory for a %dx%d bitmap", {width, height}));
    }
    std::fill(pixels, pixels + std::size_t(stride / 4) * height, 0xFFFFFFu);
    return surface;
}

} // namespace

TBitmap::TBitmap(int width, int height) : canvas_(std::make_unique<TCanvas>())
{
    CanvasAccess::AttachRaster(*canvas_, nullptr);
    SetSize(width, height);
}

TBitmap::~TBitmap() = default;

void TBitmap::SetSize(int width, int height)
{
    constexpr int kMaxSide = 32767; // cairo's limit for image surfaces
    if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide)
        throw Exception(Format("Invalid bitmap size %dx%d", {width, height}));
    if (width == width_ && height == height_)
        return;

    cairo_surface_t* surface = nullptr;
    if (width > 0 && height > 0) {
        surface = CreateWhiteSurface(width, height);
        gfx::PixelBuffer fresh{reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface)),
                               cairo_image_surface_get_stride(surface) / 4, width, height};
        gfx::PixelBuffer old = CanvasAccess::Pixels(*canvas_);
        for (int y = 0; y < std::min(height, old.height); ++y)
            std::memcpy(fresh.Row(y), old.Row(y), sizeof(std::uint32_t) * std::min(width, old.width));
        cairo_surface_mark_dirty(surface);
    }
    CanvasAccess::AttachRaster(*canvas_, surface);
    if (surface)
        cairo_surface_destroy(surface); // the canvas holds its own reference
    width_ = width;
    height_ = height;

    gfx::DeviceCaps caps;
    caps.width = caps.physicalWidth = width;
    caps.height = caps.physicalHeight = height;
    CanvasAccess::SetCaps(*canvas_, caps);
}

const std::uint32_t* TBitmap::ScanLine(int y) const
{
    if (y < 0 || y >= height_)
        return nullptr;
    return CanvasAccess::Pixels(*canvas_).Row(y);
}

std::string TBitmap::EncodePNG() const
{
    if (width_ == 0 || height_ == 0)
        throw Exception("Cannot save an empty bitmap");
    return gfx::EncodePng(CanvasAccess::Pixels(*canvas_));
}

void TBitmap::SaveToFile(const std::string& path) const
{
    std::string png = EncodePNG();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        throw Exception(Format("Cannot create file \"%s\": %s", {path, std::strerror(errno)}));
    bool ok = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    int error = errno;
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        std::remove(path.c_str());
        throw Exception(Format("Cannot write file \"%s\": %s", {path, std::strerror(error)}));
    }
}
