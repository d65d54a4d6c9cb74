// Text laid out as positioned glyphs, and the frame that places and turns it
// on a device.
#pragma once

#include "pointd.h"
#include "text/font_cache.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qb {

namespace gfx {

/// Text converted to positioned glyphs in a font, in unturned pixels from
/// the pen position on the baseline.
struct TextLayout {
    std::shared_ptr<FontResource> font;
    std::string text;
    std::vector<Glyph> glyphs;
    int advance = 0;
    bool wholePixels = true; // every glyph starts on a pixel boundary
};

/// Lays out `text` into `out`, unless `out` already holds it for this font.
void LayoutText(const std::shared_ptr<FontResource>& font, const std::string& text, TextLayout& out);

/// Quarter turns of an escapement in tenths of a degree, or -1 for other angles.
int Quadrant(std::int32_t escapement);

/// A transform of text space (pixels along and across the baseline from the
/// reference point, y down) to device pixels: the turn happens in square
/// units of the vertical resolution, then x is scaled by the aspect ratio.
struct TextFrame {
    double x, y, cosA, sinA, aspect;
    PointD Map(double u, double v) const { return {x + aspect * (u * cosA + v * sinA), y + (-u * sinA + v * cosA)}; }
};

/// The frame of text written at (x, y) with an escapement in tenths of a
/// degree, on a device whose pixels are `aspect` times as wide as high.
TextFrame MakeFrame(int x, int y, std::int32_t escapement, double aspect);

} // namespace gfx

} // namespace qb
