// Drawing a barcode on a canvas: one polygon per element, then the caption
// with a turned font.
#include "geometry_internal.h"
#include "qbarcode/qbarcode.h"
#include "qbarcode/sysutils.h"
#include "symbol_internal.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>

namespace qb {

namespace {

// Pixel coordinates wrap like the framework's 32-bit integers rather than
// overflow: a drawing far off the canvas is clipped, never undefined.
std::int32_t Wrap(std::int64_t v)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
}

// Radians as the painting routines hold them: a double.
double PaintRadians(double angle)
{
    return static_cast<double>(geom::DegreesToRadians(angle));
}

bool IsTop(TTextPosition p)
{
    return p == tpTopLeft || p == tpTopRight || p == tpTopCenter;
}
bool IsBottom(TTextPosition p)
{
    return p == tpBottomLeft || p == tpBottomRight || p == tpBottomCenter;
}
bool IsRight(TTextPosition p)
{
    return p == tpTopRight || p == tpBottomRight;
}
bool IsCenter(TTextPosition p)
{
    return p == tpTopCenter || p == tpBottomCenter;
}

// Selects a font into a device context for the life of the object, then
// puts the previous one back and deletes it, also when drawing raises.
class SelectedFont {
public:
    SelectedFont(HDC dc, HFONT font) : dc_(dc), font_(font), previous_(SelectObject(dc, font)) {}
    SelectedFont(const SelectedFont&) = delete;
    SelectedFont& operator=(const SelectedFont&) = delete;
    ~SelectedFont()
    {
        SelectObject(dc_, previous_);
        DeleteObject(font_);
    }

private:
    HDC dc_;
    HFONT font_;
    HGDIOBJ previous_;
};

// One polygon per line code, each as wide as `widths` give its class.
void PaintElements(const std::string& lineCodes, const qb::ModuleWidths& widths, TCanvas& canvas, TColor colorBar,
                   TColor colorSpc, std::int32_t left, std::int32_t top, std::int32_t barWidth, std::int32_t barHeight,
                   double angle)
{
    const geom::SinCos sc = geom::SinCosOf(PaintRadians(angle));
    const TPoint origin = geom::PlaceBox({left, top}, {barWidth, barHeight}, sc);
    canvas.Pen().Width = 1;
    if (lineCodes.empty())
        return;
    // A short bar stands on the far edge, level with the bottoms of the full
    // bars (at 0 degrees), so that a baseline reader sees it the right way up.
    const auto halfHeight = static_cast<std::int32_t>((2LL * barHeight) / 5);
    std::int32_t x = 0;
    for (char code : lineCodes) {
        std::int32_t w;
        TBarLineType kind;
        qb::DecodeLineCode(code, widths, w, kind);
        canvas.Pen().Color = kind == white ? colorSpc : colorBar;
        canvas.Brush().SetColor(canvas.Pen().Color);
        const std::int32_t y = kind == black_half ? Wrap(std::int64_t{barHeight} - halfHeight) : 0;
        const std::int32_t right = Wrap(std::int64_t{x} + w - 1);
        const TPoint frame[4] = {{x, y}, {x, barHeight}, {right, barHeight}, {right, y}};
        TPoint corners[4];
        for (int i = 0; i < 4; ++i)
            corners[i] = geom::Offset(geom::Rotate(frame[i], sc), origin);
        canvas.Polygon(corners, 4);
        x = Wrap(std::int64_t{x} + w);
    }
}

} // namespace

void PaintBars(const std::string& LineCodes, TCanvas& Canvas, TColor ColorBar, TColor ColorSpc, std::int32_t Left,
               std::int32_t Top, std::int32_t BarWidth, std::int32_t BarHeight, double Angle)
{
    PaintElements(LineCodes, {ModuleWidth1, ModuleWidth2, ModuleWidth3, ModuleWidth4}, Canvas, ColorBar, ColorSpc, Left,
                  Top, BarWidth, BarHeight, Angle);
}

namespace {

// The caption as the platform writes it: TextWidth is its advance in x
// pixels, TextHeight its cell height in y pixels. Turned text keeps its shape
// on paper, so on a device whose x and y resolutions differ (aspect = x / y)
// a point (u, v) of the text, in y pixels of the unturned text, lands at
// (aspect (u cos + v sin), -u sin + v cos) from the reference point.
struct CaptionMetrics {
    std::int32_t textWidth = 0, textHeight = 0;
    long double aspect = 1;

    // The extents along the barcode's own x and y axes (turned by the same
    // angle, in pixels), which is what placing the caption among the bars
    // needs: along the direction the text runs, in that direction's pixels.
    std::int32_t AlongX(const geom::SinCos& sc) const
    {
        if (aspect == 1)
            return textWidth;
        return static_cast<std::int32_t>(Round(textWidth * (sc.c * sc.c + sc.s * sc.s / aspect)));
    }
    std::int32_t AlongY(const geom::SinCos& sc) const
    {
        if (aspect == 1)
            return textHeight;
        return static_cast<std::int32_t>(Round(textHeight * (sc.c * sc.c + sc.s * sc.s * aspect)));
    }
};

long double PixelAspect(TCanvas& canvas)
{
    const int x = GetDeviceCaps(canvas.Handle(), LOGPIXELSX), y = GetDeviceCaps(canvas.Handle(), LOGPIXELSY);
    return x > 0 && y > 0 && x != y ? static_cast<long double>(x) / y : 1.0L;
}

// The caption's reference point (its unturned top-left corner, turned and
// corrected) for a canvas whose font is already the caption's. `metrics`,
// when given, receives the caption's size and the device's aspect.
TPoint CaptionPoint(TCanvas& canvas, const std::string& caption, std::int32_t left, std::int32_t top,
                    std::int32_t barWidth, std::int32_t barHeight, double angle, TTextPosition position,
                    CaptionMetrics* metrics = nullptr)
{
    const geom::SinCos sc = geom::SinCosOf(PaintRadians(angle));
    const TPoint origin = geom::PlaceBox({left, top}, {barWidth, barHeight}, sc);

    CaptionMetrics m;
    const bool needWidth = metrics || IsRight(position) || IsCenter(position);
    const bool needHeight = metrics || IsBottom(position);
    if (needWidth)
        m.textWidth = canvas.TextWidth(caption);
    if (needHeight)
        m.textHeight = canvas.TextHeight(caption);
    if (needWidth || needHeight)
        m.aspect = PixelAspect(canvas);
    TPoint p{0, 0};
    if (IsRight(position))
        p.X = Wrap(std::int64_t{barWidth} - m.AlongX(sc) - 1);
    else if (IsCenter(position))
        p.X = Wrap((std::int64_t{barWidth} - m.AlongX(sc)) / 2);
    if (IsBottom(position))
        p.Y = Wrap(std::int64_t{barHeight} - m.AlongY(sc));
    if (metrics)
        *metrics = m;
    p = geom::Offset(geom::Rotate(p, sc), origin);

    // One-pixel corrections on the screen, by the angle's quadrant.
    const std::int64_t a = Round(angle) % 360;
    TPoint shift{0, 0};
    if (a <= 45 || a > 315) {
        if (IsBottom(position))
            shift.Y = 1;
        if (IsRight(position))
            shift.X = 1;
    }
    if (a > 135 && a <= 225 && IsTop(position))
        shift.Y = 1;
    if (a > 225 && a <= 315)
        shift.X = 1;
    return geom::Offset(p, shift);
}

std::string ShownCaption(TTextShow show, const qb::EncodedSymbol& symbol)
{
    switch (show) {
    case tsBarCode:
        return symbol.Caption;
    case tsBarType:
        return std::string(symbol.TypeName);
    default:
        std::string shown;
        shown.reserve(symbol.TypeName.size() + 1 + symbol.Caption.size());
        return shown.append(symbol.TypeName).append(1, ' ').append(symbol.Caption);
    }
}

bool ShowsCaption(TTextShow show)
{
    return show == tsBarCode || show == tsBarType || show == tsBoth;
}

struct Bounds {
    long double left, top, right, bottom;
    void Add(long double x, long double y)
    {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
    }
};

} // namespace

void PaintCaption(const std::string& Caption, TCanvas& Canvas, TColor TextColor, const TFont& Font, std::int32_t Left,
                  std::int32_t Top, std::int32_t BarWidth, std::int32_t BarHeight, double Angle,
                  TTextPosition TextPosition)
{
    Canvas.Font().Assign(Font);
    const TPoint p = CaptionPoint(Canvas, Caption, Left, Top, BarWidth, BarHeight, Angle, TextPosition);

    LOGFONTA record;
    if (GetObject(Canvas.Font().Handle(), sizeof record, &record) != sizeof record)
        throw Exception("Cannot read the caption font.");
    const auto tenths = static_cast<std::int32_t>(Round(static_cast<long double>(Angle) * 10));
    record.lfEscapement = tenths;
    record.lfOrientation = tenths;
    record.lfOutPrecision = 0;
    const HFONT turned = CreateFontIndirect(&record);
    if (!turned)
        throw Exception("Cannot create the caption font.");
    SelectedFont selected(Canvas.Handle(), turned);
    Canvas.Brush().SetStyle(bsClear);
    Canvas.Brush().SetColor(TextColor);
    Canvas.TextOut(p.X, p.Y, Caption);
}

TRect DrawingBounds(TCanvas& Canvas, TBarType BarType, const std::string& Text, std::int32_t Modul, double Ratio,
                    TCheckSum CheckSum, std::int32_t Left, std::int32_t Top, std::int32_t BarHeight, const TFont* Font,
                    TTextShow TextShow, TTextPosition TextPosition, double Angle)
{
    return qb::SymbolBounds(Canvas, qb::detail::EncodeSettingWidths(BarType, Text, Modul, Ratio, CheckSum), Left, Top,
                            BarHeight, Font, TextShow, TextPosition, Angle);
}

void Q_DrawBar(TCanvas& Canvas, TBarType BarType, const std::string& Text, std::int32_t Modul, double Ratio,
               TCheckSum CheckSum, std::int32_t Left, std::int32_t Top, std::int32_t BarHeight, const TFont* Font,
               TTextShow TextShow, TTextPosition TextPosition, TColor ColorBar, TColor ColorSpc, TColor TextColor,
               double Angle)
{
    if (ShowsCaption(TextShow) && !Font)
        throw Exception("A caption needs a font.");
    qb::DrawSymbol(Canvas, qb::detail::EncodeSettingWidths(BarType, Text, Modul, Ratio, CheckSum), Left, Top, BarHeight,
                   Font, TextShow, TextPosition, ColorBar, ColorSpc, TextColor, Angle);
}

TRect SymbolBounds(TCanvas& Canvas, const EncodedSymbol& Symbol, std::int32_t Left, std::int32_t Top,
                   std::int32_t BarHeight, const TFont* Font, TTextShow TextShow, TTextPosition TextPosition,
                   double Angle)
{
    const std::int32_t w = Symbol.BarWidth;

    // Every element's corners lie on the outline of the whole box, and a
    // 1-pixel pen paints the corner pixels themselves.
    const geom::SinCos sc = geom::SinCosOf(PaintRadians(Angle));
    const TPoint origin = geom::PlaceBox({Left, Top}, {w, BarHeight}, sc);
    const TPoint first = geom::Offset(geom::Rotate({0, 0}, sc), origin);
    Bounds b{static_cast<long double>(first.X), static_cast<long double>(first.Y), static_cast<long double>(first.X),
             static_cast<long double>(first.Y)};
    const std::int32_t last = Wrap(std::int64_t{w} - 1);
    for (TPoint corner : {TPoint{0, BarHeight}, TPoint{last, BarHeight}, TPoint{last, 0}}) {
        const TPoint p = geom::Offset(geom::Rotate(corner, sc), origin);
        b.Add(p.X, p.Y);
    }
    // Pixels are unit squares: the box's right and bottom edges lie one
    // pixel past the last painted column and row.
    b.right += 1;
    b.bottom += 1;

    if (ShowsCaption(TextShow) && Font) {
        TFont saved;
        saved.Assign(Canvas.Font());
        Canvas.Font().Assign(*Font);
        CaptionMetrics m;
        const std::string shown = ShownCaption(TextShow, Symbol);
        const TPoint p = CaptionPoint(Canvas, shown, Left, Top, w, BarHeight, Angle, TextPosition, &m);
        Canvas.Font().Assign(saved);
        // The character cell, turned by the font's escapement about p (its
        // advance in y pixels is the width over the aspect).
        const long double turn = Round(static_cast<long double>(Angle) * 10) / 10.0L / 180.0L * geom::kPi;
        const long double s = std::sin(turn), c = std::cos(turn);
        const long double tw = m.textWidth / m.aspect, th = m.textHeight;
        for (auto [u, v] : {std::pair<long double, long double>{0, 0}, {tw, 0}, {0, th}, {tw, th}})
            b.Add(p.X + m.aspect * (u * c + v * s), p.Y - u * s + v * c);
    }
    auto clamp = [](long double v) {
        return static_cast<int>(std::clamp<long double>(std::round(v), INT32_MIN, INT32_MAX));
    };
    return {clamp(b.left), clamp(b.top), clamp(b.right), clamp(b.bottom)};
}

void DrawSymbol(TCanvas& Canvas, const EncodedSymbol& Symbol, std::int32_t Left, std::int32_t Top,
                std::int32_t BarHeight, const TFont* Font, TTextShow TextShow, TTextPosition TextPosition,
                TColor ColorBar, TColor ColorSpc, TColor TextColor, double Angle)
{
    const bool withCaption = ShowsCaption(TextShow);
    if (withCaption && !Font)
        throw Exception("A caption needs a font.");

    TFont font;
    TPen pen;
    TBrush brush;
    font.Assign(Canvas.Font());
    pen.Assign(Canvas.Pen());
    brush.Assign(Canvas.Brush());

    PaintElements(Symbol.LineCodes, Symbol.Widths, Canvas, ColorBar, ColorSpc, Left, Top, Symbol.BarWidth, BarHeight,
                  Angle);
    if (withCaption)
        PaintCaption(ShownCaption(TextShow, Symbol), Canvas, TextColor, *Font, Left, Top, Symbol.BarWidth, BarHeight,
                     Angle, TextPosition);
    Canvas.Font().Assign(font);
    Canvas.Pen().Assign(pen);
    Canvas.Brush().Assign(brush);
}

} // namespace qb
