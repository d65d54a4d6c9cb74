#include "text/cairo_text.h"

#include <cstdint>
#include <vector>

namespace gfx {
namespace {

// Sets a font for cairo rendering at any transform: the face and em size of
// the realised font, without hinting (the layout fixes the positions).
void UseFontForPaths(cairo_t* cr, const FontResource& font)
{
    cairo_set_font_face(cr, cairo_scaled_font_get_font_face(font.scaled));
    cairo_matrix_t fontMatrix;
    cairo_scaled_font_get_font_matrix(font.scaled, &fontMatrix);
    cairo_set_font_matrix(cr, &fontMatrix);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, font.antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
}

} // namespace

void SetCairoColor(cairo_t* cr, TColor color)
{
    auto c = static_cast<std::uint32_t>(ColorToRGB(color));
    cairo_set_source_rgb(cr, (c & 0xFF) / 255.0, (c >> 8 & 0xFF) / 255.0, (c >> 16 & 0xFF) / 255.0);
}

void CairoText(cairo_t* cr, const TextFrame& frame, const TextLayout& layout, const LOGFONTA& lf, TColor color)
{
    const FontResource& font = *layout.font;
    cairo_save(cr);
    cairo_translate(cr, frame.x, frame.y);
    cairo_scale(cr, frame.aspect, 1);
    cairo_matrix_t turn;
    cairo_matrix_init(&turn, frame.cosA, -frame.sinA, frame.sinA, frame.cosA, 0, 0);
    cairo_transform(cr, &turn);
    UseFontForPaths(cr, font);
    SetCairoColor(cr, color);
    std::vector<cairo_glyph_t> glyphs(layout.glyphs.size());
    for (std::size_t i = 0; i < glyphs.size(); ++i)
        glyphs[i] = {layout.glyphs[i].index, layout.glyphs[i].x, layout.glyphs[i].y + font.ascent};
    cairo_show_glyphs(cr, glyphs.data(), static_cast<int>(glyphs.size()));
    if (lf.lfUnderline)
        cairo_rectangle(cr, 0, font.ascent + font.underlinePos, layout.advance, font.lineThickness);
    if (lf.lfStrikeOut)
        cairo_rectangle(cr, 0, font.ascent + font.strikePos, layout.advance, font.lineThickness);
    cairo_fill(cr);
    cairo_restore(cr);
}

} // namespace gfx
