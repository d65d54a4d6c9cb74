// The cache of realised fonts (faces found through fontconfig by cairo) and
// the glyph images each font keeps for raster output.
#include "text/font_cache.h"
#include "qbarcode/sysutils.h"

#include <cairo-ft.h>
#include <cairo.h>
#include FT_OUTLINE_H

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>

#include <unistd.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) && !defined(__SANITIZE_ADDRESS__)
#define __SANITIZE_ADDRESS__ 1 // clang before 15 names it only through __has_feature
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
// fontconfig keeps its configuration until the process ends; that is not a
// leak of ours.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
#endif

namespace gfx {
namespace {

struct FontKey {
    std::string face;
    std::int32_t height;
    bool bold, italic, antialias;
    bool operator==(const FontKey&) const = default;
};

struct FontKeyHash {
    std::size_t operator()(const FontKey& k) const
    {
        std::size_t h = std::hash<std::string>()(k.face);
        h ^= std::hash<std::int32_t>()(k.height) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
        return h ^ (std::size_t(k.bold) << 1 | std::size_t(k.italic) << 2 | std::size_t(k.antialias) << 3);
    }
};

// Realised fonts stay cached while they are in use and for a while after:
// creating a font handle per drawing must not load the face again.
class FontCache {
public:
    std::shared_ptr<FontResource> Get(const FontKey& key)
    {
        std::lock_guard lock(mutex_);
        ++clock_;
        auto it = entries_.find(key);
        if (it != entries_.end()) {
            it->second.lastUse = clock_;
            return it->second.resource;
        }
        if (entries_.size() >= kCapacity)
            EvictOldest();
        auto resource = Realise(key);
        entries_.emplace(key, Entry{resource, clock_});
        return resource;
    }

private:
    static constexpr std::size_t kCapacity = 64;
    struct Entry {
        std::shared_ptr<FontResource> resource;
        std::uint64_t lastUse;
    };

    void EvictOldest()
    {
        auto oldest = std::min_element(entries_.begin(), entries_.end(), [](const auto& a, const auto& b) {
            return a.second.lastUse < b.second.lastUse;
        });
        entries_.erase(oldest);
    }

public:
    static std::shared_ptr<FontResource> Realise(const FontKey& key, bool throughFontconfig = false);

private:
    std::mutex mutex_;
    std::uint64_t clock_ = 0;
    std::unordered_map<FontKey, Entry, FontKeyHash> entries_;
};

FontCache& Cache()
{
    static auto* cache = new FontCache;
    return *cache;
}

// Sizes beyond this are clamped: enough for a poster at printer resolution,
// small enough that no glyph needs absurd memory.
constexpr double kMaxEm = 4096;

cairo_scaled_font_t* CreateScaled(cairo_font_face_t* face, double em, bool antialias, bool hinted)
{
    cairo_matrix_t fontMatrix, ctm;
    cairo_matrix_init_scale(&fontMatrix, em, em);
    cairo_matrix_init_identity(&ctm);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_subpixel_order(options, CAIRO_SUBPIXEL_ORDER_DEFAULT);
    cairo_font_options_set_hint_style(options, antialias ? CAIRO_HINT_STYLE_SLIGHT : CAIRO_HINT_STYLE_FULL);
    cairo_font_options_set_hint_metrics(options, hinted ? CAIRO_HINT_METRICS_ON : CAIRO_HINT_METRICS_OFF);
    cairo_scaled_font_t* scaled = cairo_scaled_font_create(face, &fontMatrix, &ctm, options);
    cairo_font_options_destroy(options);
    return scaled;
}

// The em size for a record's height: a negative height is the em itself, a
// positive one the cell (ascent + descent), which depends on the face.
double EmForHeight(cairo_font_face_t* face, std::int32_t height)
{
    if (height < 0)
        return std::min(-double(height), kMaxEm);
    if (height == 0)
        return 12;
    constexpr double kProbe = 1000;
    cairo_scaled_font_t* probe = CreateScaled(face, kProbe, true, false);
    cairo_font_extents_t fe;
    cairo_scaled_font_extents(probe, &fe);
    cairo_scaled_font_destroy(probe);
    double cell = (fe.ascent + fe.descent) / kProbe;
    return std::clamp(cell > 0 ? height / cell : double(height), 1.0, kMaxEm);
}

// The default family's faces, opened from their files without fontconfig:
// reading fontconfig's configuration costs more than drawing a barcode, and
// most captions use this family. The files are those the fonts package
// installs, and the settings those the stock configuration gives the family
// (slight hinting, none below 7.5 pixels to the em, no autohinter), so the
// glyphs are the ones fontconfig would give. Null when the file is missing.
cairo_font_face_t* CreateDefaultFace(bool bold, bool italic, bool hinting)
{
    const std::string path = DefaultFaceFile(bold, italic);
    if (path.empty())
        return nullptr;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FILE, reinterpret_cast<const FcChar8*>(path.c_str()));
    FcPatternAddInteger(pattern, FC_INDEX, 0);
    FcPatternAddBool(pattern, FC_ANTIALIAS, FcTrue);
    FcPatternAddBool(pattern, FC_HINTING, hinting ? FcTrue : FcFalse);
    FcPatternAddInteger(pattern, FC_HINT_STYLE, FC_HINT_SLIGHT);
    FcPatternAddBool(pattern, FC_AUTOHINT, FcFalse);
    FcPatternAddBool(pattern, FC_EMBEDDED_BITMAP, FcTrue);
    FcPatternAddInteger(pattern, FC_LCD_FILTER, FC_LCD_DEFAULT);
    FcPatternAddInteger(pattern, FC_RGBA, FC_RGBA_NONE);
    FcPatternAddBool(pattern, FC_VERTICAL_LAYOUT, FcFalse);
    cairo_font_face_t* face = cairo_ft_font_face_create_for_pattern(pattern);
    FcPatternDestroy(pattern);
    return face;
}

// The face for a key and its em size in pixels: the default family from its
// file (unless `throughFontconfig`), any other family through fontconfig.
// The load flags cairo gives FreeType for the default family's faces: the
// pattern's slight hinting under grey anti-aliasing, hinting for one bit per
// pixel without it, and none for small sizes.
int DefaultFaceLoadFlags(bool antialias, bool hinting)
{
    int flags = antialias ? FT_LOAD_TARGET_LIGHT : FT_LOAD_MONOCHROME | FT_LOAD_TARGET_MONO;
    return hinting ? flags : flags | FT_LOAD_NO_HINTING;
}

// `loadFlags` receives DefaultFaceLoadFlags for a default-family face, and
// -1 for a face found through fontconfig, whose settings it alone knows.
cairo_font_face_t* CreateFace(const FontKey& key, bool throughFontconfig, double& em, int& loadFlags)
{
    loadFlags = -1;
    if (!throughFontconfig && IsDefaultFamily(key.face)) {
        if (cairo_font_face_t* face = CreateDefaultFace(key.bold, key.italic, true)) {
            em = EmForHeight(face, key.height);
            constexpr double kUnhintedBelow = 7.5;
            const bool hinting = em >= kUnhintedBelow;
            loadFlags = DefaultFaceLoadFlags(key.antialias, hinting);
            if (hinting)
                return face;
            cairo_font_face_destroy(face);
            return CreateDefaultFace(key.bold, key.italic, false);
        }
    }
    // A face of its own for each realised font: cairo resolves a face's
    // pattern once, for the first size asked, and a shared face would give
    // every later size that size's settings (hinting differs below 7.5
    // pixels for some families).
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY,
                       reinterpret_cast<const FcChar8*>(key.face.empty() ? kDefaultFace : key.face.c_str()));
    FcPatternAddInteger(pattern, FC_SLANT, key.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddInteger(pattern, FC_WEIGHT, key.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_MEDIUM);
    cairo_font_face_t* probe = cairo_ft_font_face_create_for_pattern(pattern);
    em = EmForHeight(probe, key.height);
    cairo_font_face_destroy(probe);
    cairo_font_face_t* face = cairo_ft_font_face_create_for_pattern(pattern);
    FcPatternDestroy(pattern);
    return face;
}

std::shared_ptr<FontResource> FontCache::Realise(const FontKey& key, bool throughFontconfig)
{
    double em;
    int loadFlags;
    cairo_font_face_t* face = CreateFace(key, throughFontconfig, em, loadFlags);
    auto font = std::make_shared<FontResource>();
    font->antialias = key.antialias;
    font->loadFlags = loadFlags;
    font->em = em;
    font->scaled = CreateScaled(face, em, key.antialias, true);
    cairo_font_face_destroy(face);
    if (cairo_scaled_font_status(font->scaled) != CAIRO_STATUS_SUCCESS)
        throw Exception("Cannot load the font \"" + key.face + "\"");

    cairo_font_extents_t fe;
    cairo_scaled_font_extents(font->scaled, &fe);
    font->ascent = static_cast<int>(std::lround(fe.ascent));
    font->descent = static_cast<int>(std::lround(fe.descent));

    // Underline metrics from the face when it is a FreeType one (it is, with
    // fontconfig); the strike-out line sits near half the x-height.
    double underline = -0.1, thickness = 0.05;
    if (cairo_scaled_font_get_type(font->scaled) == CAIRO_FONT_TYPE_FT) {
        if (FT_Face ft = cairo_ft_scaled_font_lock_face(font->scaled)) {
            if (ft->units_per_EM > 0 && ft->underline_thickness > 0) {
                underline = double(ft->underline_position) / ft->units_per_EM;
                thickness = double(ft->underline_thickness) / ft->units_per_EM;
            }
            cairo_ft_scaled_font_unlock_face(font->scaled);
        }
    }
    font->lineThickness = std::max(1, static_cast<int>(std::lround(thickness * em)));
    font->underlinePos = std::max(1, static_cast<int>(std::lround(-underline * em)) - font->lineThickness / 2);
    font->strikePos = -std::max(1, static_cast<int>(std::lround(0.28 * em)));
    return font;
}

void FaceName(const LOGFONTA& lf, std::string& out)
{
    const char* end = static_cast<const char*>(std::memchr(lf.lfFaceName, 0, LF_FACESIZE));
    out.assign(lf.lfFaceName, end ? end : lf.lfFaceName + LF_FACESIZE);
}

} // namespace

FontResource::~FontResource()
{
    if (scaled)
        cairo_scaled_font_destroy(scaled);
}

bool FontResource::Glyphs(const std::vector<Glyph>& glyphs, std::vector<const GlyphImage*>& out)
{
    std::lock_guard lock(glyphsMutex_);
    out.clear();
    for (const Glyph& g : glyphs) {
        const GlyphImage* image = Image(g.index);
        if (!image)
            return false;
        out.push_back(image);
    }
    return true;
}

namespace {

// The inked box of a coverage image, whose pixel (x, y) is `at(x, y)` and
// whose top-left pixel lies at (left, top) from the glyph's origin.
template <class At> GlyphImage InkedBox(int width, int height, int left, int top, At at)
{
    GlyphImage image;
    int x0 = width, x1 = -1, y0 = height, y1 = -1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (at(x, y)) {
                x0 = std::min(x0, x), x1 = std::max(x1, x);
                y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
    if (x1 < 0)
        return image;
    image.left = left + x0;
    image.top = top + y0;
    image.width = x1 - x0 + 1;
    image.height = y1 - y0 + 1;
    image.alpha.resize(std::size_t(image.width) * image.height);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            image.alpha[std::size_t(y) * image.width + x] = at(x0 + x, y0 + y);
    return image;
}

// A glyph rendered by FreeType as cairo renders it: loaded with cairo's
// flags, at the size cairo set on the face, rendered in one bit or grey.
// Drawing it through cairo instead builds cairo's glyph cache, whose quarter
// megabyte of tables costs more than drawing a barcode in a fresh process.
enum class Rendered { Done, TooLarge, NotByFreeType };
Rendered RenderWithFreeType(cairo_scaled_font_t* scaled, unsigned long index, int loadFlags, bool antialias,
                            int maxSide, GlyphImage& image)
{
    FT_Face face = cairo_ft_scaled_font_lock_face(scaled);
    if (!face)
        return Rendered::NotByFreeType;
    Rendered result = Rendered::NotByFreeType; // bitmap glyphs, errors: cairo knows better
    if (FT_Load_Glyph(face, static_cast<FT_UInt>(index), loadFlags) == 0 &&
        face->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
        FT_GlyphSlot slot = face->glyph;
        FT_BBox box;
        FT_Outline_Get_CBox(&slot->outline, &box);
        if ((box.xMax - box.xMin) / 64 + 2 > maxSide || (box.yMax - box.yMin) / 64 + 2 > maxSide) {
            result = Rendered::TooLarge;
        } else if (FT_Render_Glyph(slot, antialias ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) == 0) {
            const FT_Bitmap& bitmap = slot->bitmap;
            const bool mono = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
            image = InkedBox(static_cast<int>(bitmap.width), static_cast<int>(bitmap.rows), slot->bitmap_left,
                             -slot->bitmap_top, [&](int x, int y) -> std::uint8_t {
                                 const unsigned char* row = bitmap.buffer + std::ptrdiff_t(y) * bitmap.pitch;
                                 if (mono)
                                     return row[x >> 3] >> (7 - (x & 7)) & 1 ? 255 : 0;
                                 return row[x];
                             });
            result = Rendered::Done;
        }
    }
    cairo_ft_scaled_font_unlock_face(scaled);
    return result;
}

} // namespace

const GlyphImage* FontResource::Image(unsigned long index)
{
    auto it = glyphs_.find(index);
    if (it != glyphs_.end())
        return &it->second;
    // Huge glyphs, or a cache that has grown large, are left to cairo.
    constexpr int kMaxSide = 256;
    constexpr std::size_t kMaxBytes = 4 << 20;
    if (glyphBytes_ > kMaxBytes)
        return nullptr;

    GlyphImage image;
    const Rendered rendered = loadFlags >= 0 ? RenderWithFreeType(scaled, index, loadFlags, antialias, kMaxSide, image)
                                             : Rendered::NotByFreeType;
    if (rendered == Rendered::TooLarge)
        return nullptr;
    if (rendered == Rendered::NotByFreeType) {
        cairo_glyph_t glyph{index, 0, 0};
        cairo_text_extents_t ext;
        cairo_scaled_font_glyph_extents(scaled, &glyph, 1, &ext);
        if (ext.width > 0 && ext.height > 0) {
            // One pixel of margin: hinting may move ink slightly outside the extents.
            int left = static_cast<int>(std::floor(ext.x_bearing)) - 1;
            int top = static_cast<int>(std::floor(ext.y_bearing)) - 1;
            int width = static_cast<int>(std::ceil(ext.x_bearing + ext.width)) + 1 - left;
            int height = static_cast<int>(std::ceil(ext.y_bearing + ext.height)) + 1 - top;
            if (width > kMaxSide || height > kMaxSide)
                return nullptr;
            cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
            cairo_t* cr = cairo_create(surface);
            cairo_set_scaled_font(cr, scaled);
            glyph.x = -left;
            glyph.y = -top;
            cairo_show_glyphs(cr, &glyph, 1);
            cairo_destroy(cr);
            cairo_surface_flush(surface);
            const unsigned char* data = cairo_image_surface_get_data(surface);
            const int stride = cairo_image_surface_get_stride(surface);
            image =
                InkedBox(width, height, left, top, [&](int x, int y) { return data[std::ptrdiff_t(y) * stride + x]; });
            cairo_surface_destroy(surface);
        }
    }
    glyphBytes_ += image.alpha.size() + sizeof(GlyphImage);
    return &glyphs_.emplace(index, std::move(image)).first->second;
}

namespace {

FontKey KeyOf(const LOGFONTA& record)
{
    FontKey key;
    FaceName(record, key.face);
    key.height = record.lfHeight;
    key.bold = record.lfWeight >= 600;
    key.italic = record.lfItalic != 0;
    key.antialias = record.lfQuality != NONANTIALIASED_QUALITY;
    return key;
}

} // namespace

std::shared_ptr<FontResource> ResolveFont(const LOGFONTA& record)
{
    return Cache().Get(KeyOf(record));
}

std::shared_ptr<FontResource> ResolveFontThroughFontconfig(const LOGFONTA& record)
{
    return FontCache::Realise(KeyOf(record), true);
}

bool SameFamilyName(std::string_view a, std::string_view b)
{
    auto next = [](std::string_view s, std::size_t& i) {
        while (i < s.size() && s[i] == ' ')
            ++i;
        return i < s.size() ? std::tolower(static_cast<unsigned char>(s[i++])) : -1;
    };
    std::size_t i = 0, j = 0;
    for (;;) {
        const int x = next(a, i), y = next(b, j);
        if (x != y)
            return false;
        if (x < 0)
            return true;
    }
}

bool IsDefaultFamily(const std::string& family)
{
    return family.empty() || SameFamilyName(family, kDefaultFace);
}

std::string DefaultFaceFile(bool bold, bool italic)
{
    static const char* const names[2][2] = {{"DejaVuSans.ttf", "DejaVuSans-Oblique.ttf"},
                                            {"DejaVuSans-Bold.ttf", "DejaVuSans-BoldOblique.ttf"}};
    std::string path = std::string("/usr/share/fonts/truetype/dejavu/") + names[bold][italic];
    return ::access(path.c_str(), R_OK) == 0 ? path : std::string();
}

} // namespace gfx
