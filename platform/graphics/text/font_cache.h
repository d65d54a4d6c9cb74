// Realised fonts: one per face, style, pixel size and anti-aliasing, cached
// and shared by every font handle that describes it. FreeType lays out their
// text and renders their glyphs, for every surface.
#pragma once

#include "pointd.h"
#include "qbarcode/graphics.h"
#include "text/face_lookup.h"
#include "text/matrix.h"

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

// The C library's types, declared as its own header does.
typedef struct FT_FaceRec_* FT_Face;

namespace qb {

namespace gfx {

/// A glyph's coverage, placed relative to the pen position on the baseline.
struct GlyphImage {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<std::uint8_t> alpha;
};

/// One glyph of laid-out text: its index in the font and its origin.
struct Glyph {
    unsigned long index;
    double x, y;
};

/// A glyph rendered at a transform, unhinted: its coverage with the offset
/// of its top-left pixel from the origin, and its metric box (the glyph's
/// design box under the transform, in 1/256 pixels from the origin).
struct TransformedGlyph {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<std::uint8_t> alpha; // 0 or 255 only, for one-bit rendering
    std::int32_t boxX0 = 0, boxY0 = 0, boxX1 = 0, boxY1 = 0;
};

/// A glyph's outline in the face's design units (y up), unhinted and
/// emboldened as the face asks: moves, lines and cubic curves, each subpath
/// closed. `points` holds one point per move or line and three per curve.
struct GlyphOutline {
    enum Op : char { Move = 'm', Line = 'l', Curve = 'c' };
    int unitsPerEm = 1000;
    std::vector<Op> ops;
    std::vector<PointD> points;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0; // the control box
};

/// One realised font. Its size is hinted (whole-pixel metrics), so advances,
/// ascent and descent are integers.
class FontResource {
public:
    /// Realises the font of a record (face looked up through fontconfig, or
    /// the default family's recorded file unless `throughFontconfig`).
    FontResource(const LOGFONTA& record, bool throughFontconfig);
    FontResource(const FontResource&) = delete;
    FontResource& operator=(const FontResource&) = delete;
    ~FontResource();

    FoundFace face; // the file and its options
    bool antialias; // as requested
    double em = 0;  // the em size in pixels
    int ascent = 0, descent = 0;
    int underlinePos = 0, lineThickness = 1, strikePos = 0; // from the baseline, down positive
    int loadFlags = 0;                                      // hinted glyphs
    bool renderGray = true;

    /// Glyph indices and origins of UTF-8 text from (0, 0), and the advance
    /// of the whole text.
    void Layout(const std::string& utf8, std::vector<Glyph>& glyphs, double& advance);

    /// The hinted coverage of each glyph for raster output, cached for the
    /// life of the font. False when some glyph is too large to cache.
    bool Glyphs(const std::vector<Glyph>& glyphs, std::vector<const GlyphImage*>& out);

    /// Each glyph rendered unhinted at `transform` (text-space pixels to
    /// device pixels, without translation), with its metric box, in the
    /// order of `glyphs`.
    void TransformedGlyphs(const Affine& transform, const std::vector<Glyph>& glyphs,
                           std::vector<TransformedGlyph>& out);

    /// The outline of a glyph; an empty one for a glyph without (a space,
    /// or one FreeType cannot load as an outline).
    void Outline(unsigned long index, GlyphOutline& out);

    /// Data a document output keeps with the font (its own face object),
    /// made by `make` on first use.
    template <class Make> std::shared_ptr<void> DocumentData(Make make)
    {
        std::lock_guard lock(mutex_);
        if (!documentData_)
            documentData_ = make();
        return documentData_;
    }

private:
    /// A character's glyph and advance at the font's size.
    struct LaidChar {
        unsigned long index = 0;
        double advance = 0;
        bool known = false;
    };
    /// The glyph and advance of `c`, looked up once for the life of the font.
    const LaidChar& Char(char32_t c);
    const GlyphImage* Image(unsigned long index);
    /// Sizes the face by `scale` (em units to pixels) unless it already is.
    void SetScale(const Affine& scale);

    std::mutex mutex_;
    FT_Face ft_ = nullptr;
    Affine current_{0, 0, 0, 0, 0, 0};
    FontScale sizeScale_{1, 1};
    std::array<LaidChar, 128> ascii_{};
    static constexpr std::size_t kMaxChars = 4096;
    std::unordered_map<char32_t, LaidChar> chars_;         // beyond ASCII
    std::unordered_map<unsigned long, GlyphImage> glyphs_; // nodes never move or go
    std::size_t glyphBytes_ = 0;
    std::shared_ptr<void> documentData_;
};

/// The resource for a record (cached by face, height, weight, italic, quality).
std::shared_ptr<FontResource> ResolveFont(const LOGFONTA& record);

} // namespace gfx

} // namespace qb
