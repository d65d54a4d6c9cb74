/// \file
/// The graphics layer: colours, fonts, pens, brushes,
/// the canvas every drawing goes through, the OS-style font and device-context
/// calls, and the surfaces a canvas paints on (a raster bitmap and SVG, PDF or
/// PostScript documents).
///
/// Coordinates are device pixels, y downwards. Raster drawing of polygons,
/// rectangles and lines is not anti-aliased: a pixel belongs to a filled shape
/// when its centre lies inside it, and a 1-pixel pen covers the pixels of its
/// line, both ends included. Vector surfaces get the same geometry, each pixel
/// being the unit square it covers.
#pragma once

#include "qbarcode/classes.h"

#include <climits>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

// ---------------------------------------------------------------------------
// Colours

/// 0x00BBGGRR. With the top bit set the low byte indexes a system colour,
/// resolved by ColorToRGB to a fixed RGB value.
using TColor = std::int32_t;

/// \name Named colours
///@{

/// A named colour (0x00BBGGRR), read and written by its name in form files.
constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clLtGray = clSilver;
constexpr TColor clDkGray = clGray;
constexpr TColor clMoneyGreen = 0xC0DCC0;
constexpr TColor clSkyBlue = 0xF0CAA6;
constexpr TColor clCream = 0xF0FBFF;
constexpr TColor clMedGray = 0xA4A0A0;
///@}
/// "No colour" and "the default colour" markers; ColorToRGB resolves them to
/// white and black respectively.
///@{
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;
///@}

/// The system colour number index (top bit set, index in the low byte).
constexpr TColor SystemColor(int index)
{
    return static_cast<TColor>(0x80000000u | unsigned(index));
}
/// \name System colours
///@{

/// A system colour, resolved by ColorToRGB to the fixed RGB value of a light
/// desktop theme.
constexpr TColor clScrollBar = SystemColor(0);
constexpr TColor clBackground = SystemColor(1);
constexpr TColor clActiveCaption = SystemColor(2);
constexpr TColor clInactiveCaption = SystemColor(3);
constexpr TColor clMenu = SystemColor(4);
constexpr TColor clWindow = SystemColor(5);
constexpr TColor clWindowFrame = SystemColor(6);
constexpr TColor clMenuText = SystemColor(7);
constexpr TColor clWindowText = SystemColor(8);
constexpr TColor clCaptionText = SystemColor(9);
constexpr TColor clActiveBorder = SystemColor(10);
constexpr TColor clInactiveBorder = SystemColor(11);
constexpr TColor clAppWorkSpace = SystemColor(12);
constexpr TColor clHighlight = SystemColor(13);
constexpr TColor clHighlightText = SystemColor(14);
constexpr TColor clBtnFace = SystemColor(15);
constexpr TColor clBtnShadow = SystemColor(16);
constexpr TColor clGrayText = SystemColor(17);
constexpr TColor clBtnText = SystemColor(18);
constexpr TColor clInactiveCaptionText = SystemColor(19);
constexpr TColor clBtnHighlight = SystemColor(20);
constexpr TColor cl3DDkShadow = SystemColor(21);
constexpr TColor cl3DLight = SystemColor(22);
constexpr TColor clInfoText = SystemColor(23);
constexpr TColor clInfoBk = SystemColor(24);
///@}

/// The plain 0x00BBGGRR value of a colour: system colours resolved, clNone as
/// white, clDefault as black, other values with their top byte cleared.
TColor ColorToRGB(TColor color);

/// Parses "#RRGGBB", a colour name with or without its "cl" prefix ("red",
/// "clBtnFace"), or an integer ("$00FF0000", "255"). Case-insensitive.
/// Returns false (leaving `color` alone) for anything else.
bool ColorFromName(std::string_view text, TColor& color);

/// The name of a colour ("clRed") when it has one, else "$00BBGGRR".
std::string ColorToString(TColor color);

/// Hands the colour names that carry the "cl" prefix to the form reader and
/// writer (RegisterColorIdents). The Graphics unit's start-up calls it, and
/// TFont's class information on first use after any UnregisterColorNames.
void RegisterColorNames();
/// Takes the colour names back from the form reader and writer, which then
/// write colours as numbers. The Graphics unit's shut-down calls it: the
/// library holding the names may be unloaded next.
void UnregisterColorNames();

// ---------------------------------------------------------------------------
// Geometry

/// A point in device pixels.
struct TPoint {
    int X = 0; ///< column, rightwards
    int Y = 0; ///< row, downwards
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

/// Left/Top inclusive, Right/Bottom exclusive (the width is Right - Left).
struct TRect {
    int Left = 0;                               ///< first column
    int Top = 0;                                ///< first row
    int Right = 0;                              ///< the column after the last
    int Bottom = 0;                             ///< the row after the last
    int Width() const { return Right - Left; }  ///< Right - Left
    int Height() const { return Bottom - Top; } ///< Bottom - Top
    friend bool operator==(const TRect&, const TRect&) = default;
};

// ---------------------------------------------------------------------------
// OS-style handles and calls

struct GdiObjectTag;
struct DeviceContextTag;
/// A font (the only kind of graphics object the calls below know).
using HGDIOBJ = GdiObjectTag*;
/// A font handle (CreateFontIndirect).
using HFONT = HGDIOBJ;
/// A device context: the drawing state of one canvas.
using HDC = DeviceContextTag*;

constexpr int LF_FACESIZE = 32;                    ///< bytes of LOGFONTA::lfFaceName, its terminating zero included
constexpr int FW_NORMAL = 400;                     ///< LOGFONTA::lfWeight of a regular face
constexpr int FW_BOLD = 700;                       ///< LOGFONTA::lfWeight of a bold face (600 and over select bold)
constexpr std::uint8_t DEFAULT_CHARSET = 1;        ///< LOGFONTA::lfCharSet: kept, text is 8-bit
constexpr std::uint8_t OUT_DEFAULT_PRECIS = 0;     ///< LOGFONTA::lfOutPrecision: kept, unused
constexpr std::uint8_t DEFAULT_QUALITY = 0;        ///< LOGFONTA::lfQuality: the surface's default
constexpr std::uint8_t NONANTIALIASED_QUALITY = 3; ///< LOGFONTA::lfQuality: glyphs without anti-aliasing
constexpr std::uint8_t ANTIALIASED_QUALITY = 4;    ///< LOGFONTA::lfQuality: anti-aliased glyphs

/// The logical-font record with an 8-bit face name. lfHeight < 0 is the
/// character (em) height in device pixels, > 0 the cell height (ascent plus
/// descent), 0 a default size. lfEscapement turns the text, in tenths of a
/// degree counter-clockwise on the screen; lfOrientation is kept but unused.
struct LOGFONTA {
    std::int32_t lfHeight = 0;                        ///< em height (< 0) or cell height (> 0), pixels
    std::int32_t lfWidth = 0;                         ///< average character width; kept, unused
    std::int32_t lfEscapement = 0;                    ///< text angle, tenths of a degree
    std::int32_t lfOrientation = 0;                   ///< kept, unused
    std::int32_t lfWeight = FW_NORMAL;                ///< FW_NORMAL, FW_BOLD...
    std::uint8_t lfItalic = 0;                        ///< non-zero: italic
    std::uint8_t lfUnderline = 0;                     ///< non-zero: underlined
    std::uint8_t lfStrikeOut = 0;                     ///< non-zero: struck out
    std::uint8_t lfCharSet = DEFAULT_CHARSET;         ///< kept, unused
    std::uint8_t lfOutPrecision = OUT_DEFAULT_PRECIS; ///< kept, unused
    std::uint8_t lfClipPrecision = 0;                 ///< kept, unused
    std::uint8_t lfQuality = DEFAULT_QUALITY;         ///< DEFAULT_QUALITY, NONANTIALIASED_QUALITY...
    std::uint8_t lfPitchAndFamily = 0;                ///< kept, unused
    char lfFaceName[LF_FACESIZE] = {};                ///< face name, zero-terminated
};
static_assert(sizeof(LOGFONTA) == 60, "the logical-font record is 60 bytes");

/// Copies up to `size` bytes of the LOGFONTA of a font handle to `out` and
/// returns the number copied; with a null `out`, returns the record's size.
/// Returns 0 for a null, stale or foreign handle.
int GetObject(HGDIOBJ object, int size, void* out);
/// A new font from a record (face name, height, weight, italic, underline,
/// strike-out, quality and escapement are honoured). Null for a null record.
HFONT CreateFontIndirect(const LOGFONTA* record);
/// Selects a font into a device context and returns the font selected there
/// before; null (and no change) when either handle is not valid.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
/// Deletes a font. A font still selected into a device context keeps working
/// there until it is replaced. False for a null, stale or foreign handle.
bool DeleteObject(HGDIOBJ object);

/// \name GetDeviceCaps indexes and results
///@{

/// An index of GetDeviceCaps: TECHNOLOGY (DT_RASDISPLAY or DT_RASPRINTER),
/// HORZSIZE and VERTSIZE (millimetres), HORZRES and VERTRES (drawable pixels),
/// BITSPIXEL, PLANES, LOGPIXELSX and LOGPIXELSY (pixels per inch), the
/// physical page size and its offsets (pixels); or one of its results.
constexpr int TECHNOLOGY = 2;
constexpr int HORZSIZE = 4;
constexpr int VERTSIZE = 6;
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int PHYSICALWIDTH = 110;
constexpr int PHYSICALHEIGHT = 111;
constexpr int PHYSICALOFFSETX = 112;
constexpr int PHYSICALOFFSETY = 113;
constexpr int DT_RASDISPLAY = 1;
constexpr int DT_RASPRINTER = 2;
///@}

/// A capability of the device behind `dc` (pixels per inch, the drawable
/// size in pixels, the physical page size in pixels and millimetres...).
/// 0 for an unknown index or an invalid handle.
int GetDeviceCaps(HDC dc, int index);

// ---------------------------------------------------------------------------
// Font, pen, brush

/// TFontStyle, one row each: enumerator, value (its bit).
#define QB_FONT_STYLES(X) X(fsBold, 1) X(fsItalic, 2) X(fsUnderline, 4) X(fsStrikeOut, 8)
/// One font style; a set of them is a TFontStyles.
enum TFontStyle : unsigned { QB_FONT_STYLES(QB_ENUMERATOR_ROW) };
/// \cond
QB_CHECK_BITS(QB_FONT_STYLES);
/// \endcond
/// A set of TFontStyle bits (`[fsBold, fsItalic]` in form files).
using TFontStyles = unsigned;
/// How glyphs are rendered: the surface's default, without or with anti-aliasing.
enum TFontQuality { fqDefault, fqNonAntialiased, fqAntialiased };
/// TFontPitch, one row each: enumerator, value.
#define QB_FONT_PITCHES(X) X(fpDefault, 0) X(fpVariable, 1) X(fpFixed, 2)
/// The pitch a font asks for; kept and streamed, not used to pick a face.
enum TFontPitch { QB_FONT_PITCHES(QB_ENUMERATOR_ROW) };
/// \cond
QB_CHECK_ORDINALS(QB_FONT_PITCHES);
/// \endcond

namespace gfx {
struct GdiFont;
struct FontAccess;
} // namespace gfx

/// A font description. Fonts come from fontconfig by family name; Size is in
/// points and becomes pixels through PixelsPerInch (the canvas a font belongs
/// to sets it to its device's vertical resolution). A font is a persistent
/// sub-object of a control: Charset, Color, Height, Name, Pitch, Size and
/// Style stream as Font.Name, Font.Size and so on.
class TFont : public TPersistent {
    QB_CLASS(TFont, TPersistent)
    TFont();
    TFont(const TFont&) = delete;
    TFont& operator=(const TFont&) = delete;
    ~TFont();

    std::string Name = "DejaVu Sans";
    int Size = 8;
    TColor Color = clWindowText;
    TFontStyles Style = 0;
    /// Raster text is anti-aliased unless fqNonAntialiased.
    TFontQuality Quality = fqDefault;
    int PixelsPerInch = 96;
    /// Character set and pitch requested; kept and streamed only.
    std::uint8_t Charset = DEFAULT_CHARSET;
    TFontPitch Pitch = fpDefault;

    /// Size in pixels: negative for a character height, -Size * PixelsPerInch / 72 rounded.
    int Height() const;
    void SetHeight(int height);

    /// Copies every property except PixelsPerInch, so the point size carries
    /// over between devices of different resolutions.
    void Assign(const TFont& source);
    /// The same for a TFont source; other sources raise as TPersistent does.
    void Assign(const TPersistent* source) override;

    /// A font handle for the current properties, owned by this object and
    /// replaced when the properties change.
    HFONT Handle() const;

private:
    friend struct gfx::FontAccess;
    mutable HFONT handle_ = nullptr;
    mutable std::shared_ptr<gfx::GdiFont> object_;
};

/// Whether a font family name resolves to installed fonts: a family by its
/// own name (ignoring case and blanks), or a name the system's font
/// configuration maps to installed families ("sans-serif", "Helvetica"),
/// rather than to the fallback any unknown name gets.
bool FontFamilyInstalled(const std::string& family);

/// The installed font families, sorted, each once.
std::vector<std::string> InstalledFontFamilies();

/// A pen draws (psSolid) or not (psClear).
enum TPenStyle { psSolid, psClear };

/// The outline and line settings of a canvas.
class TPen {
public:
    TColor Color = clBlack; ///< line colour
    /// In pixels; 0 draws like 1.
    int Width = 1;
    TPenStyle Style = psSolid;                          ///< psClear draws no outline
    void Assign(const TPen& source) { *this = source; } ///< copies every property
};

/// A brush fills (bsSolid) or not (bsClear).
enum TBrushStyle { bsSolid, bsClear };

/// The fill settings of a canvas.
class TBrush {
public:
    TColor Color() const { return color_; } ///< fill colour
    /// Setting a colour makes a clear brush solid.
    void SetColor(TColor color)
    {
        color_ = color;
        if (style_ == bsClear)
            style_ = bsSolid;
    }
    TBrushStyle Style() const { return style_; }          ///< bsClear fills nothing
    void SetStyle(TBrushStyle style) { style_ = style; }  ///< sets Style only
    void Assign(const TBrush& source) { *this = source; } ///< copies every property

private:
    TColor color_ = clWhite;
    TBrushStyle style_ = bsSolid;
};

// ---------------------------------------------------------------------------
// Canvas

class TBitmap;
namespace gfx {
struct CanvasImpl;
struct CanvasAccess;
class RasterSurface;
class DocumentSurface;
} // namespace gfx

/// The device behind a canvas of its own device (a printer's), as
/// GetDeviceCaps reports it.
struct TDeviceCaps {
    int PixelsPerInchX = 96; ///< LOGPIXELSX
    int PixelsPerInchY = 96; ///< LOGPIXELSY
    /// The page in pixels (all of it drawable).
    int Width = 0;
    int Height = 0; ///< as Width, down the page
    /// DT_RASDISPLAY or DT_RASPRINTER.
    int Technology = DT_RASDISPLAY;
};

/// The clip of a canvas that has none: every pixel may be drawn.
inline constexpr TRect NoClipRect{INT_MIN, INT_MIN, INT_MAX, INT_MAX};

/// The drawing interface. A canvas paints on whatever surface its owner
/// attached (a bitmap, a vector document, a print job); without one it still
/// measures text, but drawing raises an Exception.
class TCanvas {
public:
    /// A canvas without a surface, at 96 pixels per inch.
    TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;
    virtual ~TCanvas();

    TFont& Font() { return font_; }    ///< the font TextOut and the measures use
    TPen& Pen() { return pen_; }       ///< outlines and lines
    TBrush& Brush() { return brush_; } ///< fills

    /// Fills the polygon (even-odd rule) with the brush and outlines it, closed,
    /// with the pen. Fewer than two points draw nothing.
    void Polygon(const TPoint* points, int count);
    /// The same for a span of points.
    void Polygon(std::span<const TPoint> points) { Polygon(points.data(), static_cast<int>(points.size())); }
    /// Outline with the pen, interior with the brush; covers Left..Right-1 and
    /// Top..Bottom-1.
    void Rectangle(int left, int top, int right, int bottom);
    /// The same for a TRect.
    void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
    /// Fills Left..Right-1, Top..Bottom-1 with the brush (nothing when clear).
    void FillRect(const TRect& r);
    TPoint PenPos() const { return penPos_; }       ///< where the next LineTo starts
    void MoveTo(int x, int y) { penPos_ = {x, y}; } ///< moves PenPos without drawing
    /// A line with the pen from PenPos up to, not including, (x, y); then
    /// PenPos is (x, y).
    void LineTo(int x, int y);
    /// Copies a bitmap with its top-left corner at (x, y).
    void Draw(int x, int y, const TBitmap& bitmap);

    /// The advance width of `text` in the font selected in the device context
    /// (normally this canvas's Font), in pixels.
    int TextWidth(const std::string& text);
    /// Ascent plus descent of that font, in pixels.
    int TextHeight(const std::string& text);
    /// Writes one line with its top-left reference point at (x, y), turned by
    /// the escapement of the selected font about that point. A solid brush
    /// fills the character cell (TextWidth x TextHeight, turned with the text)
    /// first. Characters take Font's colour. PenPos moves to (x + width, y).
    void TextOut(int x, int y, const std::string& text);

    /// The colour of a raster pixel, -1 outside the raster or without one.
    TColor Pixel(int x, int y) const;

    /// The rectangle drawing is limited to (Right and Bottom exclusive), or
    /// NoClipRect when nothing limits it.
    const TRect& ClipRect() const;
    /// Limits every later drawing, on this surface and any attached later, to
    /// the pixels of r: shapes, lines, text and images are cut at its edges,
    /// on a raster and in a vector document alike. An empty r lets nothing
    /// through; NoClipRect lifts the limit.
    void SetClipRect(const TRect& r);

    /// The device context. This canvas's Font is selected into it whenever the
    /// Font differs from what was last selected; a font selected with
    /// SelectObject stays in effect until then.
    HDC Handle();

protected:
    /// For a canvas that stands for a device of its own: what GetDeviceCaps
    /// reports, and the resolution Font is sized by.
    void SetDevice(const TDeviceCaps& device);
    /// The message of the Exception raised by drawing without a surface.
    void SetNoSurfaceMessage(std::string message);

private:
    friend struct gfx::CanvasAccess;
    void SyncFont();

    TFont font_;
    TPen pen_;
    TBrush brush_;
    TPoint penPos_;
    std::unique_ptr<gfx::CanvasImpl> impl_;
};

/// Narrows a canvas's clip to the part of a rectangle inside the clip it
/// has, for as long as the object lives, then gives the canvas back the clip
/// it had (also when an exception passes).
class TClipScope {
public:
    /// Clips `canvas` to r within its present clip.
    TClipScope(TCanvas& canvas, const TRect& r);
    TClipScope(const TClipScope&) = delete;
    TClipScope& operator=(const TClipScope&) = delete;
    ~TClipScope();

private:
    TCanvas& canvas_;
    TRect saved_;
};

// ---------------------------------------------------------------------------
// Surfaces

/// A raster image (24-bit RGB) with a canvas at 96 pixels per inch. A new
/// or enlarged area is white.
class TBitmap {
public:
    /// A white image of width x height pixels (see SetSize for the limits).
    explicit TBitmap(int width = 0, int height = 0);
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;
    ~TBitmap();

    /// Resizes, keeping the overlapping part of the image. Raises for a
    /// negative size or one over 32767 pixels.
    void SetSize(int width, int height);
    int Width() const { return width_; }   ///< in pixels
    int Height() const { return height_; } ///< in pixels
    TCanvas& Canvas() { return *canvas_; } ///< draws on this image

    /// Row `y` as 0x00RRGGBB values; null for a row outside the image.
    const std::uint32_t* ScanLine(int y) const;

    /// The image as a PNG file's bytes: 1, 2, 4 or 8-bit paletted when it has
    /// at most 256 colours, else 24-bit RGB. Raises for an empty image.
    std::string EncodePNG() const;
    /// Writes the PNG file whole or not at all; raises with the system's
    /// reason when it cannot.
    void SaveToFile(const std::string& path) const;

private:
    friend class TCanvas;
    int width_ = 0;
    int height_ = 0;
    std::unique_ptr<gfx::RasterSurface> surface_;
    std::unique_ptr<TCanvas> canvas_;
};

/// The file format of a TVectorDocument.
enum class TVectorFormat { Svg, Pdf, PostScript, Eps };

/// The scale, resolution and title of a TVectorDocument.
struct TVectorOptions {
    /// Output units per device pixel along each axis (SVG: CSS pixels; PDF
    /// and PostScript: points). A printer at d pixels per inch uses 72 / d.
    double ScaleX = 1.0;
    double ScaleY = 1.0; ///< as ScaleX, vertically
    /// The resolution the canvas reports and sizes its fonts by.
    int PixelsPerInchX = 96;
    int PixelsPerInchY = 96; ///< as PixelsPerInchX, vertically
    /// The page of a PDF, PostScript or EPS file in points; 0 takes the
    /// device's size times the scale.
    double PageWidth = 0;
    double PageHeight = 0; ///< as PageWidth, down the page
    std::string Title;     ///< the document title (PDF and PostScript metadata, SVG title)
};

/// An SVG, PDF, PostScript or EPS file drawn through a canvas whose device
/// is `width` x `height` pixels. PDF and PostScript may have several pages.
/// The file is written whole or not at all: it appears when closed.
class TVectorDocument {
public:
    /// Starts the file; raises when it cannot be written.
    TVectorDocument(TVectorFormat format, const std::string& path, int width, int height,
                    const TVectorOptions& options = {});
    /// The same, drawn through `canvas` (which must outlive the document)
    /// instead of a canvas of the document's own. The canvas reports the
    /// document's device from now on.
    TVectorDocument(TCanvas& canvas, TVectorFormat format, const std::string& path, int width, int height,
                    const TVectorOptions& options = {});
    TVectorDocument(const TVectorDocument&) = delete;
    TVectorDocument& operator=(const TVectorDocument&) = delete;
    /// A document neither closed nor aborted is aborted: no partial file remains.
    ~TVectorDocument();

    TCanvas& Canvas() { return *canvas_; }   ///< draws on the current page
    int Width() const { return width_; }     ///< device width in pixels
    int Height() const { return height_; }   ///< device height in pixels
    int PageCount() const { return pages_; } ///< pages begun so far

    /// Ends the current page and starts a blank one (not for SVG or EPS).
    void NewPage();
    /// Writes the rest of the file and puts it in place; raises on a write
    /// error (no file is then left).
    void Close();
    /// Stops; no file is left.
    void Abort();

private:
    void Open(const std::string& path, const TVectorOptions& options);

    TVectorFormat format_;
    int width_, height_, pages_ = 1;
    std::unique_ptr<TCanvas> ownCanvas_;
    TCanvas* canvas_;
    std::unique_ptr<gfx::DocumentSurface> out_;
};

} // namespace qb
