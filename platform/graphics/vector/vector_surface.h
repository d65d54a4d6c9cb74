// The common part of the vector outputs: canvas shapes become filled or
// stroked paths, each device pixel being the unit square it covers (a box
// of pixel columns x0..x1 is the rectangle x0..x1 + 1), clipped to a margin
// around the page. An output implements the path calls, text and images.
#pragma once

#include "surface.h"

namespace qb {

namespace gfx {

class VectorSurface : public Surface {
public:
    enum class LineCap { Butt, Square };

    void Polygon(const TPoint* points, int count, const TBrush& brush, const TPen& pen) final;
    void FillBox(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, TColor color) final;
    void Line(TPoint from, TPoint to, int width, TColor color) final;
    void Image(int x, int y, const PixelBuffer& pixels) final;
    /// A clip that leaves the whole page drawable is no clip; any other is
    /// cut to the page and handed to ClipTo.
    void Clip(const TRect& rect) final;

    // A path is built up with MoveTo, LineTo, ClosePath and Rectangle, and
    // consumed by Fill or Stroke.
    virtual void MoveTo(double x, double y) = 0;
    virtual void LineTo(double x, double y) = 0;
    virtual void ClosePath() = 0;
    /// A closed rectangular subpath.
    virtual void Rectangle(double x, double y, double width, double height) = 0;
    virtual void Fill(TColor color, bool evenOdd) = 0;
    /// Strokes every subpath with miter joins.
    virtual void Stroke(TColor color, double width, LineCap cap) = 0;
    /// A raster image at (x, y), one unit per pixel, showing only what lies
    /// in the visible box.
    virtual void PlaceImage(double x, double y, const PixelBuffer& pixels, const PointD& visibleMin,
                            const PointD& visibleMax) = 0;
    /// Limits what is drawn from now on to the rectangle (within the page;
    /// it may be empty).
    virtual void ClipTo(double x, double y, double width, double height) = 0;
    /// Lifts the limit.
    virtual void Unclip() = 0;

protected:
    /// A page of `width` x `height` device pixels.
    VectorSurface(int width, int height) : width_(width), height_(height) {}

private:
    int width_, height_;
};

} // namespace gfx

namespace gfx {

/// A vector surface that writes a document file, whole or not at all.
class DocumentSurface : public VectorSurface {
public:
    /// Ends the current page and starts a blank one.
    virtual void NewPage() = 0;
    /// Writes the rest of the file and puts it in place; on failure raises
    /// and leaves no file.
    virtual void Close() = 0;
    /// Stops writing; no file remains.
    virtual void Abort() noexcept = 0;

protected:
    using VectorSurface::VectorSurface;
};

} // namespace gfx

} // namespace qb
