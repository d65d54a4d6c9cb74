// The one interface every output implements behind TCanvas: the raster
// (bitmaps), SVG documents, and PDF, PostScript and EPS documents. The canvas resolves pens, brushes, fonts and text
// layout; a surface only paints, in device pixels.
#pragma once

#include "qbarcode/graphics.h"
#include "text/handles.h"
#include "text/layout.h"

#include <cstdint>
#include <string>

namespace qb {

namespace gfx {

struct PixelBuffer;

/// One TextOut: the laid-out text at its frame, in the selected font.
struct TextRun {
    TextFrame frame;
    const TextLayout& layout;
    const LOGFONTA& lf; // face, style, escapement, underline, strike-out
    TColor color;
    bool opaque; // the character cell is filled first
    TColor cellColor;
};

class Surface {
public:
    virtual ~Surface() = default;

    /// Fills the polygon (even-odd rule) with the brush unless it is clear,
    /// and outlines it, closed, with the pen unless it is clear. At least two
    /// points.
    virtual void Polygon(const TPoint* points, int count, const TBrush& brush, const TPen& pen) = 0;
    /// Fills columns x0..x1 and rows y0..y1, both inclusive (x0 <= x1, y0 <= y1).
    virtual void FillBox(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, TColor color) = 0;
    /// A line from `from` up to, not including, `to`, with a square pen
    /// `width` (>= 1) pixels wide.
    virtual void Line(TPoint from, TPoint to, int width, TColor color) = 0;
    virtual void Text(const TextRun& run) = 0;
    /// A raster image with its top-left corner at (x, y), one device pixel
    /// per image pixel.
    virtual void Image(int x, int y, const PixelBuffer& pixels) = 0;
    /// The colour of a pixel; -1 where the surface keeps no pixels.
    virtual TColor Pixel(int, int) { return -1; }
    /// Limits everything drawn from now on to the pixels of `rect` (right
    /// and bottom exclusive; empty: nothing); NoClipRect lifts the limit.
    virtual void Clip(const TRect& rect) = 0;
};

/// The canvas's side of attaching surfaces, for the owners of canvases.
struct CanvasAccess {
    /// Draws on `surface` (null: nothing) until detached, clipped as the
    /// canvas is; the surface must outlive the attachment.
    static void Attach(TCanvas& canvas, Surface* surface);
    static void Detach(TCanvas& canvas) { Attach(canvas, nullptr); }
    static void SetCaps(TCanvas& canvas, const DeviceCaps& caps);
    /// The message of the Exception raised by drawing without a surface.
    static void SetNoSurfaceMessage(TCanvas& canvas, std::string message);
};

} // namespace gfx

} // namespace qb
