// TBitmap: a raster image on a cairo image surface.
#include "qbarcode/fileio.h"
#include "qbarcode/sysutils.h"
#include "raster/png.h"
#include "raster/raster_surface.h"

#include <cairo.h>

#include <algorithm>
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
    cairo_surface_t* surface = pixels ? cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(pixels),
                                                                            CAIRO_FORMAT_RGB24, width, height, stride)
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

TBitmap::TBitmap(int width, int height)
    : surface_(std::make_unique<gfx::RasterSurface>(nullptr)), canvas_(std::make_unique<TCanvas>())
{
    CanvasAccess::Attach(*canvas_, surface_.get());
    SetSize(width, height);
}

TBitmap::~TBitmap()
{
    CanvasAccess::Detach(*canvas_);
}

void TBitmap::SetSize(int width, int height)
{
    constexpr int kMaxSide = 32767; // cairo's limit for image surfaces
    if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide)
        throw Exception(Format("Invalid bitmap size %dx%d", {width, height}));
    if (width == width_ && height == height_)
        return;

    cairo_surface_t* image = nullptr;
    if (width > 0 && height > 0) {
        image = CreateWhiteSurface(width, height);
        gfx::PixelBuffer fresh{reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(image)),
                               cairo_image_surface_get_stride(image) / 4, width, height};
        const gfx::PixelBuffer& old = surface_->Pixels();
        for (int y = 0; y < std::min(height, old.height); ++y)
            std::memcpy(fresh.Row(y), old.Row(y), sizeof(std::uint32_t) * std::min(width, old.width));
        cairo_surface_mark_dirty(image);
    }
    auto surface = std::make_unique<gfx::RasterSurface>(image);
    if (image)
        cairo_surface_destroy(image); // the surface holds its own reference
    CanvasAccess::Attach(*canvas_, surface.get());
    surface_ = std::move(surface);
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
    return surface_->Pixels().Row(y);
}

std::string TBitmap::EncodePNG() const
{
    if (width_ == 0 || height_ == 0)
        throw Exception("Cannot save an empty bitmap");
    return gfx::EncodePng(surface_->Pixels());
}

void TBitmap::SaveToFile(const std::string& path) const
{
    WriteFileAtomically(path, EncodePNG());
}
