// Rendering one barcode to an image file, shared by draw and form.
#pragma once

#include "common.h"

#include "qbarcode/qbarcode.h"
#include "qbarcode/retail.h"

#include <string>

using namespace qb;

/// Everything Q_DrawBar needs besides the canvas and position, plus the
/// image's quiet zone.
struct BarcodeStyle {
    Symbology symbology;
    TCheckSum checksum = csNone;
    std::int32_t modul = 2;
    double ratio = 2.0;
    std::int32_t height = 60;
    double angle = 0;
    TTextShow show = tsBarCode;
    TTextPosition position = tpBottomCenter;
    /// The retail caption of EAN and UPC (qb::DrawRetailSymbol) instead of show.
    bool retail = false;
    /// With the retail caption: the "<" and ">" quiet-zone marks.
    bool marks = false;
    /// A 2- or 5-digit supplement beside an EAN or UPC symbol.
    std::string addOn;
    std::string fontName = "DejaVu Sans";
    int fontSize = 10;
    TFontStyles fontStyle = 0;
    TColor barColor = clBlack, spaceColor = clWhite, captionColor = clWhite, inkColor = clBlack;
    int quietZone = -1; // modules each side along the code; -1: the symbology's own
    /// Anti-aliased caption on raster images. Off by default: crisp text keeps
    /// a black-and-white barcode a two-colour (1-bit) image.
    bool smoothText = false;
};

enum class ImageFormat { Png, Svg, Pdf };

/// The format named by a file's extension; raises for any other.
ImageFormat ImageFormatOf(const std::string& path);

/// A barcode encoded once for a style: the symbol, and with the retail
/// caption the digits it shows.
struct StyledSymbol {
    qb::RetailSymbol parts; ///< parts.Symbol is the symbol in every style
    const qb::EncodedSymbol& Symbol() const { return parts.Symbol; }
};

/// Encodes `text` for `style` at `modul` pixels per module (EncodeText, or
/// qb::EncodeRetailSymbol for the retail caption).
StyledSymbol EncodeStyled(const BarcodeStyle& style, const std::string& text, std::int32_t modul);

/// The pixels PaintStyled paints (Right and Bottom exclusive).
TRect StyledBounds(TCanvas& canvas, const BarcodeStyle& style, const StyledSymbol& symbol, const TFont& font,
                   std::int32_t left, std::int32_t top, std::int32_t height);

/// Draws the symbol with the style's caption and colours, the box of its
/// bars at (left, top), `height` pixels high.
void PaintStyled(TCanvas& canvas, const BarcodeStyle& style, const StyledSymbol& symbol, const TFont& font,
                 std::int32_t left, std::int32_t top, std::int32_t height);

/// Raises UsageError for the retail caption with a symbology that has none,
/// and for the quiet-zone marks without the retail caption.
void RequireCaptionFits(const BarcodeStyle& style);

/// Draws `text` into an image file of exactly the painted pixels plus the
/// quiet zone, written atomically, with `font` the style's font (MakeFont:
/// a batch makes it once). Raises the library's exceptions.
void RenderBarcodeFile(const BarcodeStyle& style, const TFont& font, const std::string& text, const std::string& path);

/// The size in pixels of the image RenderBarcodeFile writes for `text`.
struct ImageSize {
    int width, height;
};
ImageSize BarcodeImageSize(const BarcodeStyle& style, const std::string& text);

/// An angle in degrees brought into [0, 360): the same turn, the same picture.
double NormalizedAngle(double degrees);

/// Parses "Family:Size[:bold][:italic]" into the style's font.
void ParseFont(const std::string& text, BarcodeStyle& style);

/// The font a style names, sized in points.
void MakeFont(const BarcodeStyle& style, TFont& font);

namespace CLI {
class App;
}

/// A command-line choice: the name an option takes and the enumerator it selects.
template <class E> struct Choice {
    const char* name; ///< as typed on the command line
    E value;          ///< the enumerator it selects
};

/// \cond
#define QB_CLI_CHOICE(enumerator, value, name) {name, enumerator},
/// \endcond
/// The choices of --caption, from the enumeration's list.
inline constexpr Choice<TTextShow> kCaptionShows[] = {QB_TEXT_SHOWS(QB_CLI_CHOICE)};
/// The choices of --caption-pos, from the enumeration's list.
inline constexpr Choice<TTextPosition> kCaptionPositions[] = {QB_TEXT_POSITIONS(QB_CLI_CHOICE)};
#undef QB_CLI_CHOICE

/// The command-line name of value among choices.
template <class E, std::size_t N> const char* ChoiceName(const Choice<E> (&choices)[N], E value)
{
    for (const Choice<E>& c : choices)
        if (c.value == value)
            return c.name;
    return "";
}

/// The options of the picture that draw, measure and print share: angle,
/// caption, font and colours.
struct AppearanceOptions {
    double angle = 0;
    std::string caption = ChoiceName(kCaptionShows, tsBarCode);
    bool marks = false;
    std::string captionPos = ChoiceName(kCaptionPositions, tpBottomCenter);
    std::string font = "DejaVu Sans:10";
    std::string barColor = "black", spaceColor = "white", captionColor = "white", inkColor = "black";
    bool smoothText = false;

    void Add(CLI::App& app);
    /// Sets the style's angle (normalized), caption, font and colours; raises
    /// UsageError for a colour or font it cannot read.
    void Apply(BarcodeStyle& style) const;
};

/// What draw and measure share besides the encoding and the appearance: the
/// bar height and the quiet zone.
struct ImageOptions {
    int height = kDefaultHeightPixels;
    int quietZone = -1;

    /// Adds --quiet-zone and, unless heightHelp is empty, --height (1 pixel or more).
    void Add(CLI::App& app, const std::string& heightHelp);
};

/// The style draw paints with: the symbology, module width and ratio, the
/// appearance, bar height and quiet zone (the check-sum choice is the
/// option's; the text rules may change it per text).
BarcodeStyle DrawingStyle(const EncodingOptions& encoding, const AppearanceOptions& appearance,
                          const ImageOptions& image);
