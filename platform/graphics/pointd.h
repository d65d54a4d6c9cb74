// A point in device pixels with fractions, for geometry between the canvas
// and its surfaces.
#pragma once

#include "qbarcode/graphics.h"

namespace qb {

namespace gfx {

struct PointD {
    double x, y;
};

/// Whether four points are the corners of an axis-aligned rectangle, taken
/// round in either direction.
inline bool IsAxisRectangle(const TPoint* p)
{
    return (p[0].X == p[1].X && p[1].Y == p[2].Y && p[2].X == p[3].X && p[3].Y == p[0].Y) ||
           (p[0].Y == p[1].Y && p[1].X == p[2].X && p[2].Y == p[3].Y && p[3].X == p[0].X);
}

} // namespace gfx

} // namespace qb
