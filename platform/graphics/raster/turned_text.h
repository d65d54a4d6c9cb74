// Raster text at any transform (angles other than quarter turns, pixels
// that are not square, glyphs too large to cache): glyphs rendered unhinted
// at the frame's transform and composited anti-aliased at whole-pixel
// positions.
#pragma once

#include "raster/pixels.h"
#include "surface.h"

namespace qb {

namespace gfx {

/// Draws the glyphs, underline and strike-out of a run (not its cell).
void DrawTransformedText(const PixelBuffer& buf, const TextRun& run);

/// Fills a convex polygon anti-aliased: each pixel covered by the share of
/// its area that lies inside.
void FillPolygonSmooth(const PixelBuffer& buf, const PointD* points, int count, std::uint32_t color);

} // namespace gfx

} // namespace qb
