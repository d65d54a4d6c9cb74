// Measuring and turning: canvas extents, point rotation, box placement.
#include "geometry_internal.h"
#include "qbarcode/qbarcode.h"
#include "qbarcode/sysutils.h"
#include "symbol_internal.h"

#include <cmath>

namespace qb {

namespace geom {

SinCos SinCosOf(long double radians)
{
    SinCos sc;
    if (radians == 0) { // the usual upright symbol: no trigonometry
        sc.s = 0;
        sc.c = 1;
        sc.quarter = 0;
        return sc;
    }
    sc.s = std::sin(radians);
    sc.c = std::cos(radians);
    constexpr long double noise = 1e-12L;
    auto near = [](long double v, long double target) { return std::fabs(v - target) < noise; };
    if (near(sc.s, 0) && near(sc.c, 1))
        sc.quarter = 0;
    else if (near(sc.s, 1) && near(sc.c, 0))
        sc.quarter = 1;
    else if (near(sc.s, 0) && near(sc.c, -1))
        sc.quarter = 2;
    else if (near(sc.s, -1) && near(sc.c, 0))
        sc.quarter = 3;
    return sc;
}

long double DegreesToRadians(double angle)
{
    return static_cast<long double>(angle) / 180.0L * kPi;
}

namespace {

// Two's-complement negation: the turned coordinate of -2^31 wraps as the
// extended-precision formula's conversion does.
std::int32_t Negate(std::int32_t v)
{
    return static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(v));
}

} // namespace

TPoint Rotate(TPoint p, const SinCos& sc)
{
    switch (sc.quarter) {
    case 0:
        return p;
    case 1:
        return {p.Y, Negate(p.X)};
    case 2:
        return {Negate(p.X), Negate(p.Y)};
    case 3:
        return {Negate(p.Y), p.X};
    default:
        break;
    }
    const long double x = p.X, y = p.Y;
    return {static_cast<std::int32_t>(Round(x * sc.c + y * sc.s)),
            static_cast<std::int32_t>(Round(-x * sc.s + y * sc.c))};
}

TPoint Offset(TPoint a, TPoint b)
{
    // Two's-complement wrap, as the coordinates carry no overflow check.
    return {static_cast<std::int32_t>(static_cast<std::uint32_t>(a.X) + static_cast<std::uint32_t>(b.X)),
            static_cast<std::int32_t>(static_cast<std::uint32_t>(a.Y) + static_cast<std::uint32_t>(b.Y))};
}

TPoint PlaceBox(TPoint origin, TPoint size, const SinCos& sc)
{
    switch (sc.quarter) {
    case 0:
        return origin;
    case 1:
        return Offset(origin, {0, size.X});
    case 2:
        return Offset(origin, size);
    case 3:
        return Offset(origin, {size.Y, 0});
    default:
        break;
    }
    const long double w = size.X, h = size.Y;
    std::int64_t dx, dy;
    if (sc.s >= 0 && sc.c >= 0) {
        dx = 0;
        dy = Round(w * sc.s);
    } else if (sc.s >= 0) {
        dx = -Round(w * sc.c);
        dy = Round(w * sc.s - h * sc.c);
    } else if (sc.c >= 0) {
        dx = -Round(h * sc.s);
        dy = 0;
    } else {
        dx = -Round(w * sc.c) - Round(h * sc.s);
        dy = -Round(h * sc.c);
    }
    return Offset(origin, {static_cast<std::int32_t>(dx), static_cast<std::int32_t>(dy)});
}

} // namespace geom

void RotatePoint(TPoint P, TPoint& R, double Radians)
{
    R = geom::Rotate(P, geom::SinCosOf(Radians));
}

void OffsetPoint(TPoint A, TPoint B, TPoint& R)
{
    R = geom::Offset(A, B);
}

void PlaceRotatedBox(TPoint Origin, TPoint Size, TPoint& R, double Radians)
{
    R = geom::PlaceBox(Origin, Size, geom::SinCosOf(Radians));
}

namespace {

// The extent of a barcode of width `barWidth` turned by `angle`: along the
// screen's y axis (`alongY`) or its x axis.
std::int32_t CanvasExtent(std::int32_t barWidth, std::int32_t barHeight, double angle, bool alongY)
{
    const long double radians = geom::DegreesToRadians(angle);
    const long double w = barWidth;
    const long double h = barHeight;
    const long double s = std::fabs(std::sin(radians)), c = std::fabs(std::cos(radians));
    const long double v = alongY ? w * s + h * c : w * c + h * s;
    return static_cast<std::int32_t>(Round(v + 0.5L));
}

} // namespace

std::int32_t Q_GetCanvasWidth(TBarType BarType, const std::string& Text, std::int32_t Modul, double Ratio,
                              TCheckSum CheckSum, std::int32_t BarHeight, double Angle)
{
    return qb::SymbolCanvasWidth(qb::detail::EncodeSettingWidths(BarType, Text, Modul, Ratio, CheckSum), BarHeight,
                                 Angle);
}

std::int32_t Q_GetCanvasHeight(TBarType BarType, const std::string& Text, std::int32_t Modul, double Ratio,
                               TCheckSum CheckSum, std::int32_t BarHeight, double Angle)
{
    return qb::SymbolCanvasHeight(qb::detail::EncodeSettingWidths(BarType, Text, Modul, Ratio, CheckSum), BarHeight,
                                  Angle);
}

std::int32_t SymbolCanvasWidth(const EncodedSymbol& Symbol, std::int32_t BarHeight, double Angle)
{
    return CanvasExtent(Symbol.BarWidth, BarHeight, Angle, true);
}

std::int32_t SymbolCanvasHeight(const EncodedSymbol& Symbol, std::int32_t BarHeight, double Angle)
{
    return CanvasExtent(Symbol.BarWidth, BarHeight, Angle, false);
}

} // namespace qb
