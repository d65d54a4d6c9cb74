// TBitmap: a raster image in memory.
#include "qbarcode/fileio.h"
#include "qbarcode/sysutils.h"
#include "raster/png.h"
#include "raster/raster_surface.h"

#include <algorithm>
#include <cstring>

namespace qb {

using gfx::CanvasAccess;

TBitmap::TBitmap(int width, int height)
    : surface_(std::make_unique<gfx::RasterSurface>(0, 0)), canvas_(std::make_unique<TCanvas>())
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
    constexpr int kMaxSide = 32767; // per side: a poster at printer resolution fits
    if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide)
        throw Exception(Format("Invalid bitmap size %dx%d", {width, height}));
    if (width == width_ && height == height_)
        return;

    auto surface = std::make_unique<gfx::RasterSurface>(width, height);
    const gfx::PixelBuffer& fresh = surface->Pixels();
    const gfx::PixelBuffer& old = surface_->Pixels();
    // An empty side has no rows to copy (and its buffer may be no memory at all).
    const int keep = std::min(width, old.width);
    for (int y = 0; keep > 0 && y < std::min(height, old.height); ++y)
        std::memcpy(fresh.Row(y), old.Row(y), sizeof(std::uint32_t) * keep);
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

} // namespace qb
