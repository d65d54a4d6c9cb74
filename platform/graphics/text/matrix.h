// Affine transforms of text: a font's em scale, turned and placed on a
// device. The arithmetic is done in one fixed order, so that positions and
// sizes come out the same, bit for bit, every time.
#pragma once

#include <cmath>

namespace qb {

namespace gfx {

/// x' = xx x + xy y + x0, y' = yx x + yy y + y0.
struct Affine {
    double xx = 1, yx = 0, xy = 0, yy = 1, x0 = 0, y0 = 0;

    static Affine Scale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
    static Affine Translate(double tx, double ty) { return {1, 0, 0, 1, tx, ty}; }

    /// `a` applied first, then `b`.
    static Affine Then(const Affine& a, const Affine& b)
    {
        return {a.xx * b.xx + a.yx * b.xy, a.xx * b.yx + a.yx * b.yy,        a.xy * b.xx + a.yy * b.xy,
                a.xy * b.yx + a.yy * b.yy, a.x0 * b.xx + a.y0 * b.xy + b.x0, a.x0 * b.yx + a.y0 * b.yy + b.y0};
    }
    void Distance(double& x, double& y) const
    {
        const double nx = xx * x + xy * y, ny = yx * x + yy * y;
        x = nx, y = ny;
    }
    void Point(double& x, double& y) const
    {
        Distance(x, y);
        x += x0, y += y0;
    }
};

/// The scale factors of a transform: the length of the image of the x unit
/// vector, and the area factor over it.
struct FontScale {
    double x, y;
};
inline FontScale BasisScales(const Affine& m)
{
    double det = m.xx * m.yy - m.yx * m.xy;
    double major = 0, minor = 0;
    if (det != 0) {
        major = std::hypot(m.xx, m.yx);
        minor = major != 0 ? std::fabs(det) / major : 0.0;
    }
    return {major, minor};
}

/// The sizes a font is scaled to by a transform, its basis scales (at least
/// 1 each); what is left of the transform (its shape) turns and slants the
/// glyphs.
inline FontScale FontScales(const Affine& m)
{
    const FontScale s = BasisScales(m);
    return {s.x < 1.0 ? 1.0 : s.x, s.y < 1.0 ? 1.0 : s.y};
}

} // namespace gfx

} // namespace qb
