// Rendering one barcode to an image file, shared by draw and form.
#pragma once

#include "qbarcode/qbarcode.h"

#include <string>

/// Everything Q_DrawBar needs besides the canvas and position, plus the
/// image's quiet zone.
struct BarcodeStyle {
    TBarType type = bcCode128B;
    TCheckSum checksum = csNone;
    std::int32_t modul = 2;
    double ratio = 2.0;
    std::int32_t height = 60;
    double angle = 0;
    TTextShow show = tsBarCode;
    TTextPosition position = tpBottomCenter;
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

/// Draws `text` into an image file of exactly the painted pixels plus the
/// quiet zone, written atomically. Raises the library's exceptions.
void RenderBarcodeFile(const BarcodeStyle& style, const std::string& text, const std::string& path);

/// Parses "Family:Size[:bold][:italic]" into the style's font.
void ParseFont(const std::string& text, BarcodeStyle& style);

/// The font a style names, sized in points.
void MakeFont(const BarcodeStyle& style, TFont& font);

namespace CLI {
class App;
}

/// The options of the picture that draw and print share: angle, caption,
/// font and colours.
struct AppearanceOptions {
    double angle = 0;
    std::string caption = "code";
    std::string captionPos = "bottom-center";
    std::string font = "DejaVu Sans:10";
    std::string barColor = "black", spaceColor = "white", captionColor = "white", inkColor = "black";
    bool smoothText = false;

    void Add(CLI::App& app);
    /// Sets the style's angle, caption, font and colours; raises UsageError
    /// for a colour or font it cannot read.
    void Apply(BarcodeStyle& style) const;
};
