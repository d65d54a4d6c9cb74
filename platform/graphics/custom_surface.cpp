// Custom surfaces: the vector outputs' geometry handed to a caller's surface,
// and text runs that paint themselves as the raster surface does.
#include "qbarcode/custom_surface.h"
#include "raster/raster_surface.h"
#include "vector/vector_surface.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qb {

namespace gfx {

class SurfaceBridge final : public VectorSurface {
public:
    // Each shape goes to the target as it comes: the target draws at once and
    // has no end of page at which gathered boxes would be filled.
    SurfaceBridge(TCustomSurface& target, int width, int height) : VectorSurface(width, height), target_(target)
    {
        SetGathering(false);
    }

    void MoveTo(double x, double y) override { target_.MoveTo(x, y); }
    void LineTo(double x, double y) override { target_.LineTo(x, y); }
    void ClosePath() override { target_.ClosePath(); }
    void Rectangle(double x, double y, double w, double h) override { target_.Rectangle(x, y, w, h); }
    void Fill(TColor color, bool evenOdd) override { target_.Fill(color, evenOdd); }
    void Stroke(TColor color, double width, LineCap cap) override
    {
        target_.Stroke(color, width, cap == LineCap::Square);
    }
    void PlaceImage(double x, double y, const PixelBuffer& pixels, const PointD&, const PointD&) override
    {
        target_.Image(x, y, pixels.data, pixels.width, pixels.height, pixels.stride);
    }
    void ClipTo(double x, double y, double w, double h) override { target_.ClipTo(x, y, w, h); }
    void Unclip() override { target_.Unclip(); }
    void ShowText(const TextRun& run) override { target_.Text(TSurfaceText(run)); }

private:
    TCustomSurface& target_;
};

} // namespace gfx

using gfx::TextRun;

const std::string& TSurfaceText::Text() const
{
    return run_.layout.text;
}
double TSurfaceText::X() const
{
    return run_.frame.x;
}
double TSurfaceText::Y() const
{
    return run_.frame.y;
}
double TSurfaceText::Angle() const
{
    return std::atan2(run_.frame.sinA, run_.frame.cosA) * 180 / std::numbers::pi;
}
double TSurfaceText::Aspect() const
{
    return run_.frame.aspect;
}
const LOGFONTA& TSurfaceText::Font() const
{
    return run_.lf;
}
const std::string& TSurfaceText::FaceFile() const
{
    return run_.layout.font->face.file;
}
int TSurfaceText::FaceIndex() const
{
    return run_.layout.font->face.index;
}
double TSurfaceText::PixelSize() const
{
    return run_.layout.font->em;
}
bool TSurfaceText::Antialiased() const
{
    return run_.layout.font->antialias;
}
int TSurfaceText::Ascent() const
{
    return run_.layout.font->ascent;
}
int TSurfaceText::Descent() const
{
    return run_.layout.font->descent;
}
int TSurfaceText::Advance() const
{
    return run_.layout.advance;
}
int TSurfaceText::UnderlinePosition() const
{
    return run_.layout.font->underlinePos;
}
int TSurfaceText::StrikeOutPosition() const
{
    return run_.layout.font->strikePos;
}
int TSurfaceText::LineThickness() const
{
    return run_.layout.font->lineThickness;
}
int TSurfaceText::GlyphCount() const
{
    return static_cast<int>(run_.layout.glyphs.size());
}
TSurfaceGlyph TSurfaceText::Glyph(int i) const
{
    const gfx::Glyph& g = run_.layout.glyphs.at(static_cast<std::size_t>(i));
    return {static_cast<std::uint32_t>(g.index), g.x, g.y};
}
TColor TSurfaceText::Color() const
{
    return run_.color;
}
bool TSurfaceText::Opaque() const
{
    return run_.opaque;
}
TColor TSurfaceText::CellColor() const
{
    return run_.cellColor;
}

void TSurfaceText::Rasterize(std::uint32_t* pixels, int stride, int width, int height, int originX, int originY,
                             const TRect& clip) const
{
    // The run is painted on a raster surface of its own covering the pixels
    // it can reach (the turned cell, widened by an em for glyphs that
    // overhang it), holding a copy of what lies there; the result is copied
    // back. Shifting the frame by whole pixels changes no pixel of the text.
    const gfx::TextFrame& f = run_.frame;
    const gfx::FontResource& font = *run_.layout.font;
    const double cellHeight = font.ascent + font.descent, margin = std::ceil(font.em) + 2;
    double x0 = f.x, y0 = f.y, x1 = f.x, y1 = f.y;
    for (const gfx::PointD& p :
         {f.Map(run_.layout.advance, 0), f.Map(0, cellHeight), f.Map(run_.layout.advance, cellHeight)}) {
        x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
    }
    auto bound = [](double v, std::int64_t lo, std::int64_t hi) {
        return std::clamp<std::int64_t>(static_cast<std::int64_t>(std::floor(v)), lo, hi);
    };
    // The box in device pixels: within the clip and the image.
    const std::int64_t left = std::max<std::int64_t>(clip.Left, -std::int64_t{originX});
    const std::int64_t top = std::max<std::int64_t>(clip.Top, -std::int64_t{originY});
    const std::int64_t right = std::min<std::int64_t>(clip.Right, std::int64_t{width} - originX);
    const std::int64_t bottom = std::min<std::int64_t>(clip.Bottom, std::int64_t{height} - originY);
    const std::int64_t bx0 = bound(x0 - margin, left, right), bx1 = bound(x1 + margin + 1, left, right);
    const std::int64_t by0 = bound(y0 - margin, top, bottom), by1 = bound(y1 + margin + 1, top, bottom);
    if (bx1 <= bx0 || by1 <= by0 || !pixels)
        return;
    const int w = static_cast<int>(bx1 - bx0), h = static_cast<int>(by1 - by0);
    std::uint32_t* at = pixels + (by0 + originY) * std::int64_t{stride} + (bx0 + originX);
    gfx::RasterSurface surface(w, h);
    surface.Image(0, 0, gfx::PixelBuffer{at, stride, w, h});
    gfx::TextFrame shifted = f;
    shifted.x -= static_cast<double>(bx0);
    shifted.y -= static_cast<double>(by0);
    surface.Text(TextRun{shifted, run_.layout, run_.lf, run_.color, run_.opaque, run_.cellColor});
    const gfx::PixelBuffer& painted = surface.Pixels();
    for (int row = 0; row < h; ++row) {
        const std::uint32_t* from = painted.Row(row);
        std::uint32_t* to = at + std::int64_t{row} * stride;
        for (int col = 0; col < w; ++col)
            to[col] = from[col] | 0xFF000000u;
    }
}

TCustomSurface::~TCustomSurface() = default;

TSurfaceCanvas::TSurfaceCanvas(TCustomSurface& surface, int width, int height, int pixelsPerInch)
    : bridge_(std::make_unique<gfx::SurfaceBridge>(surface, width, height))
{
    SetDevice({pixelsPerInch, pixelsPerInch, width, height, DT_RASDISPLAY});
    gfx::CanvasAccess::Attach(*this, bridge_.get());
}

TSurfaceCanvas::~TSurfaceCanvas()
{
    gfx::CanvasAccess::Detach(*this);
}

} // namespace qb
