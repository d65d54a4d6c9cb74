#include "raster/turned_text.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace qb {

namespace gfx {
namespace {

using i64 = std::int64_t;

// Rounds half up, as glyph positions are snapped to pixels.
i64 RoundPosition(double v)
{
    return static_cast<i64>(std::floor(v + .5));
}

i64 FloorDiv256(i64 v)
{
    return v >= 0 ? v / 256 : -((-v + 255) / 256);
}

i64 CeilDiv256(i64 v)
{
    return -FloorDiv256(-v);
}

struct Rect {
    i64 x0, y0, x1, y1; // x1, y1 exclusive
    bool Empty() const { return x1 <= x0 || y1 <= y0; }
    Rect Intersect(const Rect& r) const
    {
        return {std::max(x0, r.x0), std::max(y0, r.y0), std::min(x1, r.x1), std::min(y1, r.y1)};
    }
};

// dst * (255 - a) / 255 + src * a / 255, each product rounded on its own and
// the sum saturated, per channel: how a solid colour is put through a
// coverage mask over the destination.
std::uint32_t Over(std::uint32_t dst, std::uint32_t src, std::uint32_t a)
{
    auto mul = [](std::uint32_t x, std::uint32_t y) {
        std::uint32_t t = x * y + 0x80;
        return (t + (t >> 8)) >> 8;
    };
    std::uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const std::uint32_t c =
            std::min<std::uint32_t>(mul(dst >> shift & 0xFF, 255 - a) + mul(src >> shift & 0xFF, a), 255);
        out |= c << shift;
    }
    return out;
}

void Put(std::uint32_t& dst, std::uint32_t color, std::uint32_t a)
{
    if (a == 255)
        dst = color;
    else if (a)
        dst = Over(dst, color, a);
}

// A glyph's coverage put onto `put(x, y, a)`, clipped to `clip`.
template <class Put> void EachPixel(const TransformedGlyph& g, i64 x, i64 y, const Rect& clip, Put put)
{
    const i64 gx0 = std::max<i64>(0, clip.x0 - x), gx1 = std::min<i64>(g.width, clip.x1 - x);
    const i64 gy0 = std::max<i64>(0, clip.y0 - y), gy1 = std::min<i64>(g.height, clip.y1 - y);
    for (i64 gy = gy0; gy < gy1; ++gy)
        for (i64 gx = gx0; gx < gx1; ++gx)
            if (const std::uint8_t a = g.alpha[std::size_t(gy) * g.width + gx])
                put(x + gx, y + gy, a);
}

// The part of a convex polygon inside the pixel square (px, py).
double AreaInPixel(const PointD* p, int n, i64 px, i64 py)
{
    PointD buffers[2][16];
    int count = n;
    std::copy(p, p + n, buffers[0]);
    const double bounds[4] = {double(px), double(px + 1), double(py), double(py + 1)};
    int from = 0;
    for (int edge = 0; edge < 4 && count > 0; ++edge) {
        const PointD* in = buffers[from];
        PointD* out = buffers[1 - from];
        int m = 0;
        auto inside = [&](const PointD& q) {
            switch (edge) {
            case 0:
                return q.x >= bounds[0];
            case 1:
                return q.x <= bounds[1];
            case 2:
                return q.y >= bounds[2];
            default:
                return q.y <= bounds[3];
            }
        };
        auto cross = [&](const PointD& a, const PointD& b) {
            if (edge < 2) {
                const double x = bounds[edge];
                return PointD{x, a.y + (x - a.x) * (b.y - a.y) / (b.x - a.x)};
            }
            const double y = bounds[edge];
            return PointD{a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y), y};
        };
        for (int i = 0; i < count && m < 14; ++i) {
            const PointD& a = in[(i + count - 1) % count];
            const PointD& b = in[i];
            if (inside(b)) {
                if (!inside(a))
                    out[m++] = cross(a, b);
                out[m++] = b;
            } else if (inside(a)) {
                out[m++] = cross(a, b);
            }
        }
        count = m;
        from = 1 - from;
    }
    double area = 0;
    const PointD* q = buffers[from];
    for (int i = 0; i < count; ++i) {
        const PointD& a = q[i];
        const PointD& b = q[(i + 1) % count];
        area += a.x * b.y - b.x * a.y;
    }
    return std::fabs(area) / 2;
}

} // namespace

void FillPolygonSmooth(const PixelBuffer& buf, const PointD* p, int n, std::uint32_t color)
{
    if (n < 3 || n > 8)
        return;
    double minX = p[0].x, maxX = p[0].x, minY = p[0].y, maxY = p[0].y;
    for (int i = 1; i < n; ++i) {
        minX = std::min(minX, p[i].x), maxX = std::max(maxX, p[i].x);
        minY = std::min(minY, p[i].y), maxY = std::max(maxY, p[i].y);
    }
    if (!(minX < buf.width && maxX > 0 && minY < buf.height && maxY > 0))
        return;
    const i64 x0 = std::max<i64>(static_cast<i64>(std::max(std::floor(minX), -1.0)), buf.X0()),
              x1 = std::min<i64>(static_cast<i64>(std::min(std::ceil(maxX), double(buf.width) + 1)), buf.X1());
    const i64 y0 = std::max<i64>(static_cast<i64>(std::max(std::floor(minY), -1.0)), buf.Y0()),
              y1 = std::min<i64>(static_cast<i64>(std::min(std::ceil(maxY), double(buf.height) + 1)), buf.Y1());
    for (i64 y = y0; y < y1; ++y)
        for (i64 x = x0; x < x1; ++x) {
            const double area = AreaInPixel(p, n, x, y);
            Put(buf.Row(int(y))[x], color, static_cast<std::uint32_t>(std::lround(std::clamp(area, 0.0, 1.0) * 255)));
        }
}

void DrawTransformedText(const PixelBuffer& buf, const TextRun& run)
{
    const TextLayout& layout = run.layout;
    FontResource& font = *layout.font;
    const TextFrame& f = run.frame;
    // Text space to device: turned, then x scaled by the aspect, then placed.
    Affine ctm = Affine::Translate(f.x, f.y);
    ctm = Affine::Then(Affine::Scale(f.aspect, 1), ctm);
    ctm = Affine::Then(Affine{f.cosA, -f.sinA, f.sinA, f.cosA, 0, 0}, ctm);
    Affine shape = ctm;
    shape.x0 = shape.y0 = 0;
    const std::uint32_t color = ToPixel(run.color);

    // Glyphs whose origin lies far off the image (ten em sizes) are left out.
    const Affine scale = Affine::Then(Affine::Scale(font.em, font.em), shape);
    const double margin =
        10 * std::max(std::fabs(scale.xx) + std::fabs(scale.xy), std::fabs(scale.yx) + std::fabs(scale.yy));
    std::vector<Glyph> kept;
    for (const Glyph& g : layout.glyphs) {
        double x = g.x, y = g.y + font.ascent;
        ctm.Point(x, y);
        if (-margin <= x && x <= buf.width + margin && -margin <= y && y <= buf.height + margin)
            kept.push_back({g.index, x, y});
    }
    std::vector<TransformedGlyph> images;
    font.TransformedGlyphs(shape, kept, images);

    // The pixels drawn on are those of the glyphs' metric boxes; where two
    // boxes overlap, coverages add up before the colour goes on.
    const i64 kEmpty = INT_MAX;
    i64 bx0 = kEmpty, by0 = kEmpty, bx1 = -kEmpty, by1 = -kEmpty;
    bool overlap = false;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const TransformedGlyph& g = images[i];
        const i64 x = RoundPosition(kept[i].x) * 256, y = RoundPosition(kept[i].y) * 256;
        const i64 x0 = x + g.boxX0, x1 = x + g.boxX1, y0 = y + g.boxY0, y1 = y + g.boxY1;
        if (kept.size() > 1 && !overlap && x0 != x1 && y0 != y1)
            overlap = x1 > bx0 && x0 < bx1 && y1 > by0 && y0 < by1;
        bx0 = std::min(bx0, x0), bx1 = std::max(bx1, x1);
        by0 = std::min(by0, y0), by1 = std::max(by1, y1);
    }
    if (!font.antialias)
        overlap = false; // one-bit glyphs over each other paint the same pixels either way
    Rect clip{buf.X0(), buf.Y0(), buf.X1(), buf.Y1()};
    if (bx0 < bx1)
        clip = clip.Intersect({FloorDiv256(bx0), FloorDiv256(by0), CeilDiv256(bx1), CeilDiv256(by1)});
    else
        clip = {0, 0, 0, 0};
    if (!clip.Empty()) {
        if (overlap) {
            const i64 w = clip.x1 - clip.x0, h = clip.y1 - clip.y0;
            std::vector<std::uint8_t> mask(std::size_t(w * h));
            for (std::size_t i = 0; i < kept.size(); ++i)
                EachPixel(images[i], RoundPosition(kept[i].x) + images[i].left,
                          RoundPosition(kept[i].y) + images[i].top, clip, [&](i64 x, i64 y, std::uint8_t a) {
                              std::uint8_t& m = mask[std::size_t((y - clip.y0) * w + (x - clip.x0))];
                              m = static_cast<std::uint8_t>(std::min(255, m + a));
                          });
            for (i64 y = 0; y < h; ++y)
                for (i64 x = 0; x < w; ++x)
                    Put(buf.Row(int(clip.y0 + y))[clip.x0 + x], color, mask[std::size_t(y * w + x)]);
        } else {
            for (std::size_t i = 0; i < kept.size(); ++i)
                EachPixel(images[i], RoundPosition(kept[i].x) + images[i].left,
                          RoundPosition(kept[i].y) + images[i].top, clip,
                          [&](i64 x, i64 y, std::uint8_t a) { Put(buf.Row(int(y))[x], color, a); });
        }
    }

    // Underline and strike-out: rectangles of text space, filled anti-aliased.
    auto line = [&](int top) {
        double xs[4] = {0, double(layout.advance), double(layout.advance), 0};
        double ys[4] = {double(top), double(top), double(top + font.lineThickness), double(top + font.lineThickness)};
        PointD corners[4];
        for (int i = 0; i < 4; ++i) {
            ctm.Point(xs[i], ys[i]);
            corners[i] = {xs[i], ys[i]};
        }
        FillPolygonSmooth(buf, corners, 4, color);
    };
    if (layout.advance > 0 && run.lf.lfUnderline)
        line(font.ascent + font.underlinePos);
    if (layout.advance > 0 && run.lf.lfStrikeOut)
        line(font.ascent + font.strikePos);
}

} // namespace gfx

} // namespace qb
