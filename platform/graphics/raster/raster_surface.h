// The raster surface: a bitmap's pixels in memory of its own, written
// directly for shapes and text.
#pragma once

#include "raster/pixels.h"
#include "surface.h"

#include <cstdlib>
#include <memory>
#include <vector>

namespace qb {

namespace gfx {

class RasterSurface final : public Surface {
public:
    /// A white image of `width` x `height` pixels; raises when the memory
    /// cannot be had. An empty one clips everything away.
    RasterSurface(int width, int height);
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
    // Box fills wait in rows_ until anything else is drawn or the pixels are read.
    void BeginDirect();
    /// Text drawn glyph by glyph from the font's cached glyph images; false
    /// when the run needs drawing at its transform (other angles, fractional
    /// positions, glyphs too large to cache, non-square pixels).
    bool DirectText(const TextRun& run);

    std::unique_ptr<std::uint32_t[], decltype(&std::free)> memory_{nullptr, &std::free};
    PixelBuffer pixels_;
    RowBoxes rows_;

    std::vector<const GlyphImage*> glyphImages_;
    std::unique_ptr<GlyphBlender> blender_; // for the last text and cell colours
    std::uint32_t blenderColor_ = 0, blenderBackground_ = 0;
};

} // namespace gfx

} // namespace qb
