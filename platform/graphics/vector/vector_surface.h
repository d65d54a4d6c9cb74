// The common part of the vector outputs: canvas shapes become filled or
// stroked paths, each device pixel being the unit square it covers (a box
// of pixel columns x0..x1 is the rectangle x0..x1 + 1), clipped to a margin
// around the page. An output implements the path calls, text and images.
//
// Filled boxes (a barcode's bars and spaces, rectangles, lines along an
// axis) are gathered rather than filled one by one: the boxes of one colour
// become one path, filled once, so that a barcode is a fill per colour
// instead of one per element. A box joins the path of its colour only where
// that changes nothing on the page: it may be painted earlier than shapes
// of other colours gathered before it only when it overlaps none of them.
// A box inside one of its colour's boxes already gathered adds nothing and
// is left out. Any other drawing, a clip or a page end fills what was
// gathered first. An output whose readers draw such a page differently
// (readers of PDF and PostScript fit each lone rectangle to their pixels,
// in ways that depend on what was filled before) turns gathering off.
#pragma once

#include "surface.h"

#include <vector>

namespace qb {

namespace gfx {

class VectorSurface : public Surface {
public:
    enum class LineCap { Butt, Square };

    void Polygon(const TPoint* points, int count, const TBrush& brush, const TPen& pen) final;
    void FillBox(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, TColor color) final;
    void Line(TPoint from, TPoint to, int width, TColor color) final;
    void Image(int x, int y, const PixelBuffer& pixels) final;
    void Text(const TextRun& run) final;
    /// A clip that leaves the whole page drawable is no clip; any other is
    /// cut to the page and handed to ClipTo.
    void Clip(const TRect& rect) final;

    /// Whether filled boxes are gathered (the default); off, each is filled
    /// as it comes, which draws the same page in more operations.
    void SetGathering(bool on);

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
    /// Text, as Surface::Text, after what was gathered.
    virtual void ShowText(const TextRun& run) = 0;
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

    /// Fills what was gathered, a path per colour.
    void Flush();
    /// Forgets what was gathered.
    void Discard() noexcept { gathered_.clear(), boxes_ = 0; }

private:
    struct Box {
        double left, top, right, bottom;
        bool Overlaps(const Box& o) const
        {
            return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
        }
        bool Holds(const Box& o) const
        {
            return left <= o.left && o.right <= right && top <= o.top && o.bottom <= bottom;
        }
    };
    /// The boxes of one colour, filled at the place of the first.
    struct Group {
        TColor color;
        Box bounds;
        std::vector<Box> boxes;
    };
    /// Gathers a box of whole pixels x0..x1, y0..y1 (inclusive), clipped
    /// `margin` pixels off the page.
    void GatherBox(double x0, double y0, double x1, double y1, TColor color, int margin = 1);

    int width_, height_;
    bool gathering_ = true;
    std::vector<Group> gathered_;
    std::size_t boxes_ = 0;
};

} // namespace gfx

namespace gfx {

/// A vector surface that writes a document file, whole or not at all.
class DocumentSurface : public VectorSurface {
public:
    /// Ends the current page and starts a blank one.
    void NewPage()
    {
        Flush();
        EndPage();
    }
    /// Writes the rest of the file and puts it in place; on failure raises
    /// and leaves no file.
    void Close()
    {
        Flush();
        WriteOut();
    }
    /// Stops writing; no file remains.
    void Abort() noexcept
    {
        Discard();
        Drop();
    }

protected:
    using VectorSurface::VectorSurface;

    /// NewPage, Close and Abort of the output, after what was gathered.
    virtual void EndPage() = 0;
    virtual void WriteOut() = 0;
    virtual void Drop() noexcept = 0;
};

} // namespace gfx

} // namespace qb
