// Internals shared by the graphics and printer sources: the handle tables,
// the font resource cache, device contexts, the pixel routines and the
// attachment of surfaces to canvases. Not part of the public interface.
#pragma once

#include "qbarcode/graphics.h"

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace gfx {

// --- Fonts -----------------------------------------------------------------

/// A glyph's coverage, placed relative to the pen position on the baseline.
struct GlyphImage {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<std::uint8_t> alpha;
};

/// One realised font (face, style, pixel size, anti-aliasing), shared by all
/// font handles that describe it. The scaled font is unturned and laid out in
/// whole pixels (hinted metrics), so advances and metrics are integers.
struct FontResource {
    FontResource() = default;
    FontResource(const FontResource&) = delete;
    FontResource& operator=(const FontResource&) = delete;
    ~FontResource();

    cairo_scaled_font_t* scaled = nullptr;
    bool antialias = true;
    double em = 0; // the em size in pixels
    int ascent = 0, descent = 0;
    int underlinePos = 0, lineThickness = 1, strikePos = 0; // from the baseline, down positive

    /// The coverage of each glyph for raster output, cached for the life of
    /// the font. False when some glyph is too large to cache.
    bool Glyphs(const std::vector<cairo_glyph_t>& glyphs, std::vector<const GlyphImage*>& out);

private:
    const GlyphImage* Glyph(unsigned long index);

    std::mutex glyphsMutex_;
    std::unordered_map<unsigned long, GlyphImage> glyphs_; // nodes never move or go
    std::size_t glyphBytes_ = 0;
};

/// The resource for a record (cached by face, height, weight, italic, quality).
std::shared_ptr<FontResource> ResolveFont(const LOGFONTA& record);

/// The object behind a font handle.
struct GdiFont {
    explicit GdiFont(const LOGFONTA& record) : lf(record) {}
    LOGFONTA lf;
    /// Realised on first use.
    const std::shared_ptr<FontResource>& Resource();

private:
    std::shared_ptr<FontResource> resource_;
};

/// Text converted to positioned glyphs in a font, in unturned pixels from
/// the pen position on the baseline.
struct TextLayout {
    std::shared_ptr<FontResource> font;
    std::string text;
    std::vector<cairo_glyph_t> glyphs;
    int advance = 0;
    bool wholePixels = true; // every glyph starts on a pixel boundary
};
/// Lays out `text` into `out`, unless `out` already holds it for this font.
void LayoutText(const std::shared_ptr<FontResource>& font, const std::string& text, TextLayout& out);

/// The face used for a record without a face name.
constexpr const char* kDefaultFace = "DejaVu Sans";

/// `s` itself when it is valid UTF-8, else `s` read as Latin-1 and converted:
/// the characters text output shows for an 8-bit string.
std::string AsUtf8(const std::string& s);

// --- Device contexts and handles --------------------------------------------

struct DeviceCaps {
    int dpiX = 96, dpiY = 96;
    int width = 0, height = 0;                 // drawable area, pixels
    int physicalWidth = 0, physicalHeight = 0; // whole page, pixels
    int offsetX = 0, offsetY = 0;              // of the drawable area on the page
    int technology = DT_RASDISPLAY;
};

struct DeviceContext {
    DeviceCaps caps;
    std::shared_ptr<GdiFont> font;
    HGDIOBJ fontHandle = nullptr;
};

HGDIOBJ RegisterFont(std::shared_ptr<GdiFont> font);
std::shared_ptr<GdiFont> FindFont(HGDIOBJ handle);
HDC RegisterDeviceContext(std::shared_ptr<DeviceContext> dc);
void UnregisterDeviceContext(HDC handle);

struct FontAccess {
    /// The object behind the font's current handle.
    static const std::shared_ptr<GdiFont>& Object(const TFont& font);
};

struct PointD {
    double x, y;
};

// --- Vector surfaces ------------------------------------------------------------

/// A transform of text space (pixels along and across the baseline from the
/// reference point, y down) to device pixels: the turn happens in square
/// units of the vertical resolution, then x is scaled by the aspect ratio.
struct TextFrame {
    double x, y, cosA, sinA, aspect;
    PointD Map(double u, double v) const
    {
        return {x + aspect * (u * cosA + v * sinA), y + (-u * sinA + v * cosA)};
    }
};

/// The frame of text written at (x, y) with an escapement in tenths of a
/// degree, on a device whose pixels are `aspect` times as wide as high.
TextFrame MakeFrame(int x, int y, std::int32_t escapement, double aspect);

/// One TextOut on a vector surface.
struct TextRun {
    TextFrame frame;
    const TextLayout& layout;
    const LOGFONTA& lf; // face, style, escapement, underline, strike-out
    TColor color;
    bool opaque;    // the character cell is filled first
    TColor cellColor;
};

struct PixelBuffer;

/// What a vector surface is asked to draw, in device pixels: paths filled or
/// stroked in one colour, text runs and images. A path is built up with
/// MoveTo, LineTo, ClosePath and Rectangle, and consumed by Fill or Stroke.
class VectorPainter {
public:
    enum class LineCap { Butt, Square };

    virtual ~VectorPainter() = default;
    virtual void MoveTo(double x, double y) = 0;
    virtual void LineTo(double x, double y) = 0;
    virtual void ClosePath() = 0;
    /// A closed rectangular subpath.
    virtual void Rectangle(double x, double y, double width, double height) = 0;
    virtual void Fill(TColor color, bool evenOdd) = 0;
    /// Strokes every subpath with miter joins.
    virtual void Stroke(TColor color, double width, LineCap cap) = 0;
    virtual void Text(const TextRun& run) = 0;
    /// A raster image with its top-left corner at (x, y), one unit per pixel,
    /// showing only what lies in the visible box.
    virtual void Image(double x, double y, const PixelBuffer& pixels, cairo_surface_t* surface,
                       const PointD& visibleMin, const PointD& visibleMax) = 0;
};

/// A painter drawing through a cairo context whose user space is one unit per
/// output unit, device pixels mapped with (scaleX, scaleY).
std::unique_ptr<VectorPainter> MakeCairoPainter(cairo_t* cr, double scaleX, double scaleY);

/// Sets a cairo source colour.
void SetCairoColor(cairo_t* cr, TColor color);
/// Glyphs, underline and strike-out through cairo, in the frame's transform
/// on top of the context's current one.
void CairoText(cairo_t* cr, const TextFrame& frame, const TextLayout& layout, const LOGFONTA& lf, TColor color);

// --- Pixel routines (raster surfaces) ---------------------------------------

/// A 0x00RRGGBB image in memory. Every routine clips to it; coordinates may be
/// anywhere in the 32-bit range.
struct PixelBuffer {
    std::uint32_t* data = nullptr;
    int stride = 0; // in pixels
    int width = 0, height = 0;
    std::uint32_t* Row(int y) const { return data + static_cast<std::ptrdiff_t>(y) * stride; }
};

std::uint32_t ToPixel(TColor color);
TColor FromPixel(std::uint32_t pixel);

/// Fills columns x0..x1 and rows y0..y1, both inclusive.
void FillBox(const PixelBuffer& buf, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
             std::uint32_t color);

/// Fills the pixels whose centres lie inside the polygon (even-odd rule;
/// vertices are on pixel corners, so the square x..x+1 is pixel x).
void FillPolygon(const PixelBuffer& buf, const PointD* points, int count, std::uint32_t color);

/// A line through pixel centres, from the first pixel to the last (included
/// when `withLast`), with a square pen `width` pixels wide.
void DrawLine(const PixelBuffer& buf, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
              bool withLast, int width, std::uint32_t color);

/// A polygon with the canvas's semantics: interior by FillPolygon (when
/// `fill`), outline pixels by DrawLine (when `outline`).
void RasterPolygon(const PixelBuffer& buf, const TPoint* points, int count, bool fill,
                   std::uint32_t fillColor, bool outline, int penWidth, std::uint32_t penColor);

/// Blends glyph coverages of one colour into a buffer.
class GlyphBlender {
public:
    /// `background` is the colour most glyph pixels are expected to cover.
    GlyphBlender(std::uint32_t color, std::uint32_t background);
    /// Draws a glyph turned by `quadrant` quarter turns counter-clockwise
    /// about the pen position (px, py).
    void Blend(const PixelBuffer& buf, const GlyphImage& glyph, int px, int py, int quadrant) const;

private:
    std::uint32_t OverBackground(std::uint32_t alpha) const;

    std::uint32_t color_, background_;
    // Blends over the background, worked out when first needed: crisp text
    // has no partial coverage at all.
    mutable std::uint32_t overBackground_[256];
};

/// PNG bytes of an image.
std::string EncodePng(const PixelBuffer& image);

// --- Attaching surfaces to canvases -----------------------------------------

struct CanvasAccess {
    /// Draw on a cairo image surface (RGB24); null detaches.
    static void AttachRaster(TCanvas& canvas, cairo_surface_t* surface);
    /// Draw through a cairo context whose user space is one unit per output
    /// unit; the canvas maps device pixels with (scaleX, scaleY).
    static void AttachVector(TCanvas& canvas, cairo_t* cr, double scaleX, double scaleY);
    /// Draw through a painter that outlives the attachment.
    static void AttachPainter(TCanvas& canvas, VectorPainter& painter);
    static void Detach(TCanvas& canvas);
    static void SetCaps(TCanvas& canvas, const DeviceCaps& caps);
    /// The message of the Exception raised by drawing without a surface.
    static void SetNoSurfaceMessage(TCanvas& canvas, std::string message);
    /// The raster pixels, with everything drawn so far in them.
    static PixelBuffer Pixels(const TCanvas& canvas);
    static cairo_surface_t* RasterSurface(const TCanvas& canvas);
    /// Tells the canvas that its raster was written outside it.
    static void MarkPixelsChanged(TCanvas& canvas);
};

} // namespace gfx
