#include "cairo/cairo_text.h"

#include <cairo-ft.h>

#include <cstdint>
#include <vector>

namespace qb {

namespace gfx {
namespace {

// The Cairo face of a realised font: its face file, opened by Cairo's
// FreeType backend without fontconfig, with the options its pattern gave.
cairo_font_face_t* FaceOf(FontResource& font)
{
    std::shared_ptr<void> face = font.DocumentData([&] {
        FcPattern* pattern = FcPatternCreate();
        FcPatternAddString(pattern, FC_FILE, reinterpret_cast<const FcChar8*>(font.face.file.c_str()));
        FcPatternAddInteger(pattern, FC_INDEX, font.face.index);
        if (font.face.options.embolden)
            FcPatternAddBool(pattern, FC_EMBOLDEN, FcTrue);
        cairo_font_face_t* made = cairo_ft_font_face_create_for_pattern(pattern);
        FcPatternDestroy(pattern);
        return std::shared_ptr<void>(made,
                                     [](void* f) { cairo_font_face_destroy(static_cast<cairo_font_face_t*>(f)); });
    });
    return static_cast<cairo_font_face_t*>(face.get());
}

// Sets a font for Cairo rendering at any transform: the face and em size of
// the realised font, without hinting (the layout fixes the positions).
void UseFontForPaths(cairo_t* cr, FontResource& font)
{
    cairo_set_font_face(cr, FaceOf(font));
    cairo_matrix_t fontMatrix;
    cairo_matrix_init_scale(&fontMatrix, font.em, font.em);
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
    FontResource& font = *layout.font;
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

} // namespace qb
