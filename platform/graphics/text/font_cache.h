// Realised fonts: one per face, style, pixel size and anti-aliasing, cached
// and shared by every font handle that describes it, each with a cache of
// its glyphs' coverage for raster output.
#pragma once

#include "qbarcode/graphics.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

typedef struct _cairo_scaled_font cairo_scaled_font_t;

namespace gfx {

/// The face used for a record without a face name.
constexpr const char* kDefaultFace = "DejaVu Sans";

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

/// One realised font. The scaled font is unturned and laid out in whole
/// pixels (hinted metrics), so advances and metrics are integers.
struct FontResource {
    FontResource() = default;
    FontResource(const FontResource&) = delete;
    FontResource& operator=(const FontResource&) = delete;
    ~FontResource();

    cairo_scaled_font_t* scaled = nullptr;
    bool antialias = true;
    /// The FreeType load flags with which cairo renders this font's glyphs,
    /// when they are known (the default family, opened from its files), so
    /// that glyph images come straight from FreeType; -1: through cairo.
    int loadFlags = -1;
    double em = 0; // the em size in pixels
    int ascent = 0, descent = 0;
    int underlinePos = 0, lineThickness = 1, strikePos = 0; // from the baseline, down positive

    /// The coverage of each glyph for raster output, cached for the life of
    /// the font. False when some glyph is too large to cache.
    bool Glyphs(const std::vector<Glyph>& glyphs, std::vector<const GlyphImage*>& out);

private:
    const GlyphImage* Image(unsigned long index);

    std::mutex glyphsMutex_;
    std::unordered_map<unsigned long, GlyphImage> glyphs_; // nodes never move or go
    std::size_t glyphBytes_ = 0;
};

/// The resource for a record (cached by face, height, weight, italic, quality).
std::shared_ptr<FontResource> ResolveFont(const LOGFONTA& record);

/// The same font found through fontconfig whatever its family, uncached: what
/// the default family's direct lookup must match.
std::shared_ptr<FontResource> ResolveFontThroughFontconfig(const LOGFONTA& record);

/// Whether two family names are the same as fontconfig compares them:
/// ignoring ASCII case and blanks.
bool SameFamilyName(std::string_view a, std::string_view b);

/// Whether a family name is the default family's (or empty).
bool IsDefaultFamily(const std::string& family);

/// The default family's file for a style; empty when it is not installed.
std::string DefaultFaceFile(bool bold, bool italic);

} // namespace gfx
