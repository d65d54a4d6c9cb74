// The cache of realised fonts, their layout and their glyphs, all through
// FreeType. Sizes, advances and metric boxes are worked out in the order and
// precision 2-D libraries over FreeType use, so a caption keeps its pixels
// whichever output lays it out.
#include "text/font_cache.h"
#include "qbarcode/sysutils.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H
#include <fontconfig/fontconfig.h>
// After fontconfig's own header, which it needs.
#include <fontconfig/fcfreetype.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace qb {

namespace gfx {
namespace {

// One FreeType library for the process. Faces are opened and closed under
// its lock; each face is used under its font's lock.
struct Library {
    FT_Library ft = nullptr;
    std::mutex mutex;
};

Library& FreeType()
{
    static auto* library = [] {
        auto* l = new Library;
        if (FT_Init_FreeType(&l->ft) != 0)
            l->ft = nullptr;
        return l;
    }();
    return *library;
}

FT_Face OpenFace(const FoundFace& found, const std::string& family)
{
    Library& library = FreeType();
    std::lock_guard lock(library.mutex);
    FT_Face face = nullptr;
    if (!library.ft || FT_New_Face(library.ft, found.file.c_str(), found.index, &face) != 0)
        throw Exception("Cannot load the font \"" + family + "\"");
    return face;
}

void CloseFace(FT_Face face)
{
    Library& library = FreeType();
    std::lock_guard lock(library.mutex);
    FT_Done_Face(face);
}

// Sizes beyond this are clamped: enough for a poster at printer resolution,
// small enough that no glyph needs absurd memory.
constexpr double kMaxEm = 4096;

double From26Dot6(FT_Pos v)
{
    return double(v) / 64.0;
}

// The em size for a record's height: a negative height is the em itself, a
// positive one the cell (ascent + descent, from the face's design units),
// which depends on the face.
double EmForHeight(std::int32_t height, const std::string& family, bool bold, bool italic, bool throughFontconfig)
{
    if (height < 0)
        return std::min(-double(height), kMaxEm);
    if (height == 0)
        return 12;
    constexpr double kProbe = 1000;
    const FoundFace probe = FindFace(family, bold, italic, kProbe, true, HintStyle::Slight, throughFontconfig);
    FT_Face face = OpenFace(probe, family);
    double cell = 0;
    if (face->units_per_EM > 0) {
        const double upem = face->units_per_EM, scale = BasisScales(Affine::Scale(kProbe, kProbe)).y;
        cell = (face->ascender / upem * scale + -face->descender / upem * scale) / kProbe;
    }
    CloseFace(face);
    return std::clamp(cell > 0 ? height / cell : double(height), 1.0, kMaxEm);
}

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

// The coverage of a rendered bitmap's pixel: one bit per pixel or grey levels.
std::uint8_t Coverage(const FT_Bitmap& bitmap, int x, int y)
{
    const unsigned char* row = bitmap.buffer + std::ptrdiff_t(y) * bitmap.pitch;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
        return row[x >> 3] >> (7 - (x & 7)) & 1 ? 255 : 0;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY)
        return row[x];
    return 0;
}

// Loads a glyph into the face's slot, emboldened when the face asks for it;
// false when FreeType cannot load it.
bool LoadGlyph(FT_Face face, unsigned long index, int flags, bool embolden)
{
    if (FT_Load_Glyph(face, static_cast<FT_UInt>(index), flags) != 0)
        return false;
    if (embolden)
        FT_GlyphSlot_Embolden(face->glyph);
    return true;
}

// Renders the loaded outline glyph; false when there is nothing to draw.
bool RenderSlot(FT_Face face, bool gray)
{
    FT_GlyphSlot slot = face->glyph;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        FT_BBox box;
        FT_Outline_Get_CBox(&slot->outline, &box);
        if (box.xMax <= box.xMin || box.yMax <= box.yMin)
            return false;
        return FT_Render_Glyph(slot, gray ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) == 0;
    }
    return slot->format == FT_GLYPH_FORMAT_BITMAP;
}

} // namespace

FontResource::FontResource(const LOGFONTA& record, bool throughFontconfig)
{
    const char* end = static_cast<const char*>(std::memchr(record.lfFaceName, 0, LF_FACESIZE));
    const std::string name(record.lfFaceName, end ? end : record.lfFaceName + LF_FACESIZE);
    const std::string family = name.empty() ? kDefaultFace : name;
    const bool bold = record.lfWeight >= 600, italic = record.lfItalic != 0;
    antialias = record.lfQuality != NONANTIALIASED_QUALITY;

    em = EmForHeight(record.lfHeight, family, bold, italic, throughFontconfig);
    const RenderOptions own{antialias ? Antialias::Gray : Antialias::None,
                            antialias ? HintStyle::Slight : HintStyle::Full, 0, false};
    face = FindFace(family, bold, italic, em, antialias, own.hintStyle, throughFontconfig);
    const MergedOptions merged = MergeOptions(own, face.options);
    loadFlags = merged.loadFlags;
    renderGray = merged.antialias;
    ft_ = OpenFace(face, family);

    // Metrics of the hinted size, in whole pixels.
    const Affine scale = Affine::Scale(em, em);
    SetScale(scale);
    const FT_Size_Metrics& m = ft_->size->metrics;
    const double fontScaleY = BasisScales(scale).y;
    ascent = static_cast<int>(std::lround(From26Dot6(m.ascender) * (1 / sizeScale_.y) * fontScaleY));
    descent = static_cast<int>(std::lround(From26Dot6(-m.descender) * (1 / sizeScale_.y) * fontScaleY));

    // Underline metrics from the face; the strike-out line sits near half the x-height.
    double underline = -0.1, thickness = 0.05;
    if (ft_->units_per_EM > 0 && ft_->underline_thickness > 0) {
        underline = double(ft_->underline_position) / ft_->units_per_EM;
        thickness = double(ft_->underline_thickness) / ft_->units_per_EM;
    }
    lineThickness = std::max(1, static_cast<int>(std::lround(thickness * em)));
    underlinePos = std::max(1, static_cast<int>(std::lround(-underline * em)) - lineThickness / 2);
    strikePos = -std::max(1, static_cast<int>(std::lround(0.28 * em)));
}

FontResource::~FontResource()
{
    if (ft_)
        CloseFace(ft_);
}

void FontResource::SetScale(const Affine& scale)
{
    if (scale.xx == current_.xx && scale.yx == current_.yx && scale.xy == current_.xy && scale.yy == current_.yy)
        return;
    current_ = scale;
    sizeScale_ = FontScales(scale);
    const Affine shape = Affine::Then(Affine::Scale(1.0 / sizeScale_.x, 1.0 / sizeScale_.y), scale);
    FT_Matrix matrix;
    matrix.xx = static_cast<FT_Fixed>(shape.xx * 65536.0);
    matrix.yx = -static_cast<FT_Fixed>(shape.yx * 65536.0);
    matrix.xy = -static_cast<FT_Fixed>(shape.xy * 65536.0);
    matrix.yy = static_cast<FT_Fixed>(shape.yy * 65536.0);
    FT_Set_Transform(ft_, &matrix, nullptr);
    FT_Set_Char_Size(ft_, static_cast<FT_F26Dot6>(sizeScale_.x * 64.0 + .5),
                     static_cast<FT_F26Dot6>(sizeScale_.y * 64.0 + .5), 0, 0);
}

void FontResource::Layout(const std::string& utf8, std::vector<Glyph>& glyphs, double& advance)
{
    std::lock_guard lock(mutex_);
    glyphs.clear();
    advance = 0;
    double x = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t cp = n == 1 ? c : c & (0x3F >> (n - 1));
        for (int k = 1; k < n && i + k < utf8.size(); ++k)
            cp = cp << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += n;
        const LaidChar& laid = Char(cp);
        glyphs.push_back({laid.index, x, 0});
        x += laid.advance;
    }
    if (!glyphs.empty())
        advance = x - glyphs.front().x;
}

const FontResource::LaidChar& FontResource::Char(char32_t c)
{
    LaidChar* slot = nullptr;
    if (c < ascii_.size()) {
        slot = &ascii_[c];
        if (slot->known)
            return *slot;
    } else {
        if (chars_.size() >= kMaxChars) // text in many scripts: start over rather than grow
            chars_.clear();
        auto [it, fresh] = chars_.try_emplace(c);
        if (!fresh)
            return it->second;
        slot = &it->second;
    }
    // The hinted advance of the glyph at the font's own size.
    SetScale(Affine::Scale(em, em));
    slot->index = FcFreeTypeCharIndex(ft_, c);
    if (LoadGlyph(ft_, slot->index, loadFlags | FT_LOAD_IGNORE_GLOBAL_ADVANCE_WIDTH | FT_LOAD_COLOR,
                  face.options.embolden)) {
        FT_Pos pixels = ft_->glyph->metrics.horiAdvance;
        if (loadFlags & FT_LOAD_NO_HINTING)
            pixels = (pixels + 32) & -64; // hinted metrics of unhinted glyphs: whole pixels
        slot->advance = em * (From26Dot6(pixels) * (1 / sizeScale_.x));
    }
    slot->known = true;
    return *slot;
}

bool FontResource::Glyphs(const std::vector<Glyph>& glyphs, std::vector<const GlyphImage*>& out)
{
    std::lock_guard lock(mutex_);
    out.clear();
    for (const Glyph& g : glyphs) {
        const GlyphImage* image = Image(g.index);
        if (!image)
            return false;
        out.push_back(image);
    }
    return true;
}

const GlyphImage* FontResource::Image(unsigned long index)
{
    auto it = glyphs_.find(index);
    if (it != glyphs_.end())
        return &it->second;
    // Huge glyphs, or a cache that has grown large, are drawn without it.
    constexpr int kMaxSide = 256;
    constexpr std::size_t kMaxBytes = 4 << 20;
    if (glyphBytes_ > kMaxBytes)
        return nullptr;
    SetScale(Affine::Scale(em, em));
    GlyphImage image;
    if (LoadGlyph(ft_, index, loadFlags | FT_LOAD_IGNORE_GLOBAL_ADVANCE_WIDTH, face.options.embolden)) {
        FT_GlyphSlot slot = ft_->glyph;
        if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
            FT_BBox box;
            FT_Outline_Get_CBox(&slot->outline, &box);
            if ((box.xMax - box.xMin) / 64 + 2 > kMaxSide || (box.yMax - box.yMin) / 64 + 2 > kMaxSide)
                return nullptr;
        }
        if (RenderSlot(ft_, renderGray)) {
            const FT_Bitmap& bitmap = slot->bitmap;
            image = InkedBox(static_cast<int>(bitmap.width), static_cast<int>(bitmap.rows), slot->bitmap_left,
                             -slot->bitmap_top, [&](int x, int y) { return Coverage(bitmap, x, y); });
        }
    }
    glyphBytes_ += image.alpha.size() + sizeof(GlyphImage);
    return &glyphs_.emplace(index, std::move(image)).first->second;
}

void FontResource::TransformedGlyphs(const Affine& transform, const std::vector<Glyph>& glyphs,
                                     std::vector<TransformedGlyph>& out)
{
    std::lock_guard lock(mutex_);
    out.assign(glyphs.size(), {});
    if (glyphs.empty())
        return;
    const Affine scale = Affine::Then(Affine::Scale(em, em), transform);
    const MergedOptions merged =
        MergeOptions({antialias ? Antialias::Gray : Antialias::None, HintStyle::None, 0, false}, face.options);
    const bool embolden = face.options.embolden;
    // Metric boxes from the unhinted design outline, scaled to the em.
    const double upem = ft_->units_per_EM > 0 ? ft_->units_per_EM : em;
    SetScale(Affine::Scale(upem, upem));
    const double fx = 1 / sizeScale_.x, fy = 1 / sizeScale_.y;
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        TransformedGlyph& g = out[i];
        if (!LoadGlyph(ft_, glyphs[i].index, merged.loadFlags | FT_LOAD_IGNORE_GLOBAL_ADVANCE_WIDTH | FT_LOAD_COLOR,
                       embolden))
            continue;
        const FT_Glyph_Metrics& m = ft_->glyph->metrics;
        const double width = From26Dot6(m.width) * fx, height = From26Dot6(m.height) * fy;
        const double bearingX = From26Dot6(m.horiBearingX) * fx, bearingY = From26Dot6(-m.horiBearingY) * fy;
        double minX = 0, maxX = 0, minY = 0, maxY = 0;
        for (int corner = 0; corner < 4; ++corner) {
            double x = bearingX + width * (corner & 1), y = bearingY + height * (corner >> 1);
            scale.Distance(x, y);
            minX = corner ? std::min(minX, x) : x, maxX = corner ? std::max(maxX, x) : x;
            minY = corner ? std::min(minY, y) : y, maxY = corner ? std::max(maxY, y) : y;
        }
        auto fixed = [](double v) { return static_cast<std::int32_t>(std::nearbyint(v * 256)); };
        g.boxX0 = fixed(minX), g.boxY0 = fixed(minY), g.boxX1 = fixed(maxX), g.boxY1 = fixed(maxY);
    }
    SetScale(scale);
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        TransformedGlyph& g = out[i];
        if (!LoadGlyph(ft_, glyphs[i].index, merged.loadFlags | FT_LOAD_IGNORE_GLOBAL_ADVANCE_WIDTH, embolden) ||
            ft_->glyph->format != FT_GLYPH_FORMAT_OUTLINE || !RenderSlot(ft_, merged.antialias))
            continue;
        const FT_Bitmap& bitmap = ft_->glyph->bitmap;
        g.left = ft_->glyph->bitmap_left;
        g.top = -ft_->glyph->bitmap_top;
        g.width = static_cast<int>(bitmap.width);
        g.height = static_cast<int>(bitmap.rows);
        g.alpha.resize(std::size_t(g.width) * g.height);
        for (int y = 0; y < g.height; ++y)
            for (int x = 0; x < g.width; ++x)
                g.alpha[std::size_t(y) * g.width + x] = Coverage(bitmap, x, y);
    }
}

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

FontKey KeyOf(const LOGFONTA& record)
{
    const char* end = static_cast<const char*>(std::memchr(record.lfFaceName, 0, LF_FACESIZE));
    return {std::string(record.lfFaceName, end ? end : record.lfFaceName + LF_FACESIZE), record.lfHeight,
            record.lfWeight >= 600, record.lfItalic != 0, record.lfQuality != NONANTIALIASED_QUALITY};
}

// Realised fonts stay cached while they are in use and for a while after:
// creating a font handle per drawing must not load the face again.
class FontCache {
public:
    std::shared_ptr<FontResource> Get(const LOGFONTA& record)
    {
        const FontKey key = KeyOf(record);
        std::lock_guard lock(mutex_);
        ++clock_;
        auto it = entries_.find(key);
        if (it != entries_.end()) {
            it->second.lastUse = clock_;
            return it->second.resource;
        }
        if (entries_.size() >= kCapacity)
            EvictOldest();
        auto resource = std::make_shared<FontResource>(record, false);
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

    std::mutex mutex_;
    std::uint64_t clock_ = 0;
    std::unordered_map<FontKey, Entry, FontKeyHash> entries_;
};

FontCache& Cache()
{
    static auto* cache = new FontCache;
    return *cache;
}

} // namespace

std::shared_ptr<FontResource> ResolveFont(const LOGFONTA& record)
{
    return Cache().Get(record);
}

} // namespace gfx

} // namespace qb

namespace qb {

namespace gfx {

void FontResource::Outline(unsigned long index, GlyphOutline& out)
{
    out.ops.clear();
    out.points.clear();
    out.x0 = out.y0 = out.x1 = out.y1 = 0;
    std::lock_guard lock(mutex_);
    out.unitsPerEm = ft_->units_per_EM > 0 ? ft_->units_per_EM : 1000;
    if (FT_Load_Glyph(ft_, static_cast<FT_UInt>(index),
                      FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP | FT_LOAD_IGNORE_TRANSFORM) != 0 ||
        ft_->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
        return;
    FT_Outline& outline = ft_->glyph->outline;
    if (face.options.embolden) {
        // The strength FreeType's own emboldening gives: a 24th of the em.
        const FT_Pos strength = out.unitsPerEm / 24;
        FT_Outline_EmboldenXY(&outline, strength, strength);
    }
    // Quadratic segments become cubic ones, so every format reads alike.
    struct Walk {
        GlyphOutline& out;
        PointD last{0, 0};
        static PointD At(const FT_Vector* v) { return {double(v->x), double(v->y)}; }
        void Add(GlyphOutline::Op op, std::initializer_list<PointD> points)
        {
            out.ops.push_back(op);
            out.points.insert(out.points.end(), points);
            last = *(points.end() - 1);
        }
    } walk{out};
    FT_Outline_Funcs funcs{};
    funcs.move_to = [](const FT_Vector* to, void* user) {
        auto& w = *static_cast<Walk*>(user);
        w.Add(GlyphOutline::Move, {Walk::At(to)});
        return 0;
    };
    funcs.line_to = [](const FT_Vector* to, void* user) {
        auto& w = *static_cast<Walk*>(user);
        w.Add(GlyphOutline::Line, {Walk::At(to)});
        return 0;
    };
    funcs.conic_to = [](const FT_Vector* control, const FT_Vector* to, void* user) {
        auto& w = *static_cast<Walk*>(user);
        const PointD c = Walk::At(control), e = Walk::At(to), s = w.last;
        w.Add(GlyphOutline::Curve, {{s.x + 2.0 / 3 * (c.x - s.x), s.y + 2.0 / 3 * (c.y - s.y)},
                                    {e.x + 2.0 / 3 * (c.x - e.x), e.y + 2.0 / 3 * (c.y - e.y)},
                                    e});
        return 0;
    };
    funcs.cubic_to = [](const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
        auto& w = *static_cast<Walk*>(user);
        w.Add(GlyphOutline::Curve, {Walk::At(c1), Walk::At(c2), Walk::At(to)});
        return 0;
    };
    if (FT_Outline_Decompose(&outline, &funcs, &walk) != 0) {
        out.ops.clear();
        out.points.clear();
        return;
    }
    FT_BBox box;
    FT_Outline_Get_CBox(&outline, &box);
    if (!out.points.empty())
        out.x0 = double(box.xMin), out.y0 = double(box.yMin), out.x1 = double(box.xMax), out.y1 = double(box.yMax);
}

} // namespace gfx

} // namespace qb
