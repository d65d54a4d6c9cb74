// Printing and measuring in millimetres and inches on the global printer.
#include "print_internal.h"
#include "qbarcode/qbarcode.h"
#include "qbarcode/sysutils.h"

#include <limits>

namespace qb {

namespace {

constexpr long double kMmPerInch = 25.4L;

// A converted value as the framework's 32-bit integer; a value that does not
// fit is refused rather than wrapped into a wrong size or place.
std::int32_t ToPixels(long double v)
{
    // The range is checked before rounding, so that infinities, NaN and
    // values beyond rounding's own range give this message too.
    if (!(v > -2147483649.0L && v < 2147483648.0L))
        throw Exception(Format("%s", {"Printer coordinate out of range."}));
    const std::int64_t r = Round(v);
    if (r < std::numeric_limits<std::int32_t>::min() || r > std::numeric_limits<std::int32_t>::max())
        throw Exception(Format("%s", {"Printer coordinate out of range."}));
    return static_cast<std::int32_t>(r);
}

long double Resolution(bool horizontal)
{
    return PrinterPixelsPerInch(*Printer(), horizontal);
}

// A size in Units as printer pixels; a unit outside TUnits takes the value
// as pixels already.
std::int32_t UnitToPixels(TUnits units, double v, bool horizontal)
{
    switch (units) {
    case utMillimeter:
        return horizontal ? MmToPixelsX(v) : MmToPixelsY(v);
    case utInch:
        return horizontal ? InchToPixelsX(v) : InchToPixelsY(v);
    default:
        return ToPixels(v);
    }
}

// Where a barcode goes on the printer's canvas, and its bar height, in
// printer pixels: Left along x, Top and the height along y.
struct PrinterPlace {
    std::int32_t x, y, h;
};

PrinterPlace PlaceOnPrinter(TUnits units, double left, double top, double barHeight)
{
    const std::int32_t x = UnitToPixels(units, left, true);
    const std::int32_t y = UnitToPixels(units, top, false);
    return {x, y, UnitToPixels(units, barHeight, false)};
}

} // namespace

int PrinterPixelsPerInch(TPrinter& Printer, bool Horizontal)
{
    return GetDeviceCaps(Printer.Handle(), Horizontal ? LOGPIXELSX : LOGPIXELSY);
}

std::int32_t MmToPixelsX(double v)
{
    return ToPixels(Resolution(true) * v / kMmPerInch);
}
std::int32_t MmToPixelsY(double v)
{
    return ToPixels(Resolution(false) * v / kMmPerInch);
}
std::int32_t InchToPixelsX(double v)
{
    return ToPixels(Resolution(true) * v);
}
std::int32_t InchToPixelsY(double v)
{
    return ToPixels(Resolution(false) * v);
}
std::int32_t PixelsToMmX(double v)
{
    return ToPixels(kMmPerInch * v / Resolution(true));
}
std::int32_t PixelsToMmY(double v)
{
    return ToPixels(kMmPerInch * v / Resolution(false));
}
std::int32_t PixelsToInchX(double v)
{
    return ToPixels(v / Resolution(true));
}
std::int32_t PixelsToInchY(double v)
{
    return ToPixels(v / Resolution(false));
}

void Q_PrintBar(TUnits Units, TBarType BarType, const std::string& Text, double Modul, double Ratio, TCheckSum CheckSum,
                double Left, double Top, double BarHeight, const TFont* Font, TTextShow TextShow,
                TTextPosition TextPosition, TColor ColorBar, TColor ColorSpc, TColor TextColor, double Angle)
{
    // The module is converted along x and the bar height along y, whatever
    // the angle.
    const PrinterPlace at = PlaceOnPrinter(Units, Left, Top, BarHeight);
    const std::int32_t m = UnitToPixels(Units, Modul, true);
    Q_DrawBar(Printer()->Canvas(), BarType, Text, m, Ratio, CheckSum, at.x, at.y, at.h, Font, TextShow, TextPosition,
              ColorBar, ColorSpc, TextColor, Angle);
}

std::int32_t PrinterPixels(TUnits Units, double Value, bool Horizontal)
{
    return UnitToPixels(Units, Value, Horizontal);
}

TRect PrintedBounds(TUnits Units, TBarType BarType, const std::string& Text, double Modul, double Ratio,
                    TCheckSum CheckSum, double Left, double Top, double BarHeight, const TFont* Font,
                    TTextShow TextShow, TTextPosition TextPosition, double Angle)
{
    const PrinterPlace at = PlaceOnPrinter(Units, Left, Top, BarHeight);
    const std::int32_t m = UnitToPixels(Units, Modul, true);
    return DrawingBounds(Printer()->Canvas(), BarType, Text, m, Ratio, CheckSum, at.x, at.y, at.h, Font, TextShow,
                         TextPosition, Angle);
}

void PrintSymbol(TUnits Units, const EncodedSymbol& Symbol, double Left, double Top, double BarHeight,
                 const TFont* Font, TTextShow TextShow, TTextPosition TextPosition, TColor ColorBar, TColor ColorSpc,
                 TColor TextColor, double Angle)
{
    const PrinterPlace at = PlaceOnPrinter(Units, Left, Top, BarHeight);
    DrawSymbol(Printer()->Canvas(), Symbol, at.x, at.y, at.h, Font, TextShow, TextPosition, ColorBar, ColorSpc,
               TextColor, Angle);
}

TRect PrintedSymbolBounds(TUnits Units, const EncodedSymbol& Symbol, double Left, double Top, double BarHeight,
                          const TFont* Font, TTextShow TextShow, TTextPosition TextPosition, double Angle)
{
    const PrinterPlace at = PlaceOnPrinter(Units, Left, Top, BarHeight);
    return SymbolBounds(Printer()->Canvas(), Symbol, at.x, at.y, at.h, Font, TextShow, TextPosition, Angle);
}

double Q_GetPrnBarWidth(TUnits Units, TBarType BarType, const std::string& Text, double Modul, double Ratio,
                        TCheckSum CheckSum)
{
    if (Units != utMillimeter && Units != utInch)
        return -1.0;
    const std::int32_t m = UnitToPixels(Units, Modul, true);
    const std::int32_t w = Q_GetBarWidth(BarType, Text, m, Ratio, CheckSum);
    return Units == utMillimeter ? PixelsToMmX(w) : PixelsToInchX(w);
}

namespace {

// The printed counterparts of Q_GetCanvasWidth (alongY) and
// Q_GetCanvasHeight: here the bar height is converted along x, and the
// result back by the axis the routine's name gives.
double PrintedExtent(TUnits Units, TBarType BarType, const std::string& Text, double Modul, double Ratio,
                     TCheckSum CheckSum, double BarHeight, double Angle, bool widthRoutine)
{
    if (Units != utMillimeter && Units != utInch)
        return -1.0;
    const std::int32_t m = UnitToPixels(Units, Modul, true);
    const std::int32_t h = UnitToPixels(Units, BarHeight, true);
    const std::int32_t p = widthRoutine ? Q_GetCanvasWidth(BarType, Text, m, Ratio, CheckSum, h, Angle)
                                        : Q_GetCanvasHeight(BarType, Text, m, Ratio, CheckSum, h, Angle);
    if (Units == utMillimeter)
        return widthRoutine ? PixelsToMmX(p) : PixelsToMmY(p);
    return widthRoutine ? PixelsToInchX(p) : PixelsToInchY(p);
}

} // namespace

double Q_PrnCanvasWidth(TUnits Units, TBarType BarType, const std::string& Text, double Modul, double Ratio,
                        TCheckSum CheckSum, double BarHeight, double Angle)
{
    return PrintedExtent(Units, BarType, Text, Modul, Ratio, CheckSum, BarHeight, Angle, true);
}

double Q_PrnCanvasHeight(TUnits Units, TBarType BarType, const std::string& Text, double Modul, double Ratio,
                         TCheckSum CheckSum, double BarHeight, double Angle)
{
    return PrintedExtent(Units, BarType, Text, Modul, Ratio, CheckSum, BarHeight, Angle, false);
}

} // namespace qb
