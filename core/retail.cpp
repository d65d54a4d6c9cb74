// EAN and UPC symbols with the retail caption: the guard bars run down
// between the digit groups, which stand where the GS1 layout puts them.
#include "qbarcode/retail.h"
#include "bardef/bardef.h"
#include "geometry_internal.h"
#include "qbarcode/sysutils.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace qb {

namespace {

// Sizes in modules: how far the guard bars run below the others, the
// digits' character height, and the smaller digits of UPC as a share of it.
constexpr int kGuardExtension = 5;
constexpr int kDigitHeight = 9;
constexpr double kSmallDigits = 0.75;
// The add-on's gap as line codes: spaces of 4, 4 and 1 modules.
constexpr const char* kAddOnGapCodes = "330";
static_assert(4 + 4 + 1 == qb::kAddOnGap);

// Consecutive elements of one height: `count` line codes, running down with
// the guards or not.
struct Run {
    int count;
    bool guard;
};

// Where a group of digits stands along the code, in modules from the main
// symbol's first element: centred in [from, to), its right edge at `from`
// (left of the symbol), or its left edge at `from` (right of it).
enum class Anchor { Centred, EndsAt, StartsAt };
struct DigitGroup {
    int first, count;
    Anchor anchor;
    int from, to;
    bool small;
};

// One row per main symbology: its runs (as GS1 draws them in
// figures of the EAN/UPC symbols: UPC-A's first and last symbol characters
// run down with the guards), its digit groups, and the quiet zones, in
// modules, whose outer edges the "<" and ">" marks stand at (0: no mark).
struct Layout {
    TBarType type;
    Run runs[5];
    int runCount;
    DigitGroup groups[4];
    int groupCount;
    int leftMark, rightMark;
};

constexpr Layout kLayouts[] = {
    {bcCodeEAN8,
     {{3, true}, {16, false}, {5, true}, {16, false}, {3, true}},
     5,
     {{0, 4, Anchor::Centred, 3, 31, false}, {4, 4, Anchor::Centred, 36, 64, false}},
     2,
     7,
     7},
    {bcCodeEAN13,
     {{3, true}, {24, false}, {5, true}, {24, false}, {3, true}},
     5,
     {{0, 1, Anchor::EndsAt, -1, 0, false},
      {1, 6, Anchor::Centred, 3, 45, false},
      {7, 6, Anchor::Centred, 50, 92, false}},
     3,
     0,
     7},
    {bcCodeUPC_A,
     {{7, true}, {20, false}, {5, true}, {20, false}, {7, true}},
     5,
     {{0, 1, Anchor::EndsAt, -1, 0, true},
      {1, 5, Anchor::Centred, 10, 45, false},
      {6, 5, Anchor::Centred, 50, 85, false},
      {11, 1, Anchor::StartsAt, 96, 0, true}},
     4,
     0,
     0},
    {bcCodeUPC_E0,
     {{3, true}, {24, false}, {6, true}},
     3,
     {{0, 1, Anchor::EndsAt, -1, 0, true},
      {1, 6, Anchor::Centred, 3, 45, false},
      {7, 1, Anchor::StartsAt, 52, 0, true}},
     3,
     0,
     0},
    {bcCodeUPC_E1,
     {{3, true}, {24, false}, {6, true}},
     3,
     {{0, 1, Anchor::EndsAt, -1, 0, true},
      {1, 6, Anchor::Centred, 3, 45, false},
      {7, 1, Anchor::StartsAt, 52, 0, true}},
     3,
     0,
     0},
};

// The add-on's right quiet zone, whose outer edge its ">" stands at.
constexpr int kAddOnMark = 5;

// Every run covers its symbol's line codes and every group its digits.
constexpr bool CheckLayouts()
{
    constexpr int lineCodes[] = {43, 59, 59, 33, 33}, digits[] = {8, 13, 12, 8, 8};
    for (int i = 0; i < 5; ++i) {
        const Layout& l = kLayouts[i];
        int codes = 0, shown = 0;
        for (int r = 0; r < l.runCount; ++r)
            codes += l.runs[r].count;
        for (int g = 0; g < l.groupCount; ++g) {
            if (l.groups[g].first != shown)
                return false;
            shown += l.groups[g].count;
        }
        if (codes != lineCodes[i] || shown != digits[i])
            return false;
    }
    return true;
}
static_assert(CheckLayouts());

const Layout* LayoutOf(TBarType type)
{
    for (const Layout& l : kLayouts)
        if (l.type == type)
            return &l;
    return nullptr;
}

bool IsSupplement(TBarType type)
{
    return type == bcCodeUPC_Supp2 || type == bcCodeUPC_Supp5;
}

// A block of elements in the symbol's frame (x along the code, y down from
// the bar-start edge), rows y0 to y1 inclusive.
struct Block {
    std::size_t first, count; // line codes
    std::int32_t x, y0, y1;
};

// A text cell, its unturned top-left corner in the frame.
struct Cell {
    std::string text;
    bool small;
    std::int32_t x, y;
};

// The caption's two fonts (digits and the smaller UPC digits), turned by the
// drawing's angle, selected into the canvas in turn; the canvas's own font
// is selected back and both are deleted at the end, also when drawing raises.
class DigitFonts {
public:
    DigitFonts(TCanvas& canvas, const TFont* font, std::int32_t module, double angle)
    {
        TFont base;
        if (font)
            base.Assign(*font);
        canvas.Font().Assign(base);
        dc_ = canvas.Handle();
        if (GetObject(canvas.Font().Handle(), sizeof record_, &record_) != sizeof record_)
            throw Exception("Cannot read the caption font.");
        const auto tenths = static_cast<std::int32_t>(Round(static_cast<long double>(angle) * 10));
        record_.lfEscapement = record_.lfOrientation = tenths;
        record_.lfOutPrecision = 0;
        SetHeight(std::max<std::int64_t>(1, std::int64_t{module} * kDigitHeight));
    }
    DigitFonts(const DigitFonts&) = delete;
    DigitFonts& operator=(const DigitFonts&) = delete;
    ~DigitFonts()
    {
        if (previous_)
            SelectObject(dc_, previous_);
        Release();
    }

    // Characters `height` pixels high, the smaller ones in proportion.
    void SetHeight(std::int64_t height)
    {
        height = std::clamp<std::int64_t>(height, 1, 32767);
        Release();
        for (int i = 0; i < 2; ++i) {
            LOGFONTA r = record_;
            r.lfHeight = -static_cast<std::int32_t>(
                i == 0 ? height : std::max<std::int64_t>(1, std::llround(height * kSmallDigits)));
            fonts_[i] = CreateFontIndirect(&r);
            if (!fonts_[i])
                throw Exception("Cannot create the caption font.");
        }
        Use(false);
    }
    void Use(bool small)
    {
        const HGDIOBJ old = SelectObject(dc_, fonts_[small ? 1 : 0]);
        if (!previous_)
            previous_ = old;
    }

private:
    void Release()
    {
        for (HFONT& f : fonts_)
            if (f) {
                if (previous_)
                    SelectObject(dc_, previous_); // never delete the font in use
                DeleteObject(f);
                f = nullptr;
            }
    }

    HDC dc_ = nullptr;
    LOGFONTA record_{};
    HFONT fonts_[2] = {nullptr, nullptr};
    HGDIOBJ previous_ = nullptr;
};

// What the retail drawing paints, in the symbol's frame.
struct Plan {
    std::vector<Block> blocks;
    std::vector<Cell> cells;
};

std::int32_t Clamp32(std::int64_t v)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

// Lays the symbol out with the fonts selected; the digits are made smaller
// when a group would not fit between its guards.
Plan MakePlan(TCanvas& canvas, DigitFonts& fonts, const qb::RetailSymbol& symbol, std::int32_t barHeight, bool marks)
{
    const qb::EncodedSymbol& s = symbol.Symbol;
    const std::int64_t m = s.Widths[0], h = barHeight, guardBottom = h + kGuardExtension * m;
    const Layout* layout = LayoutOf(symbol.BarType);

    auto widthOf = [&](std::size_t first, std::size_t count) {
        std::int64_t w = 0;
        for (std::size_t i = first; i < first + count && i < s.LineCodes.size(); ++i) {
            std::int32_t cw;
            TBarLineType kind;
            qb::DecodeLineCode(s.LineCodes[i], s.Widths, cw, kind);
            w += cw;
        }
        return w;
    };

    // Shrink the digits until every centred group fits with a module each side.
    if (layout)
        for (int g = 0; g < layout->groupCount; ++g) {
            const DigitGroup& group = layout->groups[g];
            if (group.anchor != Anchor::Centred)
                continue;
            const std::int64_t room = (group.to - group.from - 2) * m;
            const std::int64_t width = canvas.TextWidth(symbol.Digits.substr(group.first, group.count));
            if (width > room && width > 0)
                fonts.SetHeight(kDigitHeight * m * room / width);
        }
    fonts.Use(true);
    const std::int32_t smallHeight = canvas.TextHeight("0");
    fonts.Use(false);
    const std::int32_t digitHeight = canvas.TextHeight("0");

    Plan plan;
    const std::int32_t textTop = Clamp32(h + 1);
    std::int64_t addOnStart = 0, end = 0;
    if (layout) {
        std::size_t at = 0;
        std::int64_t x = 0;
        for (int r = 0; r < layout->runCount; ++r) {
            const Run& run = layout->runs[r];
            plan.blocks.push_back(
                {at, static_cast<std::size_t>(run.count), Clamp32(x), 0, Clamp32(run.guard ? guardBottom : h)});
            x += widthOf(at, run.count);
            at += run.count;
        }
        end = x;
        for (int g = 0; g < layout->groupCount; ++g) {
            const DigitGroup& group = layout->groups[g];
            std::string digits = symbol.Digits.substr(group.first, group.count);
            fonts.Use(group.small);
            const std::int64_t width = canvas.TextWidth(digits);
            std::int64_t left = group.from * m;
            if (group.anchor == Anchor::Centred)
                left += ((group.to - group.from) * m - width) / 2;
            else if (group.anchor == Anchor::EndsAt)
                left -= width;
            const std::int32_t top = group.small ? Clamp32(textTop + digitHeight - smallHeight) : textTop;
            plan.cells.push_back({std::move(digits), group.small, Clamp32(left), top});
        }
        fonts.Use(false);
        if (marks && layout->leftMark)
            plan.cells.push_back({"<", false, Clamp32(-layout->leftMark * m), textTop});
        if (marks && layout->rightMark && symbol.AddOnDigits.empty())
            plan.cells.push_back({">", false, Clamp32(end + layout->rightMark * m - canvas.TextWidth(">")), textTop});
        if (symbol.AddOnDigits.empty())
            return plan;
        plan.blocks.push_back({at, std::char_traits<char>::length(kAddOnGapCodes), Clamp32(x), 0, Clamp32(h)});
        addOnStart = x + widthOf(at, std::char_traits<char>::length(kAddOnGapCodes));
    }
    // The supplement: its digits above its bars, which run down to the
    // guards' bottom beside a main symbol.
    const std::size_t first = layout ? symbol.MainLineCodes + std::char_traits<char>::length(kAddOnGapCodes) : 0;
    const std::size_t count = s.LineCodes.size() - first;
    const std::string& digits = layout ? symbol.AddOnDigits : symbol.Digits;
    const std::int64_t bottom = layout ? guardBottom : h;
    const std::int64_t width = widthOf(first, count);
    plan.blocks.push_back(
        {first, count, Clamp32(addOnStart), Clamp32(std::min<std::int64_t>(digitHeight, bottom)), Clamp32(bottom)});
    const std::int64_t textWidth = canvas.TextWidth(digits);
    plan.cells.push_back({digits, false, Clamp32(addOnStart + (width - textWidth) / 2), 0});
    if (marks)
        plan.cells.push_back({">", false, Clamp32(addOnStart + width + kAddOnMark * m - canvas.TextWidth(">")), 0});
    return plan;
}

long double PixelAspect(TCanvas& canvas)
{
    const int x = GetDeviceCaps(canvas.Handle(), LOGPIXELSX), y = GetDeviceCaps(canvas.Handle(), LOGPIXELSY);
    return x > 0 && y > 0 && x != y ? static_cast<long double>(x) / y : 1.0L;
}

TPoint Turned(TPoint p, const geom::SinCos& sc, TPoint origin)
{
    return geom::Offset(geom::Rotate(p, sc), origin);
}

// The frame's origin on the canvas: the box of the bars placed as
// DrawSymbol places it.
TPoint OriginOf(const qb::RetailSymbol& symbol, std::int32_t left, std::int32_t top, std::int32_t barHeight,
                const geom::SinCos& sc)
{
    return geom::PlaceBox({left, top}, {symbol.Symbol.BarWidth, barHeight}, sc);
}

double Radians(double angle)
{
    return static_cast<double>(geom::DegreesToRadians(angle));
}

// Keeps the canvas's font, pen and brush and hands them back.
class SavedCanvas {
public:
    explicit SavedCanvas(TCanvas& canvas) : canvas_(canvas)
    {
        font_.Assign(canvas.Font());
        pen_.Assign(canvas.Pen());
        brush_.Assign(canvas.Brush());
    }
    SavedCanvas(const SavedCanvas&) = delete;
    SavedCanvas& operator=(const SavedCanvas&) = delete;
    ~SavedCanvas()
    {
        canvas_.Font().Assign(font_);
        canvas_.Pen().Assign(pen_);
        canvas_.Brush().Assign(brush_);
    }

private:
    TCanvas& canvas_;
    TFont font_;
    TPen pen_;
    TBrush brush_;
};

} // namespace

bool HasRetailCaption(TBarType BarType)
{
    return LayoutOf(BarType) || IsSupplement(BarType);
}

RetailSymbol EncodeRetailSymbol(TBarType BarType, const std::string& Text, std::int32_t Modul, TCheckSum CheckSum,
                                const std::string& AddOn)
{
    if (!HasRetailCaption(BarType))
        throw Exception(Format("%s", {"Wrong barcode type."}));
    RetailSymbol r;
    r.BarType = BarType;
    r.Symbol = EncodeSymbol(BarType, Text, Modul, 2.0, CheckSum);
    r.MainLineCodes = r.Symbol.LineCodes.size();
    r.Digits = EanUpcDigits(BarType, r.Symbol.LineCodes);
    const std::string addOn = Trim(AddOn);
    if (addOn.empty())
        return r;
    if (IsSupplement(BarType))
        throw Exception(Format("%s : %s", {AddOn, "a supplement takes no add-on."}));
    if (addOn.size() != 2 && addOn.size() != 5)
        throw Exception(Format("%s : %s", {AddOn, "an add-on has 2 or 5 digits."}));
    const TBarType addOnType = addOn.size() == 2 ? bcCodeUPC_Supp2 : bcCodeUPC_Supp5;
    const EncodedSymbol supplement = EncodeSymbol(addOnType, addOn, Modul, 2.0, csNone);
    r.AddOnDigits = EanUpcDigits(addOnType, supplement.LineCodes);
    r.Symbol = MakeSymbol(r.Symbol.LineCodes + kAddOnGapCodes + supplement.LineCodes, std::move(r.Symbol.Caption),
                          r.Symbol.TypeName, Modul, 2.0);
    return r;
}

void DrawRetailSymbol(TCanvas& Canvas, const RetailSymbol& Symbol, std::int32_t Left, std::int32_t Top,
                      std::int32_t BarHeight, const TFont* Font, TColor ColorBar, TColor ColorSpc, TColor TextColor,
                      double Angle, bool QuietZoneMarks)
{
    SavedCanvas saved(Canvas);
    const geom::SinCos sc = geom::SinCosOf(Radians(Angle));
    const TPoint origin = OriginOf(Symbol, Left, Top, BarHeight, sc);
    DigitFonts fonts(Canvas, Font, Symbol.Symbol.Widths[0], Angle);
    const Plan plan = MakePlan(Canvas, fonts, Symbol, BarHeight, QuietZoneMarks);

    Canvas.Pen().Width = 1;
    for (const Block& b : plan.blocks) {
        std::int64_t x = b.x;
        for (std::size_t i = b.first; i < b.first + b.count; ++i) {
            std::int32_t w;
            TBarLineType kind;
            DecodeLineCode(Symbol.Symbol.LineCodes[i], Symbol.Symbol.Widths, w, kind);
            Canvas.Pen().Color = kind == white ? ColorSpc : ColorBar;
            Canvas.Brush().SetColor(Canvas.Pen().Color);
            const std::int32_t x0 = Clamp32(x), x1 = Clamp32(x + w - 1);
            const TPoint corners[4] = {Turned({x0, b.y0}, sc, origin), Turned({x0, b.y1}, sc, origin),
                                       Turned({x1, b.y1}, sc, origin), Turned({x1, b.y0}, sc, origin)};
            Canvas.Polygon(corners, 4);
            x += w;
        }
    }
    Canvas.Brush().SetStyle(bsClear);
    Canvas.Brush().SetColor(TextColor); // solid again: the cells are filled
    for (const Cell& c : plan.cells) {
        fonts.Use(c.small);
        const TPoint p = Turned({c.x, c.y}, sc, origin);
        Canvas.TextOut(p.X, p.Y, c.text);
    }
}

TRect RetailSymbolBounds(TCanvas& Canvas, const RetailSymbol& Symbol, std::int32_t Left, std::int32_t Top,
                         std::int32_t BarHeight, const TFont* Font, double Angle, bool QuietZoneMarks)
{
    SavedCanvas saved(Canvas);
    const geom::SinCos sc = geom::SinCosOf(Radians(Angle));
    const TPoint origin = OriginOf(Symbol, Left, Top, BarHeight, sc);
    struct Box {
        long double left = INFINITY, top = INFINITY, right = -INFINITY, bottom = -INFINITY;
        void Add(long double x, long double y)
        {
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
    } bars, cells;
    Plan plan;
    long double aspect = 1;
    std::vector<std::pair<std::int32_t, std::int32_t>> sizes; // each cell's width and height
    {
        DigitFonts fonts(Canvas, Font, Symbol.Symbol.Widths[0], 0.0);
        plan = MakePlan(Canvas, fonts, Symbol, BarHeight, QuietZoneMarks);
        for (const Cell& c : plan.cells) {
            fonts.Use(c.small);
            sizes.emplace_back(Canvas.TextWidth(c.text), Canvas.TextHeight(c.text));
        }
        aspect = PixelAspect(Canvas);
    }
    for (const Block& b : plan.blocks) {
        std::int64_t w = 0;
        for (std::size_t i = b.first; i < b.first + b.count; ++i) {
            std::int32_t cw;
            TBarLineType kind;
            DecodeLineCode(Symbol.Symbol.LineCodes[i], Symbol.Symbol.Widths, cw, kind);
            w += cw;
        }
        if (w == 0)
            continue;
        const std::int32_t x1 = Clamp32(std::int64_t{b.x} + w - 1);
        for (TPoint corner : {TPoint{b.x, b.y0}, TPoint{b.x, b.y1}, TPoint{x1, b.y1}, TPoint{x1, b.y0}}) {
            const TPoint p = Turned(corner, sc, origin);
            bars.Add(p.X, p.Y);
        }
    }
    // Pixels are unit squares: the last painted column and row end a pixel on.
    bars.right += 1;
    bars.bottom += 1;
    // Each cell turned by the font's escapement about its reference point.
    const long double turn = Round(static_cast<long double>(Angle) * 10) / 10.0L / 180.0L * geom::kPi;
    const long double s = std::sin(turn), c = std::cos(turn);
    for (std::size_t i = 0; i < plan.cells.size(); ++i) {
        const TPoint p = Turned({plan.cells[i].x, plan.cells[i].y}, sc, origin);
        const long double tw = sizes[i].first / aspect, th = sizes[i].second;
        for (auto [u, v] : {std::pair<long double, long double>{0, 0}, {tw, 0}, {0, th}, {tw, th}})
            cells.Add(p.X + aspect * (u * c + v * s), p.Y - u * s + v * c);
    }
    auto clamp = [](long double v) {
        return static_cast<int>(std::clamp<long double>(std::round(v), INT32_MIN, INT32_MAX));
    };
    return {clamp(std::min(bars.left, cells.left)), clamp(std::min(bars.top, cells.top)),
            clamp(std::max(bars.right, cells.right)), clamp(std::max(bars.bottom, cells.bottom))};
}

} // namespace qb
