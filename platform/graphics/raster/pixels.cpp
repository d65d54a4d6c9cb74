// Pixel routines for raster surfaces: boxes, polygons by pixel centres,
// lines and glyph blending, written straight into the image memory. They
// clip to the image's drawable part and take any 32-bit coordinates without
// overflow.
#include "raster/pixels.h"

#include <algorithm>
#include <cmath>

namespace qb {

namespace gfx {
namespace {

using i64 = std::int64_t;
using i128 = __int128;

// The first pixel whose centre (i + 0.5) is at or right of (below) v,
// clamped to -1..size so that the conversion cannot overflow.
i64 FirstCentreAtOrAfter(double v, int size)
{
    v -= 0.5;
    if (!(v > -1))
        return -1;
    if (v > size)
        return size;
    i64 i = static_cast<i64>(v); // truncation; v > -1, so ceil is i or i + 1
    return i < v ? i + 1 : i;
}

// Small arrays on the stack, larger ones on the heap.
template <class T, std::size_t N> class ScratchArray {
public:
    explicit ScratchArray(std::size_t n)
    {
        if (n > N) {
            heap_.resize(n);
            data_ = heap_.data();
        }
    }
    T& operator[](std::size_t i) { return data_[i]; }
    T* data() { return data_; }

private:
    T local_[N];
    std::vector<T> heap_;
    T* data_ = local_;
};

// dst * (255 - a) / 255 + src * a / 255, rounded, per channel: red and blue
// in one 32-bit word, green in another.
[[gnu::always_inline]] inline std::uint32_t Blend(std::uint32_t dst, std::uint32_t src, std::uint32_t a)
{
    std::uint32_t na = 255 - a;
    std::uint32_t rb = (src & 0xFF00FF) * a + (dst & 0xFF00FF) * na + 0x800080;
    std::uint32_t g = (src & 0xFF00) * a + (dst & 0xFF00) * na + 0x8000;
    rb = ((rb + (rb >> 8 & 0xFF00FF)) >> 8) & 0xFF00FF;
    g = ((g + (g >> 8)) >> 8) & 0xFF00;
    return rb | g;
}

template <int Width> void FillColumns(std::uint32_t* p, int stride, i64 rows, std::uint32_t color)
{
    for (i64 i = 0; i < rows; ++i, p += stride)
        for (int k = 0; k < Width; ++k)
            p[k] = color;
}

// Clips an inclusive box to the drawable part; false when nothing is left.
bool ClipBox(const PixelBuffer& buf, i64& x0, i64& y0, i64& x1, i64& y1)
{
    x0 = std::max<i64>(x0, buf.X0());
    y0 = std::max<i64>(y0, buf.Y0());
    x1 = std::min<i64>(x1, buf.X1() - 1);
    y1 = std::min<i64>(y1, buf.Y1() - 1);
    return x0 <= x1 && y0 <= y1;
}

} // namespace

std::uint32_t ToPixel(TColor color)
{
    auto c = static_cast<std::uint32_t>(ColorToRGB(color));
    return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

TColor FromPixel(std::uint32_t pixel)
{
    return static_cast<TColor>((pixel & 0xFF) << 16 | (pixel & 0xFF00) | (pixel >> 16 & 0xFF));
}

void FillBox(const PixelBuffer& buf, i64 x0, i64 y0, i64 x1, i64 y1, std::uint32_t color)
{
    if (!ClipBox(buf, x0, y0, x1, y1))
        return;
    std::uint32_t* p = buf.Row(static_cast<int>(y0)) + x0;
    const i64 rows = y1 - y0 + 1, width = x1 - x0 + 1;
    // Bars are mostly a few pixels wide: fixed-width stores beat a fill call per row.
    switch (width) {
    case 1:
        FillColumns<1>(p, buf.stride, rows, color);
        return;
    case 2:
        FillColumns<2>(p, buf.stride, rows, color);
        return;
    case 3:
        FillColumns<3>(p, buf.stride, rows, color);
        return;
    case 4:
        FillColumns<4>(p, buf.stride, rows, color);
        return;
    case 5:
        FillColumns<5>(p, buf.stride, rows, color);
        return;
    case 6:
        FillColumns<6>(p, buf.stride, rows, color);
        return;
    case 7:
        FillColumns<7>(p, buf.stride, rows, color);
        return;
    case 8:
        FillColumns<8>(p, buf.stride, rows, color);
        return;
    default:
        // Wider boxes (backgrounds): eight pixels per step, which the
        // compiler turns into vector stores, then the rest one by one.
        for (i64 i = 0; i < rows; ++i, p += buf.stride) {
            i64 k = 0;
            for (; k + 8 <= width; k += 8)
                FillColumns<8>(p + k, buf.stride, 1, color);
            for (; k < width; ++k)
                p[k] = color;
        }
    }
}

bool SolidBox(const TPoint* p, int n, bool fill, std::uint32_t fillColor, bool outline, int penWidth,
              std::uint32_t penColor, Box& box)
{
    if (n != 4 || !fill || !outline || penWidth > 1 || fillColor != penColor || !IsAxisRectangle(p))
        return false;
    // The outline adds the last column and row to the fill: one box.
    box = {std::min(p[0].X, p[2].X), std::min(p[0].Y, p[2].Y), std::max(p[0].X, p[2].X), std::max(p[0].Y, p[2].Y),
           fillColor};
    return true;
}

void RowBoxes::Add(const PixelBuffer& buf, i64 x0, i64 y0, i64 x1, i64 y1, std::uint32_t color)
{
    if (!ClipBox(buf, x0, y0, x1, y1))
        return;
    if (!boxes_.empty() && (boxes_.front().y0 != y0 || boxes_.front().y1 != y1))
        Flush(buf);
    boxes_.push_back({x0, y0, x1, y1, color});
}

void RowBoxes::Flush(const PixelBuffer& buf)
{
    if (boxes_.size() == 1)
        FillBox(buf, boxes_[0].x0, boxes_[0].y0, boxes_[0].x1, boxes_[0].y1, boxes_[0].color);
    if (boxes_.size() <= 1) {
        boxes_.clear();
        return;
    }
    // The first row, box after box (a later box covers an earlier one).
    const int top = static_cast<int>(boxes_.front().y0), bottom = static_cast<int>(boxes_.front().y1);
    std::uint32_t* first = buf.Row(top);
    for (const Box& b : boxes_)
        std::fill(first + b.x0, first + b.x1 + 1, b.color);
    // The columns covered, as runs: bars and spaces come left to right or
    // right to left and abut, so most batches make one run. Runs may
    // overlap; copying a column twice does no harm.
    runs_.clear();
    for (const Box& b : boxes_) {
        if (!runs_.empty() && b.x0 <= runs_.back().second + 1 && b.x1 >= runs_.back().first - 1) {
            runs_.back().first = std::min(runs_.back().first, b.x0);
            runs_.back().second = std::max(runs_.back().second, b.x1);
        } else {
            runs_.emplace_back(b.x0, b.x1);
        }
    }
    // Every other row is a copy of the first over those runs.
    for (int y = top + 1; y <= bottom; ++y) {
        std::uint32_t* row = buf.Row(y);
        for (const auto& [lo, hi] : runs_)
            std::copy(first + lo, first + hi + 1, row + lo);
    }
    boxes_.clear();
}

void FillPolygon(const PixelBuffer& buf, const PointD* p, int n, std::uint32_t color)
{
    if (n < 3 || buf.X1() <= buf.X0() || buf.Y1() <= buf.Y0())
        return;
    double ymin = p[0].y, ymax = p[0].y;
    for (int i = 1; i < n; ++i) {
        ymin = std::min(ymin, p[i].y);
        ymax = std::max(ymax, p[i].y);
    }
    // Rows whose centre y + 0.5 lies in [ymin, ymax).
    i64 row0 = std::max<i64>(FirstCentreAtOrAfter(ymin, buf.height), buf.Y0());
    i64 row1 = std::min<i64>(FirstCentreAtOrAfter(ymax, buf.height) - 1, buf.Y1() - 1);
    // Non-horizontal edges, each as y-range [top, bottom) and x at top.
    struct Edge {
        double top, bottom, x, slope;
    };
    ScratchArray<Edge, 16> edges(n);
    int edgeCount = 0;
    for (int i = 0, j = n - 1; i < n; j = i++) {
        const PointD& a = p[j].y < p[i].y ? p[j] : p[i];
        const PointD& b = p[j].y < p[i].y ? p[i] : p[j];
        if (a.y != b.y)
            edges[edgeCount++] = {a.y, b.y, a.x, (b.x - a.x) / (b.y - a.y)};
    }
    ScratchArray<double, 16> xs(n);
    for (i64 row = row0; row <= row1; ++row) {
        const double sy = row + 0.5;
        int k = 0;
        for (int e = 0; e < edgeCount; ++e)
            if (edges[e].top <= sy && sy < edges[e].bottom)
                xs[k++] = edges[e].x + (sy - edges[e].top) * edges[e].slope;
        for (int i = 1; i < k; ++i) { // few crossings: insertion sort
            double v = xs[i];
            int j = i;
            for (; j > 0 && xs[j - 1] > v; --j)
                xs[j] = xs[j - 1];
            xs[j] = v;
        }
        std::uint32_t* line = buf.Row(static_cast<int>(row));
        for (int i = 0; i + 1 < k; i += 2) {
            // Columns whose centre x + 0.5 lies in [left, right).
            i64 c0 = std::max<i64>(FirstCentreAtOrAfter(xs[i], buf.width), buf.X0());
            i64 c1 = std::min<i64>(FirstCentreAtOrAfter(xs[i + 1], buf.width) - 1, buf.X1() - 1);
            if (c0 <= c1)
                std::fill(line + c0, line + c1 + 1, color);
        }
    }
}

void DrawLine(const PixelBuffer& buf, i64 x0, i64 y0, i64 x1, i64 y1, bool withLast, int width, std::uint32_t color)
{
    width = std::max(width, 1);
    const i64 lo = (width - 1) / 2, hi = width / 2; // pen extent about a pixel
    auto stamp = [&](i64 x, i64 y) {
        if (width == 1) {
            if (x >= buf.X0() && y >= buf.Y0() && x < buf.X1() && y < buf.Y1())
                buf.Row(static_cast<int>(y))[x] = color;
        } else {
            FillBox(buf, x - lo, y - lo, x + hi, y + hi, color);
        }
    };
    const i64 dx = x1 - x0, dy = y1 - y0;
    const i64 steps = std::max(std::abs(dx), std::abs(dy));
    const i64 last = withLast ? steps : steps - 1;
    if (last < 0)
        return;
    if (steps == 0) {
        stamp(x0, y0);
        return;
    }
    // Step one pixel at a time along the major axis; the minor coordinate is
    // rounded from the exact line. Only steps that can reach the drawable part are taken.
    const bool xMajor = std::abs(dx) >= std::abs(dy);
    const i64 m0 = xMajor ? x0 : y0, n0 = xMajor ? y0 : x0;
    const i64 dm = xMajor ? dx : dy, dn = xMajor ? dy : dx;
    const i64 sign = dm > 0 ? 1 : -1;
    const i64 lower = xMajor ? buf.X0() : buf.Y0(), upper = xMajor ? buf.X1() : buf.Y1();
    i64 tmin, tmax;
    if (sign > 0) {
        tmin = std::max<i64>(0, lower - hi - m0);
        tmax = std::min<i64>(last, upper - 1 + lo - m0);
    } else {
        tmin = std::max<i64>(0, m0 - (upper - 1 + lo));
        tmax = std::min<i64>(last, m0 - lower + hi);
    }
    if (tmin > tmax)
        return;
    // n(t) = n0 + floor((2 t dn + steps) / (2 steps)), kept as quotient and
    // remainder: each step changes the quotient by at most one.
    const i64 den = 2 * steps, inc = 2 * dn;
    const i128 num = i128(2) * tmin * dn + steps;
    i64 q = static_cast<i64>(num >= 0 ? num / den : -((-num + den - 1) / den));
    i64 r = static_cast<i64>(num - i128(q) * den);
    for (i64 t = tmin; t <= tmax; ++t) {
        i64 m = m0 + sign * t;
        if (xMajor)
            stamp(m, n0 + q);
        else
            stamp(n0 + q, m);
        r += inc;
        if (r >= den)
            r -= den, ++q;
        else if (r < 0)
            r += den, --q;
    }
}

void RasterPolygon(const PixelBuffer& buf, const TPoint* p, int n, bool fill, std::uint32_t fillColor, bool outline,
                   int penWidth, std::uint32_t penColor)
{
    if (n < 2)
        return;
    Box box;
    if (SolidBox(p, n, fill, fillColor, outline, penWidth, penColor, box)) {
        FillBox(buf, box.x0, box.y0, box.x1, box.y1, box.color);
        return;
    }
    penWidth = std::max(penWidth, 1);
    if (n == 4 && IsAxisRectangle(p) && (!outline || penWidth == 1)) {
        // The common case (the bars of a barcode): straight box fills.
        i64 x0 = std::min(p[0].X, p[2].X), x1 = std::max(p[0].X, p[2].X);
        i64 y0 = std::min(p[0].Y, p[2].Y), y1 = std::max(p[0].Y, p[2].Y);
        if (fill)
            FillBox(buf, x0, y0, x1 - 1, y1 - 1, fillColor);
        if (outline) {
            FillBox(buf, x0, y0, x1, y0, penColor);
            FillBox(buf, x0, y1, x1, y1, penColor);
            FillBox(buf, x0, y0, x0, y1, penColor);
            FillBox(buf, x1, y0, x1, y1, penColor);
        }
        return;
    }
    if (fill && n >= 3) {
        ScratchArray<PointD, 16> points(n);
        for (int i = 0; i < n; ++i)
            points[i] = {double(p[i].X), double(p[i].Y)};
        FillPolygon(buf, points.data(), n, fillColor);
    }
    if (outline)
        for (int i = 0; i < n; ++i) {
            const TPoint& a = p[i];
            const TPoint& b = p[(i + 1) % n];
            DrawLine(buf, a.X, a.Y, b.X, b.Y, true, penWidth, penColor);
        }
}

// Blends have a clear top byte, so this marks a blend not yet worked out.
constexpr std::uint32_t kNotBlended = 0xFFFFFFFF;

GlyphBlender::GlyphBlender(std::uint32_t color, std::uint32_t background) : color_(color), background_(background)
{
    std::fill(std::begin(overBackground_), std::end(overBackground_), kNotBlended);
}

std::uint32_t GlyphBlender::OverBackground(std::uint32_t alpha) const
{
    std::uint32_t& blend = overBackground_[alpha];
    if (blend == kNotBlended)
        blend = gfx::Blend(background_, color_, alpha);
    return blend;
}

void GlyphBlender::Blend(const PixelBuffer& buf, const GlyphImage& glyph, int px, int py, int quadrant) const
{
    // Most glyph pixels land on the cell's background, whose blends are kept.
    auto put = [&](std::uint32_t& dst, std::uint32_t a) {
        dst = a == 255 ? color_ : dst == background_ ? OverBackground(a) : gfx::Blend(dst, color_, a);
    };
    if (quadrant == 0) {
        // Unturned text, the common case: clip once, then whole rows.
        i64 x0 = i64(px) + glyph.left, y0 = i64(py) + glyph.top;
        i64 gx0 = std::max<i64>(0, buf.X0() - x0), gx1 = std::min<i64>(glyph.width, buf.X1() - x0);
        i64 gy0 = std::max<i64>(0, buf.Y0() - y0), gy1 = std::min<i64>(glyph.height, buf.Y1() - y0);
        for (i64 gy = gy0; gy < gy1; ++gy) {
            const std::uint8_t* alpha = &glyph.alpha[std::size_t(gy) * glyph.width];
            std::uint32_t* row = buf.Row(static_cast<int>(y0 + gy)) + x0;
            for (i64 gx = gx0; gx < gx1; ++gx)
                if (alpha[gx])
                    put(row[gx], alpha[gx]);
        }
        return;
    }
    for (int gy = 0; gy < glyph.height; ++gy) {
        const std::uint8_t* alpha = &glyph.alpha[std::size_t(gy) * glyph.width];
        i64 v = glyph.top + gy;
        for (int gx = 0; gx < glyph.width; ++gx) {
            if (alpha[gx] == 0)
                continue;
            i64 u = glyph.left + gx;
            // The text-space pixel (u, v) after `quadrant` quarter turns.
            i64 x, y;
            switch (quadrant) {
            case 1:
                x = px + v, y = py - u - 1;
                break;
            case 2:
                x = px - u - 1, y = py - v - 1;
                break;
            default:
                x = px - v - 1, y = py + u;
                break;
            }
            if (x >= buf.X0() && y >= buf.Y0() && x < buf.X1() && y < buf.Y1())
                put(buf.Row(static_cast<int>(y))[x], alpha[gx]);
        }
    }
}

} // namespace gfx

} // namespace qb
