// TCanvas: pens, brushes, fonts and text layout over whichever surface its
// owner attached. The canvas never knows which output it paints on.
#include "qbarcode/sysutils.h"
#include "raster/raster_surface.h"
#include "surface.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace qb {

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
    std::shared_ptr<DeviceContext> dc = std::make_shared<DeviceContext>();
    HDC handle = nullptr;
    Surface* surface = nullptr;
    TRect clip = NoClipRect;
    std::string noSurfaceMessage = "The canvas has no surface to draw on";

    bool fontSelected = false;
    FontSnapshot selected;
    TextLayout layout;

    /// The surface to draw on; raises when there is none.
    Surface& Drawable() const
    {
        if (!surface)
            throw Exception(noSurfaceMessage);
        return *surface;
    }
    double Aspect() const { return double(dc->caps.dpiX) / dc->caps.dpiY; }
};

void CanvasAccess::Attach(TCanvas& canvas, Surface* surface)
{
    canvas.impl_->surface = surface;
    if (surface)
        surface->Clip(canvas.impl_->clip);
}

void CanvasAccess::SetCaps(TCanvas& canvas, const DeviceCaps& caps)
{
    canvas.impl_->dc->caps = caps;
    canvas.font_.PixelsPerInch = caps.dpiY;
}

void CanvasAccess::SetNoSurfaceMessage(TCanvas& canvas, std::string message)
{
    canvas.impl_->noSurfaceMessage = std::move(message);
}

} // namespace gfx

using gfx::CanvasImpl;

namespace {

int ClampInt(std::int64_t v)
{
    return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

} // namespace

TCanvas::TCanvas() : impl_(std::make_unique<CanvasImpl>())
{
    impl_->handle = gfx::RegisterDeviceContext(impl_->dc);
}

TCanvas::~TCanvas()
{
    gfx::UnregisterDeviceContext(impl_->handle);
}

void TCanvas::SetDevice(const TDeviceCaps& device)
{
    gfx::DeviceCaps caps;
    caps.dpiX = device.PixelsPerInchX;
    caps.dpiY = device.PixelsPerInchY;
    caps.width = caps.physicalWidth = device.Width;
    caps.height = caps.physicalHeight = device.Height;
    caps.technology = device.Technology;
    gfx::CanvasAccess::SetCaps(*this, caps);
}

void TCanvas::SetNoSurfaceMessage(std::string message)
{
    gfx::CanvasAccess::SetNoSurfaceMessage(*this, std::move(message));
}

void TCanvas::Polygon(const TPoint* points, int count)
{
    gfx::Surface& surface = impl_->Drawable();
    if (count < 2 || !points)
        return;
    surface.Polygon(points, count, brush_, pen_);
}

void TCanvas::Rectangle(int left, int top, int right, int bottom)
{
    gfx::Surface& surface = impl_->Drawable();
    const int r = ClampInt(std::int64_t(right) - 1), b = ClampInt(std::int64_t(bottom) - 1);
    if (r < left || b < top)
        return;
    const TPoint corners[4] = {{left, top}, {left, b}, {r, b}, {r, top}};
    surface.Polygon(corners, 4, brush_, pen_);
}

void TCanvas::FillRect(const TRect& rect)
{
    gfx::Surface& surface = impl_->Drawable();
    if (brush_.Style() == bsClear || rect.Right <= rect.Left || rect.Bottom <= rect.Top)
        return;
    surface.FillBox(rect.Left, rect.Top, std::int64_t(rect.Right) - 1, std::int64_t(rect.Bottom) - 1, brush_.Color());
}

void TCanvas::LineTo(int x, int y)
{
    gfx::Surface& surface = impl_->Drawable();
    const TPoint from = penPos_;
    penPos_ = {x, y};
    if (pen_.Style == psClear)
        return;
    surface.Line(from, penPos_, std::max(pen_.Width, 1), pen_.Color);
}

void TCanvas::Draw(int x, int y, const TBitmap& bitmap)
{
    gfx::Surface& surface = impl_->Drawable();
    if (bitmap.Width() == 0 || bitmap.Height() == 0 || bitmap.canvas_.get() == this)
        return;
    surface.Image(x, y, bitmap.surface_->Pixels());
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
    gfx::Surface& surface = c.Drawable();
    const std::shared_ptr<gfx::GdiFont> gdiFont = c.dc->font; // kept alive while drawing
    const LOGFONTA& lf = gdiFont->lf;
    gfx::LayoutText(gdiFont->Resource(), text, c.layout);
    const gfx::TextFrame frame = gfx::MakeFrame(x, y, lf.lfEscapement, c.Aspect());
    penPos_ = {ClampInt(std::int64_t(x) + std::lround(c.layout.advance * c.Aspect())), y};
    surface.Text({frame, c.layout, lf, font_.Color, brush_.Style() != bsClear, brush_.Color()});
}

TColor TCanvas::Pixel(int x, int y) const
{
    return impl_->surface ? impl_->surface->Pixel(x, y) : -1;
}

const TRect& TCanvas::ClipRect() const
{
    return impl_->clip;
}

void TCanvas::SetClipRect(const TRect& r)
{
    impl_->clip = r;
    if (impl_->surface)
        impl_->surface->Clip(r);
}

TClipScope::TClipScope(TCanvas& canvas, const TRect& r) : canvas_(canvas), saved_(canvas.ClipRect())
{
    canvas.SetClipRect({std::max(r.Left, saved_.Left), std::max(r.Top, saved_.Top), std::min(r.Right, saved_.Right),
                        std::min(r.Bottom, saved_.Bottom)});
}

TClipScope::~TClipScope()
{
    canvas_.SetClipRect(saved_);
}

} // namespace qb
