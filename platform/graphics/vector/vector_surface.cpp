#include "vector/vector_surface.h"
#include "raster/pixels.h"

#include <algorithm>
#include <vector>

namespace qb {

namespace gfx {
namespace {

// Shapes are clipped to the page plus this margin before they reach a
// document: no output needs geometry far off the page, and readers'
// fixed-point coordinates cannot hold the whole 32-bit range.
struct VectorClip {
    double x0, y0, x1, y1;
    VectorClip(int width, int height, int penWidth)
    {
        double m = 16.0 + penWidth;
        x0 = -m, y0 = -m, x1 = width + m, y1 = height + m;
    }
    double X(double x) const { return std::clamp(x, x0, x1); }
    double Y(double y) const { return std::clamp(y, y0, y1); }
};

// Sutherland-Hodgman clipping of a polygon to the clip box.
std::vector<PointD> ClipPolygon(std::vector<PointD> poly, const VectorClip& clip)
{
    auto edge = [&](auto inside, auto cross) {
        std::vector<PointD> out;
        for (std::size_t i = 0; i < poly.size(); ++i) {
            const PointD& a = poly[(i + poly.size() - 1) % poly.size()];
            const PointD& b = poly[i];
            bool ina = inside(a), inb = inside(b);
            if (inb) {
                if (!ina)
                    out.push_back(cross(a, b));
                out.push_back(b);
            } else if (ina) {
                out.push_back(cross(a, b));
            }
        }
        poly.swap(out);
    };
    auto atX = [](double x) {
        return [x](const PointD& a, const PointD& b) { return PointD{x, a.y + (x - a.x) * (b.y - a.y) / (b.x - a.x)}; };
    };
    auto atY = [](double y) {
        return [y](const PointD& a, const PointD& b) { return PointD{a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y), y}; };
    };
    edge([&](const PointD& p) { return p.x >= clip.x0; }, atX(clip.x0));
    edge([&](const PointD& p) { return p.x <= clip.x1; }, atX(clip.x1));
    edge([&](const PointD& p) { return p.y >= clip.y0; }, atY(clip.y0));
    edge([&](const PointD& p) { return p.y <= clip.y1; }, atY(clip.y1));
    return poly;
}

// Liang-Barsky clipping of a segment; false when nothing remains.
bool ClipSegment(PointD& a, PointD& b, const VectorClip& clip)
{
    double t0 = 0, t1 = 1, dx = b.x - a.x, dy = b.y - a.y;
    auto test = [&](double p, double q) {
        if (p == 0)
            return q >= 0;
        double r = q / p;
        if (p < 0) {
            if (r > t1)
                return false;
            t0 = std::max(t0, r);
        } else {
            if (r < t0)
                return false;
            t1 = std::min(t1, r);
        }
        return true;
    };
    if (!test(-dx, a.x - clip.x0) || !test(dx, clip.x1 - a.x) || !test(-dy, a.y - clip.y0) || !test(dy, clip.y1 - a.y))
        return false;
    PointD start{a.x + t0 * dx, a.y + t0 * dy}, end{a.x + t1 * dx, a.y + t1 * dy};
    a = start, b = end;
    return true;
}

// The pen of a polygon outline: every edge a segment between pixel centres,
// extended half a pen width at both ends, so the ends of the raster lines
// are covered too.
void StrokeEdges(VectorSurface& out, const TPoint* p, int n, const VectorClip& clip, int penWidth, TColor color)
{
    bool any = false;
    for (int i = 0; i < n; ++i) {
        PointD a{p[i].X + 0.5, p[i].Y + 0.5};
        PointD b{p[(i + 1) % n].X + 0.5, p[(i + 1) % n].Y + 0.5};
        if (!ClipSegment(a, b, clip))
            continue;
        out.MoveTo(a.x, a.y);
        out.LineTo(b.x, b.y);
        any = true;
    }
    if (any)
        out.Stroke(color, penWidth, VectorSurface::LineCap::Square);
}

} // namespace

void VectorSurface::GatherBox(double x0, double y0, double x1, double y1, TColor color, int margin)
{
    const VectorClip clip(width_, height_, margin);
    const Box box{clip.X(x0), clip.Y(y0), clip.X(x1 + 1), clip.Y(y1 + 1)};
    if (!(box.right > box.left && box.bottom > box.top))
        return;
    if (!gathering_) {
        Rectangle(box.left, box.top, box.right - box.left, box.bottom - box.top);
        Fill(color, false);
        return;
    }
    // The box joins its colour's group, which is filled before the groups
    // that follow it: none of their boxes may lie under it.
    const TColor rgb = ColorToRGB(color);
    auto own = std::find_if(gathered_.begin(), gathered_.end(), [&](const Group& g) { return g.color == rgb; });
    for (auto later = own == gathered_.end() ? own : own + 1; later != gathered_.end(); ++later) {
        if (!later->bounds.Overlaps(box))
            continue;
        if (std::any_of(later->boxes.begin(), later->boxes.end(), [&](const Box& b) { return b.Overlaps(box); })) {
            Flush();
            own = gathered_.end();
            break;
        }
    }
    constexpr std::size_t kMaxBoxes = 4096; // a path of bounded size
    if (boxes_ >= kMaxBoxes) {
        Flush();
        own = gathered_.end();
    }
    if (own == gathered_.end()) {
        gathered_.push_back({rgb, box, {box}});
        ++boxes_;
        return;
    }
    // A box that holds this one lies within the group's bounds: a box that
    // reaches past them (each new bar of a row does) needs no search.
    if (own->bounds.Holds(box) &&
        std::any_of(own->boxes.begin(), own->boxes.end(), [&](const Box& b) { return b.Holds(box); }))
        return; // painted already in this colour, with nothing over it since
    own->boxes.push_back(box);
    own->bounds = {std::min(own->bounds.left, box.left), std::min(own->bounds.top, box.top),
                   std::max(own->bounds.right, box.right), std::max(own->bounds.bottom, box.bottom)};
    ++boxes_;
}

void VectorSurface::Flush()
{
    for (const Group& g : gathered_) {
        for (const Box& b : g.boxes)
            Rectangle(b.left, b.top, b.right - b.left, b.bottom - b.top);
        Fill(g.color, false);
    }
    Discard();
}

void VectorSurface::SetGathering(bool on)
{
    Flush();
    gathering_ = on;
}

void VectorSurface::Polygon(const TPoint* p, int n, const TBrush& brush, const TPen& pen)
{
    VectorSurface& out = *this;
    const bool fill = brush.Style() != bsClear;
    const bool outline = pen.Style != psClear;
    const int penWidth = std::max(pen.Width, 1);
    if (n == 4 && IsAxisRectangle(p) && (!outline || penWidth == 1)) {
        double x0 = std::min(p[0].X, p[2].X), x1 = std::max(p[0].X, p[2].X);
        double y0 = std::min(p[0].Y, p[2].Y), y1 = std::max(p[0].Y, p[2].Y);
        if (fill && outline && ColorToRGB(brush.Color()) == ColorToRGB(pen.Color)) {
            // The outline adds nothing but the last column and row: one box.
            GatherBox(x0, y0, x1, y1, pen.Color);
            return;
        }
        if (fill)
            GatherBox(x0, y0, x1 - 1, y1 - 1, brush.Color());
        if (outline) {
            GatherBox(x0, y0, x1, y0, pen.Color);
            GatherBox(x0, y1, x1, y1, pen.Color);
            GatherBox(x0, y0, x0, y1, pen.Color);
            GatherBox(x1, y0, x1, y1, pen.Color);
        }
        return;
    }
    Flush();
    const VectorClip clip(width_, height_, penWidth);
    if (fill && n >= 3) {
        std::vector<PointD> poly(n);
        for (int i = 0; i < n; ++i)
            poly[i] = {double(p[i].X), double(p[i].Y)};
        poly = ClipPolygon(std::move(poly), clip);
        if (poly.size() >= 3) {
            out.MoveTo(poly[0].x, poly[0].y);
            for (std::size_t i = 1; i < poly.size(); ++i)
                out.LineTo(poly[i].x, poly[i].y);
            out.ClosePath();
            out.Fill(brush.Color(), true);
        }
    }
    if (outline)
        StrokeEdges(out, p, n, clip, penWidth, pen.Color);
}

void VectorSurface::FillBox(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, TColor color)
{
    GatherBox(double(x0), double(y0), double(x1), double(y1), color);
}

void VectorSurface::Line(TPoint from, TPoint to, int width, TColor color)
{
    const int x = to.X, y = to.Y;
    const double lo = (width - 1) / 2, hi = width / 2;
    if (from.Y == y && from.X != x) {
        double x0 = std::min<double>(from.X, x > from.X ? x - 1.0 : x + 1.0);
        double x1 = std::max<double>(from.X, x > from.X ? x - 1.0 : x + 1.0);
        GatherBox(x0 - lo, y - lo, x1 + hi, y + hi, color, width);
    } else if (from.X == x && from.Y != y) {
        double y0 = std::min<double>(from.Y, y > from.Y ? y - 1.0 : y + 1.0);
        double y1 = std::max<double>(from.Y, y > from.Y ? y - 1.0 : y + 1.0);
        GatherBox(x - lo, y0 - lo, x + hi, y1 + hi, color, width);
    } else if (from.X != x) {
        Flush();
        const VectorClip clip(width_, height_, width);
        PointD a{from.X + 0.5, from.Y + 0.5}, b{x + 0.5, y + 0.5};
        if (ClipSegment(a, b, clip)) {
            MoveTo(a.x, a.y);
            LineTo(b.x, b.y);
            Stroke(color, width, LineCap::Butt);
        }
    }
}

void VectorSurface::Image(int x, int y, const PixelBuffer& pixels)
{
    Flush();
    const VectorClip clip(width_, height_, 1);
    const PointD visibleMin{clip.X(x), clip.Y(y)};
    const PointD visibleMax{clip.X(x + double(pixels.width)), clip.Y(y + double(pixels.height))};
    if (visibleMax.x > visibleMin.x && visibleMax.y > visibleMin.y)
        PlaceImage(x, y, pixels, visibleMin, visibleMax);
}

void VectorSurface::Text(const TextRun& run)
{
    Flush();
    ShowText(run);
}

void VectorSurface::Clip(const TRect& r)
{
    Flush();
    if (r.Left <= 0 && r.Top <= 0 && r.Right >= width_ && r.Bottom >= height_) {
        Unclip();
        return;
    }
    const int x0 = std::clamp(r.Left, 0, width_), y0 = std::clamp(r.Top, 0, height_);
    const int x1 = std::clamp(r.Right, x0, width_), y1 = std::clamp(r.Bottom, y0, height_);
    ClipTo(x0, y0, x1 - x0, y1 - y0);
}

} // namespace gfx

} // namespace qb
