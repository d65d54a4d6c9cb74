/// \file
/// Drawing on a surface of the caller's: the extension point through which a
/// toolkit's own painter (a window, an image, a printer, a document format the
/// library does not write) receives what a canvas draws.
///
/// A TSurfaceCanvas hands everything drawn on it to a TCustomSurface as the
/// library's vector outputs see it: filled and stroked paths in device pixels,
/// each pixel being the unit square it covers (a box of pixel columns x0..x1 is
/// the rectangle x0..x1 + 1), clipping rectangles, images, and text runs that
/// carry both their glyphs (to draw as text) and a way to paint them exactly
/// as the library's raster surface does (to match its pixels).
#pragma once

#include "qbarcode/graphics.h"

#include <cstdint>
#include <memory>
#include <string>

namespace qb {

namespace gfx {
struct TextRun;
class SurfaceBridge;
} // namespace gfx

/// One glyph of a text run.
struct TSurfaceGlyph {
    std::uint32_t Index; ///< the glyph's index in the face file
    double X;            ///< its origin along the baseline from the reference point, in unturned pixels
    double Y;            ///< its origin across the baseline, down positive (0 for horizontal text)
};

/// One TextOut as a custom surface receives it. Valid only during the
/// TCustomSurface::Text call that passes it.
///
/// Text space: pixels along the baseline (u) and down across it (v) from the
/// reference point, the top-left corner of the character cell; the baseline
/// lies at v = Ascent(). A text-space point maps to the device point
/// (X() + Aspect() (u cos a + v sin a), Y() - u sin a + v cos a), with a
/// the Angle() in radians.
class TSurfaceText {
public:
    TSurfaceText(const TSurfaceText&) = delete;
    TSurfaceText& operator=(const TSurfaceText&) = delete;

    /// The text as written (8-bit characters).
    const std::string& Text() const;
    /// The reference point in device pixels.
    double X() const;
    double Y() const; ///< as X, downwards
    /// The turn, in degrees counter-clockwise (the font's escapement / 10).
    double Angle() const;
    /// How many times wider than high a device pixel is (1 on square pixels).
    double Aspect() const;
    /// The logical font the text is written in (face name, style, escapement).
    const LOGFONTA& Font() const;

    /// The face file the glyphs come from, and the face's index in it.
    const std::string& FaceFile() const;
    int FaceIndex() const; ///< the face in a collection file (0 for most)
    /// The em size in pixels.
    double PixelSize() const;
    /// Whether the glyphs are drawn anti-aliased on a raster.
    bool Antialiased() const;
    /// The cell: Advance() wide, Ascent() + Descent() high (whole pixels).
    int Ascent() const;
    int Descent() const; ///< below the baseline
    int Advance() const; ///< the width of the whole text
    /// Underline and strike-out bands: their top below the baseline (negative
    /// above it) and their thickness, in pixels.
    int UnderlinePosition() const;
    int StrikeOutPosition() const; ///< as UnderlinePosition
    int LineThickness() const;     ///< of either band

    /// The glyphs the text is laid out in, in text order.
    int GlyphCount() const;
    TSurfaceGlyph Glyph(int i) const; ///< glyph i, 0 <= i < GlyphCount()

    /// The characters' colour.
    TColor Color() const;
    /// Whether the cell is filled with CellColor() first.
    bool Opaque() const;
    TColor CellColor() const; ///< the cell's colour

    /// Paints the run (cell, glyphs, underline and strike-out) into 32-bit
    /// pixels 0xAARRGGBB, as the library's raster surface paints it onto a
    /// bitmap with the same pixels: the same glyph images, blended the same
    /// way. Every pixel written gets the alpha byte 0xFF. `pixels` holds
    /// `height` rows of `stride` pixels of which the first `width` are the
    /// image; `originX` and `originY` are where the device's (0, 0) lies in
    /// it; nothing is written outside `clip` (device pixels, right and bottom
    /// exclusive) or outside the image.
    void Rasterize(std::uint32_t* pixels, int stride, int width, int height, int originX, int originY,
                   const TRect& clip) const;

private:
    friend class gfx::SurfaceBridge;
    explicit TSurfaceText(const gfx::TextRun& run) : run_(run) {}
    const gfx::TextRun& run_;
};

/// The calls a custom surface implements. Coordinates are device pixels of
/// the canvas, y downwards; every shape arrives clipped to a margin around
/// the device's page, so coordinates stay within a few pixels of it.
class TCustomSurface {
public:
    virtual ~TCustomSurface();

    // A path is built up with MoveTo, LineTo, ClosePath and Rectangle, and
    // consumed (emptied) by Fill or Stroke.

    /// Starts a subpath at (x, y).
    virtual void MoveTo(double x, double y) = 0;
    /// A straight segment to (x, y).
    virtual void LineTo(double x, double y) = 0;
    /// Closes the current subpath.
    virtual void ClosePath() = 0;
    /// A closed rectangular subpath.
    virtual void Rectangle(double x, double y, double width, double height) = 0;
    /// Fills the path (even-odd rule when `evenOdd`, else non-zero) and empties it.
    virtual void Fill(TColor color, bool evenOdd) = 0;
    /// Strokes every subpath with miter joins, `width` pixels wide, with
    /// square caps when `squareCaps` (else butt caps), and empties the path.
    virtual void Stroke(TColor color, double width, bool squareCaps) = 0;
    /// A raster image with its top-left corner at (x, y), one device pixel per
    /// image pixel: `height` rows of `stride` pixels 0x00RRGGBB, `width` used.
    virtual void Image(double x, double y, const std::uint32_t* pixels, int width, int height, int stride) = 0;
    /// Limits what is drawn from now on to the rectangle (within the page; it
    /// may be empty), replacing the previous limit.
    virtual void ClipTo(double x, double y, double width, double height) = 0;
    /// Lifts the limit.
    virtual void Unclip() = 0;
    /// One line of text.
    virtual void Text(const TSurfaceText& text) = 0;
};

/// A canvas that draws on a TCustomSurface. Its device is `width` x `height`
/// pixels at `pixelsPerInch` along both axes (fonts are sized by it); Pixel
/// reads -1. The surface must outlive the canvas.
class TSurfaceCanvas : public TCanvas {
public:
    /// Draws on `surface`, whose page is `width` x `height` device pixels.
    TSurfaceCanvas(TCustomSurface& surface, int width, int height, int pixelsPerInch = 96);
    ~TSurfaceCanvas() override;

private:
    std::unique_ptr<gfx::SurfaceBridge> bridge_;
};

} // namespace qb
