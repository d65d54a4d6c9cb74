// The raster surface: a bitmap's pixels, written directly for shapes and
// for unturned or quarter-turned text; cairo draws only text at other angles.
#pragma once

#include "raster/pixels.h"
#include "surface.h"

#include <memory>
#include <vector>

typedef struct _cairo_surface cairo_surface_t;
typedef struct _cairo cairo_t;

namespace gfx {

class RasterSurface final : public Surface {
public:
    /// Paints on a cairo RGB24 image surface (a reference is kept); null is
    /// an empty image, on which everything is clipped away.
    explicit RasterSurface(cairo_surface_t* image);
    RasterSurface(const RasterSurface&) = delete;
    RasterSurface& operator=(const RasterSurface&) = delete;
    ~RasterSurface() override;

    /// The pixels, with everything drawn so far in them.
    const PixelBuffer& Pixels();

    void Polygon(const TPoint* points, int count, const TBrush& brush, const TPen& pen) override;
    void FillBox(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, TColor color) override;
    void Line(TPoint from, TPoint to, int width, TColor color) override;
    void Text(const TextRun& run) override;
    void Image(int x, int y, const PixelBuffer& pixels) override;
    TColor Pixel(int x, int y) override;
    void Clip(const TRect& rect) override;

private:
    // Direct writes and cairo drawing are kept coherent with flush and
    // mark-dirty around each change of hands. Box fills wait in rows_ until
    // anything else is drawn or the pixels are read.
    void BeginDirect();
    void BeginBoxes();
    cairo_t* BeginCairo();
    /// Gives cairo the drawable part of the pixels as its clip.
    void ClipCairo();
    /// Text drawn glyph by glyph from the font's cached glyph images; false
    /// when the run needs cairo (other angles, fractional positions, glyphs
    /// too large to cache, non-square pixels).
    bool DirectText(const TextRun& run);

    cairo_surface_t* image_ = nullptr;
    cairo_t* cr_ = nullptr; // for text at other angles, made when first needed
    PixelBuffer pixels_;
    RowBoxes rows_;
    bool cairoPending_ = false;
    bool directPending_ = false;

    std::vector<const GlyphImage*> glyphImages_;
    std::unique_ptr<GlyphBlender> blender_; // for the last text and cell colours
    std::uint32_t blenderColor_ = 0, blenderBackground_ = 0;
};

} // namespace gfx
