// Text drawn through a cairo context: turned raster text and the text of
// PDF, PostScript and EPS documents.
#pragma once

#include "qbarcode/graphics.h"
#include "text/layout.h"

#include <cairo.h>

namespace gfx {

/// Sets a cairo source colour.
void SetCairoColor(cairo_t* cr, TColor color);

/// Glyphs, underline and strike-out through cairo, in the frame's transform
/// on top of the context's current one.
void CairoText(cairo_t* cr, const TextFrame& frame, const TextLayout& layout, const LOGFONTA& lf, TColor color);

} // namespace gfx
