// Internals shared by the graphics and printer sources: the handle tables,
// the font resource cache, device contexts, the pixel routines and the
// attachment of surfaces to canvases. Not part of the public interface.
#pragma once

#include "pointd.h"
#include "qbarcode/graphics.h"
#include "text/cairo_text.h"
#include "text/font_cache.h"
#include "text/handles.h"
#include "text/layout.h"
#include "text/utf8.h"

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace gfx {

// --- Vector surfaces ------------------------------------------------------------

/// One TextOut on a vector surface.
struct TextRun {
    TextFrame frame;
    const TextLayout& layout;
    const LOGFONTA& lf; // face, style, escapement, underline, strike-out
    TColor color;
    bool opaque; // the character cell is filled first
    TColor cellColor;
};

struct PixelBuffer;

/// What a vector surface is asked to draw, in device pixels: paths filled or
/// stroked in one colour, text runs and images. A path is built up with
/// MoveTo, LineTo, ClosePath and Rectangle, and consumed by Fill or Stroke.
class VectorPainter {
public:
    enum class LineCap { Butt, Square };

    virtual ~VectorPainter() = default;
    virtual void MoveTo(double x, double y) = 0;
    virtual void LineTo(double x, double y) = 0;
    virtual void ClosePath() = 0;
    /// A closed rectangular subpath.
    virtual void Rectangle(double x, double y, double width, double height) = 0;
    virtual void Fill(TColor color, bool evenOdd) = 0;
    /// Strokes every subpath with miter joins.
    virtual void Stroke(TColor color, double width, LineCap cap) = 0;
    virtual void Text(const TextRun& run) = 0;
    /// A raster image with its top-left corner at (x, y), one unit per pixel,
    /// showing only what lies in the visible box.
    virtual void Image(double x, double y, const PixelBuffer& pixels, cairo_surface_t* surface,
                       const PointD& visibleMin, const PointD& visibleMax) = 0;
};

/// A painter drawing through a cairo context whose user space is one unit per
/// output unit, device pixels mapped with (scaleX, scaleY).
std::unique_ptr<VectorPainter> MakeCairoPainter(cairo_t* cr, double scaleX, double scaleY);

// --- Pixel routines (raster surfaces) ---------------------------------------

/// A 0x00RRGGBB image in memory. Every routine clips to it; coordinates may be
/// anywhere in the 32-bit range.
struct PixelBuffer {
    std::uint32_t* data = nullptr;
    int stride = 0; // in pixels
    int width = 0, height = 0;
    std::uint32_t* Row(int y) const { return data + static_cast<std::ptrdiff_t>(y) * stride; }
};

std::uint32_t ToPixel(TColor color);
TColor FromPixel(std::uint32_t pixel);

/// Fills columns x0..x1 and rows y0..y1, both inclusive.
void FillBox(const PixelBuffer& buf, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
             std::uint32_t color);

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

/// PNG bytes of an image.
std::string EncodePng(const PixelBuffer& image);

// --- Attaching surfaces to canvases -----------------------------------------

struct CanvasAccess {
    /// Draw on a cairo image surface (RGB24); null detaches.
    static void AttachRaster(TCanvas& canvas, cairo_surface_t* surface);
    /// Draw through a cairo context whose user space is one unit per output
    /// unit; the canvas maps device pixels with (scaleX, scaleY).
    static void AttachVector(TCanvas& canvas, cairo_t* cr, double scaleX, double scaleY);
    /// Draw through a painter that outlives the attachment.
    static void AttachPainter(TCanvas& canvas, VectorPainter& painter);
    static void Detach(TCanvas& canvas);
    static void SetCaps(TCanvas& canvas, const DeviceCaps& caps);
    /// The message of the Exception raised by drawing without a surface.
    static void SetNoSurfaceMessage(TCanvas& canvas, std::string message);
    /// The raster pixels, with everything drawn so far in them.
    static PixelBuffer Pixels(const TCanvas& canvas);
    static cairo_surface_t* RasterSurface(const TCanvas& canvas);
    /// Tells the canvas that its raster was written outside it.
    static void MarkPixelsChanged(TCanvas& canvas);
};

} // namespace gfx
