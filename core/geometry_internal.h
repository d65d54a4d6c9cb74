// Turning with a sine and cosine computed once: the drawing code turns
// hundreds of points by one angle.
#pragma once

#include "qbarcode/graphics.h"

namespace qb {

namespace geom {

/// Pi to the 64-bit mantissa of extended precision.
constexpr long double kPi = 3.141592653589793238462643383279502884L;

struct SinCos {
    long double s = 0, c = 1;
    /// 0 to 3 when the angle is a quarter turn (0, 90, 180, 270 degrees) up
    /// to rounding noise, else -1. Turning by such an angle is exact integer
    /// arithmetic: the noise (below 1e-12) times any 32-bit coordinate stays
    /// far below the half that rounding would need, so the result is the
    /// same as the general formula's.
    int quarter = -1;
};

SinCos SinCosOf(long double radians);
long double DegreesToRadians(double angle);
TPoint Rotate(TPoint p, const SinCos& sc);
TPoint Offset(TPoint a, TPoint b);
TPoint PlaceBox(TPoint origin, TPoint size, const SinCos& sc);

} // namespace geom

} // namespace qb
