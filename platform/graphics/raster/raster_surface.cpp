#include "raster/raster_surface.h"
#include "qbarcode/sysutils.h"
#include "raster/turned_text.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

namespace qb {

namespace gfx {
namespace {

int ClampInt(std::int64_t v)
{
    return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

} // namespace

RasterSurface::RasterSurface(int width, int height)
{
    if (width <= 0 || height <= 0)
        return;
    // Not value-initialised: the white fill is the one pass over the pixels.
    const std::size_t count = std::size_t(width) * std::size_t(height);
    memory_.reset(static_cast<std::uint32_t*>(std::malloc(count * sizeof(std::uint32_t))));
    if (!memory_)
        throw Exception(Format("Out of memory for a %dx%d bitmap", {width, height}));
    // One row filled pixel by pixel, the rest copied from what is white
    // already in runs that double (memcpy moves many pixels an instruction).
    std::uint32_t* const p = memory_.get();
    std::fill(p, p + width, 0xFFFFFFu);
    for (std::size_t done = width; done < count;) {
        const std::size_t n = std::min(done, count - done);
        std::memcpy(p + done, p, n * sizeof(std::uint32_t));
        done += n;
    }
    pixels_ = {memory_.get(), width, width, height};
}

RasterSurface::~RasterSurface() = default;

void RasterSurface::BeginDirect()
{
    rows_.Flush(pixels_);
}

void RasterSurface::Clip(const TRect& rect)
{
    // Box fills waiting in rows_ are written under the clip they were drawn with.
    rows_.Flush(pixels_);
    pixels_.SetClip(rect);
}

const PixelBuffer& RasterSurface::Pixels()
{
    rows_.Flush(pixels_);
    return pixels_;
}

void RasterSurface::Polygon(const TPoint* points, int count, const TBrush& brush, const TPen& pen)
{
    const bool fill = brush.Style() != bsClear, outline = pen.Style != psClear;
    const std::uint32_t fillColor = ToPixel(brush.Color()), penColor = ToPixel(pen.Color);
    Box box;
    if (SolidBox(points, count, fill, fillColor, outline, pen.Width, penColor, box)) {
        rows_.Add(pixels_, box.x0, box.y0, box.x1, box.y1, box.color);
        return;
    }
    BeginDirect();
    RasterPolygon(pixels_, points, count, fill, fillColor, outline, pen.Width, penColor);
}

void RasterSurface::FillBox(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, TColor color)
{
    rows_.Add(pixels_, x0, y0, x1, y1, ToPixel(color));
}

void RasterSurface::Line(TPoint from, TPoint to, int width, TColor color)
{
    BeginDirect();
    DrawLine(pixels_, from.X, from.Y, to.X, to.Y, false, width, ToPixel(color));
}

void RasterSurface::Image(int x, int y, const PixelBuffer& src)
{
    BeginDirect();
    const std::int64_t x0 = std::max<std::int64_t>(x, pixels_.X0()),
                       x1 = std::min<std::int64_t>(std::int64_t(x) + src.width, pixels_.X1());
    const std::int64_t y0 = std::max<std::int64_t>(y, pixels_.Y0()),
                       y1 = std::min<std::int64_t>(std::int64_t(y) + src.height, pixels_.Y1());
    for (std::int64_t row = y0; row < y1; ++row)
        for (std::int64_t col = x0; col < x1; ++col)
            pixels_.Row(int(row))[col] = src.Row(int(row - y))[col - x] & 0xFFFFFF;
}

TColor RasterSurface::Pixel(int x, int y)
{
    if (x < 0 || y < 0 || x >= pixels_.width || y >= pixels_.height)
        return -1;
    return FromPixel(Pixels().Row(y)[x]);
}

void RasterSurface::Text(const TextRun& run)
{
    if (!pixels_.data)
        return;
    BeginDirect();
    if (DirectText(run))
        return;
    const TextLayout& layout = run.layout;
    const int cellHeight = layout.font->ascent + layout.font->descent;
    if (run.opaque && layout.advance > 0) {
        const TextFrame& f = run.frame;
        const PointD corners[4] = {f.Map(0, 0), f.Map(layout.advance, 0), f.Map(layout.advance, cellHeight),
                                   f.Map(0, cellHeight)};
        FillPolygon(pixels_, corners, 4, ToPixel(run.cellColor));
    }
    DrawTransformedText(pixels_, run);
}

bool RasterSurface::DirectText(const TextRun& run)
{
    const TextLayout& layout = run.layout;
    const FontResource& font = *layout.font;
    const int quadrant = Quadrant(run.lf.lfEscapement);
    if (quadrant < 0 || !layout.wholePixels || run.frame.aspect != 1 ||
        !layout.font->Glyphs(layout.glyphs, glyphImages_))
        return false;
    // The frame of a quarter turn starts on whole pixels.
    const auto x = static_cast<std::int64_t>(run.frame.x), y = static_cast<std::int64_t>(run.frame.y);
    // A text-space point (u, v) after the quarter turns, in whole pixels.
    auto map = [&](std::int64_t u, std::int64_t v) -> std::pair<std::int64_t, std::int64_t> {
        switch (quadrant) {
        case 0:
            return {x + u, y + v};
        case 1:
            return {x + v, y - u};
        case 2:
            return {x - u, y - v};
        default:
            return {x - v, y + u};
        }
    };
    auto box = [&](int u0, int v0, int u1, int v1, std::uint32_t color) {
        if (u1 <= u0 || v1 <= v0)
            return;
        auto [ax, ay] = map(u0, v0);
        auto [bx, by] = map(u1, v1);
        gfx::FillBox(pixels_, std::min(ax, bx), std::min(ay, by), std::max(ax, bx) - 1, std::max(ay, by) - 1, color);
    };
    const std::uint32_t textColor = ToPixel(run.color);
    const std::uint32_t background = ToPixel(run.cellColor);
    if (run.opaque)
        box(0, 0, layout.advance, font.ascent + font.descent, background);
    if (!blender_ || blenderColor_ != textColor || blenderBackground_ != background) {
        blender_ = std::make_unique<GlyphBlender>(textColor, background);
        blenderColor_ = textColor;
        blenderBackground_ = background;
    }
    for (std::size_t i = 0; i < glyphImages_.size(); ++i) {
        auto [px, py] = map(static_cast<std::int64_t>(layout.glyphs[i].x), font.ascent);
        blender_->Blend(pixels_, *glyphImages_[i], ClampInt(px), ClampInt(py), quadrant);
    }
    if (run.lf.lfUnderline)
        box(0, font.ascent + font.underlinePos, layout.advance, font.ascent + font.underlinePos + font.lineThickness,
            textColor);
    if (run.lf.lfStrikeOut)
        box(0, font.ascent + font.strikePos, layout.advance, font.ascent + font.strikePos + font.lineThickness,
            textColor);
    return true;
}

} // namespace gfx

} // namespace qb
