// Text drawn through a Cairo context: the text of PDF, PostScript and EPS
// documents, glyph outlines from the font's own face file.
#pragma once

#include "qbarcode/graphics.h"
#include "text/layout.h"

#include <cairo.h>

namespace qb {

namespace gfx {

/// Sets a Cairo source colour.
void SetCairoColor(cairo_t* cr, TColor color);

/// Glyphs, underline and strike-out through Cairo, in the frame's transform
/// on top of the context's current one.
void CairoText(cairo_t* cr, const TextFrame& frame, const TextLayout& layout, const LOGFONTA& lf, TColor color);

} // namespace gfx

} // namespace qb
