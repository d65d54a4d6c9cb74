// A point in device pixels with fractions, for geometry between the canvas
// and its surfaces.
#pragma once

namespace gfx {

struct PointD {
    double x, y;
};

} // namespace gfx
