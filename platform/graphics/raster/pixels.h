// Pixel routines for raster images in memory: boxes, polygons by pixel
// centres, lines and glyph blending. Every routine clips to the image's
// drawable part; coordinates may be anywhere in the 32-bit range.
#pragma once

#include "pointd.h"
#include "qbarcode/graphics.h"
#include "text/font_cache.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace qb {

namespace gfx {

/// A 0x00RRGGBB image in memory.
struct PixelBuffer {
    std::uint32_t* data = nullptr;
    int stride = 0; // in pixels
    int width = 0, height = 0;
    // The pixels drawing may change: columns clipLeft..clipRight - 1, rows
    // clipTop..clipBottom - 1, within the image. Reading is never clipped.
    int clipLeft = 0, clipTop = 0, clipRight = INT_MAX, clipBottom = INT_MAX;

    std::uint32_t* Row(int y) const { return data + static_cast<std::ptrdiff_t>(y) * stride; }
    /// The drawable part: first column and row, and the column and row after the last.
    int X0() const { return std::max(clipLeft, 0); }
    int Y0() const { return std::max(clipTop, 0); }
    int X1() const { return std::min(clipRight, width); }
    int Y1() const { return std::min(clipBottom, height); }
    /// Limits drawing to r (right and bottom exclusive).
    void SetClip(const TRect& r) { clipLeft = r.Left, clipTop = r.Top, clipRight = r.Right, clipBottom = r.Bottom; }
    /// Whether drawing reaches every pixel of the image.
    bool Unclipped() const { return X0() == 0 && Y0() == 0 && X1() == width && Y1() == height; }
};

std::uint32_t ToPixel(TColor color);
TColor FromPixel(std::uint32_t pixel);

/// Fills columns x0..x1 and rows y0..y1, both inclusive.
void FillBox(const PixelBuffer& buf, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
             std::uint32_t color);

/// An inclusive box of pixels and its colour.
struct Box {
    std::int64_t x0, y0, x1, y1;
    std::uint32_t color;
};

/// Whether RasterPolygon would paint these points as one solid box (an axis
/// rectangle whose one-pixel outline has the fill's colour, as barcode bars
/// are drawn); the box, corners included, in `box` when it would.
bool SolidBox(const TPoint* points, int count, bool fill, std::uint32_t fillColor, bool outline, int penWidth,
              std::uint32_t penColor, Box& box);

/// Box fills collected and written row by row: consecutive boxes over the
/// same rows (the bars and spaces of an unturned barcode) are painted into
/// their first row, which is then copied to the others. Narrow columns
/// written one by one touch a cache line per pixel; whole rows do not. The
/// result is that of filling the boxes one after another.
class RowBoxes {
public:
    /// Fills x0..x1 and y0..y1 (inclusive) now or at the next Flush; a box
    /// over other rows than those collected flushes them first.
    void Add(const PixelBuffer& buf, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
             std::uint32_t color);
    /// Writes every box collected, in order.
    void Flush(const PixelBuffer& buf);

private:
    std::vector<Box> boxes_; // clipped, all over the same rows
    std::vector<std::pair<std::int64_t, std::int64_t>> runs_;
};

/// Fills the pixels whose centres lie inside the polygon (even-odd rule;
/// vertices are on pixel corners, so the square x..x+1 is pixel x).
void FillPolygon(const PixelBuffer& buf, const PointD* points, int count, std::uint32_t color);

/// A line through pixel centres, from the first pixel to the last (included
/// when `withLast`), with a square pen `width` pixels wide.
void DrawLine(const PixelBuffer& buf, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, bool withLast,
              int width, std::uint32_t color);

/// A polygon with the canvas's semantics: interior by FillPolygon (when
/// `fill`), outline pixels by DrawLine (when `outline`).
void RasterPolygon(const PixelBuffer& buf, const TPoint* points, int count, bool fill, std::uint32_t fillColor,
                   bool outline, int penWidth, std::uint32_t penColor);

/// Blends glyph coverages of one colour into a buffer.
class GlyphBlender {
public:
    /// `background` is the colour most glyph pixels are expected to cover.
    GlyphBlender(std::uint32_t color, std::uint32_t background);
    /// Draws a glyph turned by `quadrant` quarter turns counter-clockwise
    /// about the pen position (px, py).
    void Blend(const PixelBuffer& buf, const GlyphImage& glyph, int px, int py, int quadrant) const;

private:
    std::uint32_t OverBackground(std::uint32_t alpha) const;

    std::uint32_t color_, background_;
    // Blends over the background, worked out when first needed: crisp text
    // has no partial coverage at all.
    mutable std::uint32_t overBackground_[256];
};

} // namespace gfx

} // namespace qb
