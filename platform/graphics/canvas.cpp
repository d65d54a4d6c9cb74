// TCanvas: one drawing interface over raster and vector surfaces.
//
// Raster surfaces are cairo image surfaces whose memory the canvas writes
// directly for shapes and unturned (or quarter-turned) text; cairo draws
// only text at other angles. Vector surfaces get every shape as a path for
// their painter (SVG written natively, PDF and PostScript through cairo),
// each device pixel being the unit square it covers, so a box of pixel
// columns x0..x1 becomes the rectangle x0..x1 + 1.
#include "graphics_internal.h"
#include "qbarcode/sysutils.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>

namespace gfx {

namespace {

struct FontSnapshot {
    std::string name;
    int size = 0, pixelsPerInch = 0;
    TColor color = 0;
    TFontStyles style = 0;
    TFontQuality quality = fqDefault;

    bool Matches(const TFont& f) const
    {
        return size == f.Size && color == f.Color && style == f.Style && quality == f.Quality &&
               pixelsPerInch == f.PixelsPerInch && name == f.Name;
    }
    void Take(const TFont& f)
    {
        name = f.Name;
        size = f.Size;
        pixelsPerInch = f.PixelsPerInch;
        color = f.Color;
        style = f.Style;
        quality = f.Quality;
    }
};

} // namespace

struct CanvasImpl {
    enum class Kind { None, Raster, Vector };

    std::shared_ptr<DeviceContext> dc = std::make_shared<DeviceContext>();
    HDC handle = nullptr;
    Kind kind = Kind::None;
    std::string noSurfaceMessage = "The canvas has no surface to draw on";

    // Raster: the image surface, its memory, and a cairo context for text.
    // Direct writes and cairo drawing are kept coherent with flush/mark-dirty.
    cairo_surface_t* surface = nullptr;
    cairo_t* rasterCr = nullptr;
    PixelBuffer pixels;
    bool cairoPending = false;
    bool directPending = false;

    // Vector: the painter of the document, owned here when the canvas made it.
    VectorPainter* painter = nullptr;
    std::unique_ptr<VectorPainter> ownedPainter;

    bool fontSelected = false;
    FontSnapshot selected;
    TextLayout layout;
    std::vector<const GlyphImage*> glyphImages;
    std::unique_ptr<GlyphBlender> blender; // for the last text and cell colours
    std::uint32_t blenderColor = 0, blenderBackground = 0;

    void BeginDirect()
    {
        if (cairoPending) {
            cairo_surface_flush(surface);
            cairoPending = false;
        }
        directPending = true;
    }

    void FlushForReading()
    {
        if (cairoPending && surface)
            cairo_surface_flush(surface);
        cairoPending = false;
    }

    cairo_t* BeginRasterCairo()
    {
        if (directPending) {
            cairo_surface_mark_dirty(surface);
            directPending = false;
        }
        cairoPending = true;
        if (!rasterCr)
            rasterCr = cairo_create(surface);
        return rasterCr;
    }

    void Release()
    {
        if (rasterCr) {
            cairo_destroy(rasterCr);
            rasterCr = nullptr;
        }
        if (surface) {
            cairo_surface_flush(surface);
            cairo_surface_destroy(surface);
            surface = nullptr;
        }
        painter = nullptr;
        ownedPainter.reset();
        pixels = {};
        cairoPending = directPending = false;
        kind = Kind::None;
    }

    double Aspect() const { return double(dc->caps.dpiX) / dc->caps.dpiY; }
};

namespace {

// --- Vector output ------------------------------------------------------------

// Shapes are clipped to the page plus this margin before they reach a
// painter: cairo's fixed-point coordinates cannot hold the whole 32-bit
// range, and no output needs geometry far off the page.
struct VectorClip {
    double x0, y0, x1, y1;
    VectorClip(const DeviceCaps& caps, int penWidth)
    {
        double m = 16.0 + penWidth;
        x0 = -m, y0 = -m, x1 = caps.width + m, y1 = caps.height + m;
    }
    double X(double x) const { return std::clamp(x, x0, x1); }
    double Y(double y) const { return std::clamp(y, y0, y1); }
};

// A box of whole pixels x0..x1, y0..y1 (inclusive) as a rectangle.
void AddBox(VectorPainter& out, const VectorClip& clip, double x0, double y0, double x1, double y1)
{
    double l = clip.X(x0), t = clip.Y(y0), r = clip.X(x1 + 1), b = clip.Y(y1 + 1);
    if (r > l && b > t)
        out.Rectangle(l, t, r - l, b - t);
}

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
        return [x](const PointD& a, const PointD& b) {
            return PointD{x, a.y + (x - a.x) * (b.y - a.y) / (b.x - a.x)};
        };
    };
    auto atY = [](double y) {
        return [y](const PointD& a, const PointD& b) {
            return PointD{a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y), y};
        };
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
    if (!test(-dx, a.x - clip.x0) || !test(dx, clip.x1 - a.x) || !test(-dy, a.y - clip.y0) ||
        !test(dy, clip.y1 - a.y))
        return false;
    PointD start{a.x + t0 * dx, a.y + t0 * dy}, end{a.x + t1 * dx, a.y + t1 * dy};
    a = start, b = end;
    return true;
}

bool IsAxisRectangle(const TPoint* p)
{
    return (p[0].X == p[1].X && p[1].Y == p[2].Y && p[2].X == p[3].X && p[3].Y == p[0].Y) ||
           (p[0].Y == p[1].Y && p[1].X == p[2].X && p[2].Y == p[3].Y && p[3].X == p[0].X);
}

// The pen of a polygon outline: every edge a segment between pixel centres,
// extended half a pen width at both ends, so the ends of the raster lines
// are covered too.
void StrokeEdges(VectorPainter& out, const TPoint* p, int n, const VectorClip& clip, int penWidth, TColor color)
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
        out.Stroke(color, penWidth, VectorPainter::LineCap::Square);
}

void VectorPolygon(VectorPainter& out, const DeviceCaps& caps, const TPoint* p, int n, const TBrush& brush,
                   const TPen& pen)
{
    const bool fill = brush.Style() != bsClear;
    const bool outline = pen.Style != psClear;
    const int penWidth = std::max(pen.Width, 1);
    const VectorClip clip(caps, penWidth);
    if (n == 4 && IsAxisRectangle(p) && (!outline || penWidth == 1)) {
        double x0 = std::min(p[0].X, p[2].X), x1 = std::max(p[0].X, p[2].X);
        double y0 = std::min(p[0].Y, p[2].Y), y1 = std::max(p[0].Y, p[2].Y);
        if (fill && outline && ColorToRGB(brush.Color()) == ColorToRGB(pen.Color)) {
            // The outline adds nothing but the last column and row: one box.
            AddBox(out, clip, x0, y0, x1, y1);
            out.Fill(pen.Color, false);
            return;
        }
        if (fill) {
            AddBox(out, clip, x0, y0, x1 - 1, y1 - 1);
            out.Fill(brush.Color(), false);
        }
        if (outline) {
            AddBox(out, clip, x0, y0, x1, y0);
            AddBox(out, clip, x0, y1, x1, y1);
            AddBox(out, clip, x0, y0, x0, y1);
            AddBox(out, clip, x1, y0, x1, y1);
            out.Fill(pen.Color, false);
        }
        return;
    }
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

} // namespace

// --- CanvasAccess -------------------------------------------------------------------

void CanvasAccess::AttachRaster(TCanvas& canvas, cairo_surface_t* surface)
{
    CanvasImpl& c = *canvas.impl_;
    c.Release();
    c.kind = CanvasImpl::Kind::Raster;
    if (!surface)
        return; // an empty image: everything is clipped away
    c.surface = cairo_surface_reference(surface);
    cairo_surface_flush(surface);
    c.pixels.data = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface));
    c.pixels.stride = cairo_image_surface_get_stride(surface) / 4;
    c.pixels.width = cairo_image_surface_get_width(surface);
    c.pixels.height = cairo_image_surface_get_height(surface);
}

void CanvasAccess::AttachVector(TCanvas& canvas, cairo_t* cr, double scaleX, double scaleY)
{
    CanvasImpl& c = *canvas.impl_;
    c.Release();
    c.kind = CanvasImpl::Kind::Vector;
    c.ownedPainter = MakeCairoPainter(cr, scaleX, scaleY);
    c.painter = c.ownedPainter.get();
}

void CanvasAccess::AttachPainter(TCanvas& canvas, VectorPainter& painter)
{
    CanvasImpl& c = *canvas.impl_;
    c.Release();
    c.kind = CanvasImpl::Kind::Vector;
    c.painter = &painter;
}

void CanvasAccess::Detach(TCanvas& canvas) { canvas.impl_->Release(); }

void CanvasAccess::SetCaps(TCanvas& canvas, const DeviceCaps& caps)
{
    canvas.impl_->dc->caps = caps;
    canvas.font_.PixelsPerInch = caps.dpiY;
}

void CanvasAccess::SetNoSurfaceMessage(TCanvas& canvas, std::string message)
{
    canvas.impl_->noSurfaceMessage = std::move(message);
}

PixelBuffer CanvasAccess::Pixels(const TCanvas& canvas)
{
    canvas.impl_->FlushForReading();
    return canvas.impl_->pixels;
}

cairo_surface_t* CanvasAccess::RasterSurface(const TCanvas& canvas) { return canvas.impl_->surface; }

void CanvasAccess::MarkPixelsChanged(TCanvas& canvas) { canvas.impl_->directPending = true; }

} // namespace gfx

// --- TCanvas --------------------------------------------------------------------------

using gfx::CanvasImpl;

TCanvas::TCanvas() : impl_(std::make_unique<CanvasImpl>())
{
    impl_->handle = gfx::RegisterDeviceContext(impl_->dc);
}

TCanvas::~TCanvas()
{
    impl_->Release();
    gfx::UnregisterDeviceContext(impl_->handle);
}

namespace {

[[noreturn]] void NoSurface(const CanvasImpl& c) { throw Exception(c.noSurfaceMessage); }

int ClampInt(std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX)); }

} // namespace

void TCanvas::Polygon(const TPoint* points, int count)
{
    CanvasImpl& c = *impl_;
    if (c.kind == CanvasImpl::Kind::Raster) {
        if (count < 2 || !points)
            return;
        c.BeginDirect();
        gfx::RasterPolygon(c.pixels, points, count, brush_.Style() != bsClear, gfx::ToPixel(brush_.Color()),
                           pen_.Style != psClear, pen_.Width, gfx::ToPixel(pen_.Color));
    } else if (c.kind == CanvasImpl::Kind::Vector) {
        if (count < 2 || !points)
            return;
        gfx::VectorPolygon(*c.painter, c.dc->caps, points, count, brush_, pen_);
    } else {
        NoSurface(c);
    }
}

void TCanvas::Rectangle(int left, int top, int right, int bottom)
{
    int r = ClampInt(std::int64_t(right) - 1), b = ClampInt(std::int64_t(bottom) - 1);
    if (r < left || b < top) {
        if (impl_->kind == CanvasImpl::Kind::None)
            NoSurface(*impl_);
        return;
    }
    const TPoint corners[4] = {{left, top}, {left, b}, {r, b}, {r, top}};
    Polygon(corners, 4);
}

void TCanvas::FillRect(const TRect& rect)
{
    CanvasImpl& c = *impl_;
    if (c.kind == CanvasImpl::Kind::None)
        NoSurface(c);
    if (brush_.Style() == bsClear || rect.Right <= rect.Left || rect.Bottom <= rect.Top)
        return;
    std::int64_t r = std::int64_t(rect.Right) - 1, b = std::int64_t(rect.Bottom) - 1;
    if (c.kind == CanvasImpl::Kind::Raster) {
        c.BeginDirect();
        gfx::FillBox(c.pixels, rect.Left, rect.Top, r, b, gfx::ToPixel(brush_.Color()));
    } else {
        gfx::AddBox(*c.painter, gfx::VectorClip(c.dc->caps, 1), rect.Left, rect.Top, double(r), double(b));
        c.painter->Fill(brush_.Color(), false);
    }
}

void TCanvas::LineTo(int x, int y)
{
    CanvasImpl& c = *impl_;
    if (c.kind == CanvasImpl::Kind::None)
        NoSurface(c);
    TPoint from = penPos_;
    penPos_ = {x, y};
    if (pen_.Style == psClear)
        return;
    const int width = std::max(pen_.Width, 1);
    if (c.kind == CanvasImpl::Kind::Raster) {
        c.BeginDirect();
        gfx::DrawLine(c.pixels, from.X, from.Y, x, y, false, width, gfx::ToPixel(pen_.Color));
        return;
    }
    const gfx::VectorClip clip(c.dc->caps, width);
    gfx::VectorPainter& out = *c.painter;
    const double lo = (width - 1) / 2, hi = width / 2;
    if (from.Y == y && from.X != x) {
        double x0 = std::min<double>(from.X, x > from.X ? x - 1.0 : x + 1.0);
        double x1 = std::max<double>(from.X, x > from.X ? x - 1.0 : x + 1.0);
        gfx::AddBox(out, clip, x0 - lo, y - lo, x1 + hi, y + hi);
        out.Fill(pen_.Color, false);
    } else if (from.X == x && from.Y != y) {
        double y0 = std::min<double>(from.Y, y > from.Y ? y - 1.0 : y + 1.0);
        double y1 = std::max<double>(from.Y, y > from.Y ? y - 1.0 : y + 1.0);
        gfx::AddBox(out, clip, x - lo, y0 - lo, x + hi, y1 + hi);
        out.Fill(pen_.Color, false);
    } else if (from.X != x) {
        gfx::PointD a{from.X + 0.5, from.Y + 0.5}, b{x + 0.5, y + 0.5};
        if (gfx::ClipSegment(a, b, clip)) {
            out.MoveTo(a.x, a.y);
            out.LineTo(b.x, b.y);
            out.Stroke(pen_.Color, width, gfx::VectorPainter::LineCap::Butt);
        }
    }
}

void TCanvas::Draw(int x, int y, const TBitmap& bitmap)
{
    CanvasImpl& c = *impl_;
    if (c.kind == CanvasImpl::Kind::None)
        NoSurface(c);
    if (bitmap.Width() == 0 || bitmap.Height() == 0 || bitmap.canvas_.get() == this)
        return;
    gfx::PixelBuffer src = gfx::CanvasAccess::Pixels(*bitmap.canvas_);
    if (c.kind == CanvasImpl::Kind::Raster) {
        c.BeginDirect();
        std::int64_t x0 = std::max<std::int64_t>(x, 0),
                     x1 = std::min<std::int64_t>(std::int64_t(x) + src.width, c.pixels.width);
        std::int64_t y0 = std::max<std::int64_t>(y, 0),
                     y1 = std::min<std::int64_t>(std::int64_t(y) + src.height, c.pixels.height);
        for (std::int64_t row = y0; row < y1; ++row)
            for (std::int64_t col = x0; col < x1; ++col)
                c.pixels.Row(int(row))[col] = src.Row(int(row - y))[col - x] & 0xFFFFFF;
        return;
    }
    const gfx::VectorClip clip(c.dc->caps, 1);
    const gfx::PointD visibleMin{clip.X(x), clip.Y(y)};
    const gfx::PointD visibleMax{clip.X(x + double(src.width)), clip.Y(y + double(src.height))};
    if (visibleMax.x > visibleMin.x && visibleMax.y > visibleMin.y)
        c.painter->Image(x, y, src, gfx::CanvasAccess::RasterSurface(*bitmap.canvas_), visibleMin, visibleMax);
}

void TCanvas::SyncFont()
{
    CanvasImpl& c = *impl_;
    if (c.fontSelected && c.selected.Matches(font_))
        return;
    HFONT handle = font_.Handle();
    c.dc->font = gfx::FontAccess::Object(font_);
    c.dc->fontHandle = handle;
    c.selected.Take(font_);
    c.fontSelected = true;
}

HDC TCanvas::Handle()
{
    SyncFont();
    return impl_->handle;
}

int TCanvas::TextWidth(const std::string& text)
{
    SyncFont();
    CanvasImpl& c = *impl_;
    gfx::LayoutText(c.dc->font->Resource(), text, c.layout);
    if (c.dc->caps.dpiX == c.dc->caps.dpiY)
        return c.layout.advance;
    return static_cast<int>(std::lround(c.layout.advance * c.Aspect()));
}

int TCanvas::TextHeight(const std::string&)
{
    SyncFont();
    const gfx::FontResource& font = *impl_->dc->font->Resource();
    return font.ascent + font.descent;
}

void TCanvas::TextOut(int x, int y, const std::string& text)
{
    SyncFont();
    CanvasImpl& c = *impl_;
    if (c.kind == CanvasImpl::Kind::None)
        NoSurface(c);
    const std::shared_ptr<gfx::GdiFont> gdiFont = c.dc->font; // kept alive while drawing
    const LOGFONTA& lf = gdiFont->lf;
    gfx::LayoutText(gdiFont->Resource(), text, c.layout);
    const gfx::TextLayout& layout = c.layout;
    const gfx::FontResource& font = *layout.font;
    const int cellHeight = font.ascent + font.descent;
    const bool opaque = brush_.Style() != bsClear;
    const gfx::TextFrame frame = gfx::MakeFrame(x, y, lf.lfEscapement, c.Aspect());
    penPos_ = {ClampInt(std::int64_t(x) + std::lround(layout.advance * c.Aspect())), y};

    if (c.kind == CanvasImpl::Kind::Vector) {
        c.painter->Text({frame, layout, lf, font_.Color, opaque, brush_.Color()});
        return;
    }
    if (!c.surface)
        return;

    const int quadrant = gfx::Quadrant(lf.lfEscapement);
    const std::uint32_t textColor = gfx::ToPixel(font_.Color);
    std::vector<const gfx::GlyphImage*>& images = c.glyphImages;
    const bool direct = quadrant >= 0 && layout.wholePixels && c.dc->caps.dpiX == c.dc->caps.dpiY &&
                        layout.font->Glyphs(layout.glyphs, images);
    c.BeginDirect();
    if (direct) {
        // A text-space point (u, v) after the quarter turns, in whole pixels.
        auto map = [&](std::int64_t u, std::int64_t v) -> std::pair<std::int64_t, std::int64_t> {
            switch (quadrant) {
            case 0: return {x + u, y + v};
            case 1: return {x + v, y - u};
            case 2: return {x - u, y - v};
            default: return {x - v, y + u};
            }
        };
        auto box = [&](int u0, int v0, int u1, int v1, std::uint32_t color) {
            if (u1 <= u0 || v1 <= v0)
                return;
            auto [ax, ay] = map(u0, v0);
            auto [bx, by] = map(u1, v1);
            gfx::FillBox(c.pixels, std::min(ax, bx), std::min(ay, by), std::max(ax, bx) - 1,
                         std::max(ay, by) - 1, color);
        };
        const std::uint32_t background = gfx::ToPixel(brush_.Color());
        if (opaque)
            box(0, 0, layout.advance, cellHeight, background);
        if (!c.blender || c.blenderColor != textColor || c.blenderBackground != background) {
            c.blender = std::make_unique<gfx::GlyphBlender>(textColor, background);
            c.blenderColor = textColor;
            c.blenderBackground = background;
        }
        for (std::size_t i = 0; i < images.size(); ++i) {
            auto [px, py] = map(static_cast<std::int64_t>(layout.glyphs[i].x), font.ascent);
            c.blender->Blend(c.pixels, *images[i], ClampInt(px), ClampInt(py), quadrant);
        }
        if (lf.lfUnderline)
            box(0, font.ascent + font.underlinePos, layout.advance,
                font.ascent + font.underlinePos + font.lineThickness, textColor);
        if (lf.lfStrikeOut)
            box(0, font.ascent + font.strikePos, layout.advance,
                font.ascent + font.strikePos + font.lineThickness, textColor);
        return;
    }
    if (opaque && layout.advance > 0) {
        gfx::PointD corners[4] = {frame.Map(0, 0), frame.Map(layout.advance, 0),
                                  frame.Map(layout.advance, cellHeight), frame.Map(0, cellHeight)};
        gfx::FillPolygon(c.pixels, corners, 4, gfx::ToPixel(brush_.Color()));
    }
    gfx::CairoText(c.BeginRasterCairo(), frame, layout, lf, font_.Color);
}

TColor TCanvas::Pixel(int x, int y) const
{
    CanvasImpl& c = *impl_;
    if (c.kind != CanvasImpl::Kind::Raster || x < 0 || y < 0 || x >= c.pixels.width || y >= c.pixels.height)
        return -1;
    c.FlushForReading();
    return gfx::FromPixel(c.pixels.Row(y)[x]);
}
