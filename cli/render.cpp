#include "render.h"
#include "common.h"

#include "qbarcode/fileio.h"
#include "qbarcode/sysutils.h"

#include <cmath>
#include <cstdlib>
#include <vector>

using namespace qb;

namespace {

std::string Lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

struct Placement {
    int width, height, left, top;
};

// Where to draw so that the image holds the painted pixels and the quiet
// zone, which lies along the code (left and right of an upright symbol).
// The retail caption's outer digits and marks stand in the quiet zone: the
// image holds the drawing and the quiet zone around the bars.
Placement Place(const BarcodeStyle& style, const StyledSymbol& symbol, const TFont& font)
{
    // Never destroyed: the font machinery it uses may be torn down first.
    static TCanvas& measuring = *new TCanvas;
    TRect r = StyledBounds(measuring, style, symbol, font, 0, 0, style.height);
    const int modules = style.quietZone >= 0 ? style.quietZone : style.symbology.QuietZone();
    const long long quiet = static_cast<long long>(modules) * std::abs(static_cast<long long>(style.modul));
    const double radians = style.angle / 180.0 * 3.14159265358979323846;
    const bool alongX = std::fabs(std::cos(radians)) >= std::fabs(std::sin(radians));
    long long qx = alongX ? quiet : 0, qy = alongX ? 0 : quiet;
    if (style.retail) {
        const TRect bars =
            qb::SymbolBounds(measuring, symbol.Symbol(), 0, 0, style.height, nullptr, tsNone, tpTopLeft, style.angle);
        r = {static_cast<int>(std::min<long long>(r.Left, bars.Left - qx)),
             static_cast<int>(std::min<long long>(r.Top, bars.Top - qy)),
             static_cast<int>(std::max<long long>(r.Right, bars.Right + qx)),
             static_cast<int>(std::max<long long>(r.Bottom, bars.Bottom + qy))};
        qx = qy = 0;
    }
    const long long w = static_cast<long long>(r.Right) - r.Left + 2 * qx;
    const long long h = static_cast<long long>(r.Bottom) - r.Top + 2 * qy;
    if (w <= 0 || h <= 0 || w > 32767 || h > 32767)
        throw Exception(Format("Image size %d x %d out of range (1 to 32767 pixels).", {w, h}));
    return {static_cast<int>(w), static_cast<int>(h), static_cast<int>(qx - r.Left), static_cast<int>(qy - r.Top)};
}

} // namespace

StyledSymbol EncodeStyled(const BarcodeStyle& style, const std::string& text, std::int32_t modul)
{
    StyledSymbol symbol;
    if (style.retail)
        symbol.parts = qb::EncodeRetailSymbol(style.symbology.type, text, modul, style.checksum, style.addOn);
    else
        symbol.parts.Symbol = EncodeText(style.symbology, text, modul, style.ratio, style.checksum, style.addOn);
    return symbol;
}

TRect StyledBounds(TCanvas& canvas, const BarcodeStyle& style, const StyledSymbol& symbol, const TFont& font,
                   std::int32_t left, std::int32_t top, std::int32_t height)
{
    if (style.retail)
        return qb::RetailSymbolBounds(canvas, symbol.parts, left, top, height, &font, style.angle, style.marks);
    return qb::SymbolBounds(canvas, symbol.Symbol(), left, top, height, &font, style.show, style.position, style.angle);
}

void PaintStyled(TCanvas& canvas, const BarcodeStyle& style, const StyledSymbol& symbol, const TFont& font,
                 std::int32_t left, std::int32_t top, std::int32_t height)
{
    if (style.retail)
        qb::DrawRetailSymbol(canvas, symbol.parts, left, top, height, &font, style.barColor, style.spaceColor,
                             style.captionColor, style.angle, style.marks);
    else
        qb::DrawSymbol(canvas, symbol.Symbol(), left, top, height, &font, style.show, style.position, style.barColor,
                       style.spaceColor, style.captionColor, style.angle);
}

void RequireCaptionFits(const BarcodeStyle& style)
{
    if (style.marks && !style.retail)
        throw UsageError("--quiet-zone-marks goes with --caption retail");
    if (style.retail && (style.symbology.IsExtra() || !qb::HasRetailCaption(style.symbology.type)))
        throw UsageError(std::string("--caption retail goes with EAN-8, EAN-13, UPC-A, UPC-E and the supplements, "
                                     "not ") +
                         style.symbology.Name());
}

ImageFormat ImageFormatOf(const std::string& path)
{
    const auto dot = path.find_last_of('.');
    const std::string ext = dot == std::string::npos ? "" : Lower(path.substr(dot + 1));
    if (ext == "png")
        return ImageFormat::Png;
    if (ext == "svg")
        return ImageFormat::Svg;
    if (ext == "pdf")
        return ImageFormat::Pdf;
    throw UsageError("Output " + QuotedFileName(path) + ": the extension must be .png, .svg or .pdf");
}

ImageSize BarcodeImageSize(const BarcodeStyle& style, const std::string& text)
{
    TFont font;
    MakeFont(style, font);
    const Placement at = Place(style, EncodeStyled(style, text, style.modul), font);
    return {at.width, at.height};
}

double NormalizedAngle(double degrees)
{
    const double turned = std::fmod(degrees, 360.0);
    // fmod keeps the sign; a tiny negative angle plus 360 may round to 360.
    const double angle = turned < 0 ? turned + 360.0 : turned;
    return angle >= 360.0 ? 0.0 : angle + 0.0; // + 0.0: no negative zero
}

void RenderBarcodeFile(const BarcodeStyle& style, const TFont& font, const std::string& text, const std::string& path)
{
    const ImageFormat format = ImageFormatOf(path);
    const StyledSymbol symbol = EncodeStyled(style, text, style.modul);
    const Placement at = Place(style, symbol, font);
    if (format == ImageFormat::Png) {
        TBitmap bitmap(at.width, at.height);
        PaintStyled(bitmap.Canvas(), style, symbol, font, at.left, at.top, style.height);
        bitmap.SaveToFile(path);
        return;
    }
    TVectorDocument doc(format == ImageFormat::Svg ? TVectorFormat::Svg : TVectorFormat::Pdf, path, at.width,
                        at.height);
    TCanvas& canvas = doc.Canvas();
    canvas.Brush().SetColor(clWhite);
    canvas.FillRect({0, 0, at.width, at.height});
    PaintStyled(canvas, style, symbol, font, at.left, at.top, style.height);
    doc.Close();
}

void ParseFont(const std::string& text, BarcodeStyle& style)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i)
        if (i == text.size() || text[i] == ':') {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    if (parts[0].empty())
        throw UsageError("--font: a family name is needed, as in \"DejaVu Sans:10\"");
    style.fontName = parts[0];
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const std::string p = Lower(parts[i]);
        if (p == "bold")
            style.fontStyle |= fsBold;
        else if (p == "italic")
            style.fontStyle |= fsItalic;
        else {
            char* end = nullptr;
            const long size = std::strtol(p.c_str(), &end, 10);
            if (p.empty() || *end || size < 1 || size > 1000)
                throw UsageError("--font: '" + parts[i] + "' is neither a size (1 to 1000) nor bold or italic");
            style.fontSize = static_cast<int>(size);
        }
    }
}

void MakeFont(const BarcodeStyle& style, TFont& font)
{
    font.Name = style.fontName;
    font.Size = style.fontSize;
    font.Style = style.fontStyle;
    font.Color = style.inkColor;
    font.Quality = style.smoothText ? fqDefault : fqNonAntialiased;
}

namespace {

TColor ParseColor(const std::string& option, const std::string& value)
{
    TColor c;
    if (!ColorFromName(value, c))
        throw UsageError(option + ": '" + value + "' is not a colour (#RRGGBB or a name such as black)");
    return c;
}

} // namespace

namespace {

// The names of choices, and the same joined as "a, b or c" for the help.
template <class E, std::size_t N> std::vector<std::string> ChoiceNames(const Choice<E> (&choices)[N])
{
    std::vector<std::string> names;
    for (const Choice<E>& c : choices)
        names.emplace_back(c.name);
    return names;
}

std::string OneOf(const std::vector<std::string>& names)
{
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    return text;
}

// The enumerator named name (the option's check admitted only these names).
template <class E, std::size_t N> E ChoiceValue(const Choice<E> (&choices)[N], const std::string& name)
{
    for (const Choice<E>& c : choices)
        if (name == c.name)
            return c.value;
    throw UsageError("'" + name + "' is none of " + OneOf(ChoiceNames(choices)));
}

} // namespace

void AppearanceOptions::Add(CLI::App& app)
{
    app.add_option("--angle", angle, "Angle in degrees, counter-clockwise")->capture_default_str();
    // "retail" is no caption of the control: the command draws those symbols itself.
    auto shows = ChoiceNames(kCaptionShows);
    shows.push_back("retail");
    const auto positions = ChoiceNames(kCaptionPositions);
    app.add_option("--caption", caption,
                   "Caption: " + OneOf(shows) + " (retail, EAN and UPC: digits under the bars, guards down)")
        ->check(CLI::IsMember(shows))
        ->capture_default_str();
    app.add_flag("--quiet-zone-marks", marks, "With --caption retail: \"<\" and \">\" at the quiet zones' edges");
    app.add_option("--caption-pos", captionPos, "Caption position: " + OneOf(positions))
        ->check(CLI::IsMember(positions))
        ->capture_default_str();
    app.add_option("--font", font, "Caption font, \"Family:Size[:bold][:italic]\" (size in points)")
        ->capture_default_str();
    app.add_option("--bar-color", barColor, "Colour of the bars (#RRGGBB or a name)")->capture_default_str();
    app.add_option("--space-color", spaceColor, "Colour of the spaces")->capture_default_str();
    app.add_option("--caption-color", captionColor, "Colour of the caption's background cell")->capture_default_str();
    app.add_option("--text-color", inkColor, "Colour of the caption's characters")->capture_default_str();
    app.add_flag("--smooth-text", smoothText, "Anti-aliased caption on PNG images (default: crisp, two colours)");
}

void AppearanceOptions::Apply(BarcodeStyle& style) const
{
    style.angle = NormalizedAngle(angle);
    style.retail = caption == "retail";
    style.show = style.retail ? tsNone : ChoiceValue(kCaptionShows, caption);
    style.marks = marks;
    style.position = ChoiceValue(kCaptionPositions, captionPos);
    ParseFont(font, style);
    // Any unknown name would silently draw with some fallback family.
    if (!FontFamilyInstalled(style.fontName))
        throw UsageError("--font: no installed font family is called '" + style.fontName +
                         "' ('qbarcode fonts' lists those installed)");
    style.barColor = ParseColor("--bar-color", barColor);
    style.spaceColor = ParseColor("--space-color", spaceColor);
    style.captionColor = ParseColor("--caption-color", captionColor);
    style.inkColor = ParseColor("--text-color", inkColor);
    style.smoothText = smoothText;
}

void ImageOptions::Add(CLI::App& app, const std::string& heightHelp)
{
    if (!heightHelp.empty())
        app.add_option("--height", height, heightHelp)->check(AtLeastOnePixel())->capture_default_str();
    app.add_option("--quiet-zone", quietZone,
                   "Blank modules each side along the code (default: the symbology's own, mostly 10; 0 for none)");
}

BarcodeStyle DrawingStyle(const EncodingOptions& encoding, const AppearanceOptions& appearance,
                          const ImageOptions& image)
{
    BarcodeStyle style;
    style.symbology = encoding.Type();
    style.addOn = encoding.addOn;
    style.checksum = encoding.CheckSum();
    style.modul = encoding.Modul();
    style.ratio = encoding.ratio;
    style.height = image.height;
    appearance.Apply(style);
    RequireCaptionFits(style);
    style.quietZone = image.quietZone;
    return style;
}
