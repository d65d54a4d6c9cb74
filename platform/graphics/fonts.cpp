// Font handles and device contexts behind the OS-style calls, the cache of
// realised fonts, text layout, and TFont.
#include "graphics_internal.h"
#include "qbarcode/sysutils.h"

#include <cairo-ft.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SANITIZE_ADDRESS__)
// fontconfig keeps its configuration until the process ends; that is not a
// leak of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

namespace gfx {
namespace {

// --- Handle tables ------------------------------------------------------------

// A handle encodes a table tag, a slot index and the slot's generation, so a
// handle whose object was deleted (even if the slot was reused since) or a
// made-up value is recognised and refused, never dereferenced.
template <class T>
class HandleTable {
public:
    explicit HandleTable(std::uint64_t tag) : tag_(tag) {}

    std::uint64_t Add(std::shared_ptr<T> object)
    {
        std::lock_guard lock(mutex_);
        std::uint32_t index;
        if (!free_.empty()) {
            index = free_.back();
            free_.pop_back();
        } else {
            index = static_cast<std::uint32_t>(slots_.size());
            slots_.emplace_back();
        }
        Slot& slot = slots_[index];
        slot.generation = (slot.generation + 1) & kGenerationMask;
        slot.object = std::move(object);
        return tag_ << 60 | std::uint64_t(slot.generation) << 32 | (std::uint64_t(index) + 1);
    }

    std::shared_ptr<T> Find(std::uint64_t handle)
    {
        std::lock_guard lock(mutex_);
        Slot* slot = Locate(handle);
        return slot ? slot->object : nullptr;
    }

    /// Removes the object; returns it (null if the handle was not valid).
    std::shared_ptr<T> Remove(std::uint64_t handle)
    {
        std::lock_guard lock(mutex_);
        Slot* slot = Locate(handle);
        if (!slot)
            return nullptr;
        free_.push_back(static_cast<std::uint32_t>(slot - slots_.data()));
        return std::move(slot->object);
    }

private:
    static constexpr std::uint32_t kGenerationMask = 0x0FFFFFFF;
    struct Slot {
        std::uint32_t generation = 0;
        std::shared_ptr<T> object;
    };

    Slot* Locate(std::uint64_t handle)
    {
        if (handle >> 60 != tag_)
            return nullptr;
        std::uint64_t index = (handle & 0xFFFFFFFF) - 1;
        std::uint32_t generation = (handle >> 32) & kGenerationMask;
        if (index >= slots_.size())
            return nullptr;
        Slot& slot = slots_[index];
        return slot.object && slot.generation == generation ? &slot : nullptr;
    }

    const std::uint64_t tag_;
    std::mutex mutex_;
    std::vector<Slot> slots_;
    std::vector<std::uint32_t> free_;
};

static_assert(sizeof(void*) == 8, "handles carry 64 bits");

// The tables and the font cache live until the process ends (never
// destroyed), so objects in other static storage, such as the global
// printer's canvas, can release their handles at exit in any order.
HandleTable<GdiFont>& Fonts()
{
    static auto* table = new HandleTable<GdiFont>(0x5);
    return *table;
}

HandleTable<DeviceContext>& DeviceContexts()
{
    static auto* table = new HandleTable<DeviceContext>(0xD);
    return *table;
}

std::uint64_t Raw(const void* handle) { return reinterpret_cast<std::uintptr_t>(handle); }

// --- Realised fonts -------------------------------------------------------------

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

    static std::shared_ptr<FontResource> Realise(const FontKey& key);

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

std::shared_ptr<FontResource> FontCache::Realise(const FontKey& key)
{
    cairo_font_face_t* face =
        cairo_toy_font_face_create(key.face.empty() ? kDefaultFace : key.face.c_str(),
                                   key.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                                   key.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    double em = EmForHeight(face, key.height);
    auto font = std::make_shared<FontResource>();
    font->antialias = key.antialias;
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
    font->underlinePos =
        std::max(1, static_cast<int>(std::lround(-underline * em)) - font->lineThickness / 2);
    font->strikePos = -std::max(1, static_cast<int>(std::lround(0.28 * em)));
    return font;
}

// --- Text -----------------------------------------------------------------------

bool IsUtf8(const std::string& s)
{
    std::size_t i = 0, n = s.size();
    while (i < n) {
        unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        // The range of the second byte excludes overlong forms, surrogates
        // and code points above U+10FFFF.
        std::size_t extra;
        unsigned char lo = 0x80, hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF)
            extra = 1;
        else if (c == 0xE0)
            extra = 2, lo = 0xA0;
        else if (c == 0xED)
            extra = 2, hi = 0x9F;
        else if (c >= 0xE1 && c <= 0xEF)
            extra = 2;
        else if (c == 0xF0)
            extra = 3, lo = 0x90;
        else if (c >= 0xF1 && c <= 0xF3)
            extra = 3;
        else if (c == 0xF4)
            extra = 3, hi = 0x8F;
        else
            return false;
        if (n - i <= extra)
            return false;
        unsigned char c1 = s[i + 1];
        if (c1 < lo || c1 > hi)
            return false;
        for (std::size_t k = 2; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += extra + 1;
    }
    return true;
}

void FaceName(const LOGFONTA& lf, std::string& out)
{
    const char* end = static_cast<const char*>(std::memchr(lf.lfFaceName, 0, LF_FACESIZE));
    out.assign(lf.lfFaceName, end ? end : lf.lfFaceName + LF_FACESIZE);
}

} // namespace

// Strings are 8-bit; text that is not UTF-8 is read as Latin-1.
std::string AsUtf8(const std::string& s)
{
    if (IsUtf8(s))
        return s;
    std::string out;
    out.reserve(s.size() * 2);
    for (unsigned char c : s) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

FontResource::~FontResource()
{
    if (scaled)
        cairo_scaled_font_destroy(scaled);
}

bool FontResource::Glyphs(const std::vector<cairo_glyph_t>& glyphs, std::vector<const GlyphImage*>& out)
{
    std::lock_guard lock(glyphsMutex_);
    out.clear();
    for (const cairo_glyph_t& g : glyphs) {
        const GlyphImage* image = Glyph(g.index);
        if (!image)
            return false;
        out.push_back(image);
    }
    return true;
}

const GlyphImage* FontResource::Glyph(unsigned long index)
{
    auto it = glyphs_.find(index);
    if (it != glyphs_.end())
        return &it->second;
    // Huge glyphs, or a cache that has grown large, are left to cairo.
    constexpr int kMaxSide = 256;
    constexpr std::size_t kMaxBytes = 4 << 20;
    if (glyphBytes_ > kMaxBytes)
        return nullptr;

    cairo_glyph_t glyph{index, 0, 0};
    cairo_text_extents_t ext;
    cairo_scaled_font_glyph_extents(scaled, &glyph, 1, &ext);
    GlyphImage image;
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
        auto at = [&](int x, int y) { return data[std::ptrdiff_t(y) * stride + x]; };

        // Keep only the inked box.
        int x0 = width, x1 = -1, y0 = height, y1 = -1;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (at(x, y)) {
                    x0 = std::min(x0, x), x1 = std::max(x1, x);
                    y0 = std::min(y0, y), y1 = std::max(y1, y);
                }
        if (x1 >= 0) {
            image.left = left + x0;
            image.top = top + y0;
            image.width = x1 - x0 + 1;
            image.height = y1 - y0 + 1;
            image.alpha.resize(std::size_t(image.width) * image.height);
            for (int y = 0; y < image.height; ++y)
                for (int x = 0; x < image.width; ++x)
                    image.alpha[std::size_t(y) * image.width + x] = at(x0 + x, y0 + y);
        }
        cairo_surface_destroy(surface);
    }
    glyphBytes_ += image.alpha.size() + sizeof(GlyphImage);
    return &glyphs_.emplace(index, std::move(image)).first->second;
}

std::shared_ptr<FontResource> ResolveFont(const LOGFONTA& record)
{
    FontKey key;
    FaceName(record, key.face);
    key.height = record.lfHeight;
    key.bold = record.lfWeight >= 600;
    key.italic = record.lfItalic != 0;
    key.antialias = record.lfQuality != NONANTIALIASED_QUALITY;
    return Cache().Get(key);
}

const std::shared_ptr<FontResource>& GdiFont::Resource()
{
    if (!resource_)
        resource_ = ResolveFont(lf);
    return resource_;
}

void LayoutText(const std::shared_ptr<FontResource>& font, const std::string& text, TextLayout& out)
{
    if (out.font == font && out.text == text)
        return;
    out.font = nullptr;
    out.glyphs.clear();
    out.advance = 0;
    out.wholePixels = true;
    if (!text.empty()) {
        std::string utf8 = AsUtf8(text);
        cairo_glyph_t* glyphs = nullptr;
        int count = 0;
        cairo_status_t status = cairo_scaled_font_text_to_glyphs(font->scaled, 0, 0, utf8.data(),
                                                                 static_cast<int>(utf8.size()), &glyphs,
                                                                 &count, nullptr, nullptr, nullptr);
        if (status != CAIRO_STATUS_SUCCESS)
            throw Exception(std::string("Cannot lay out text: ") + cairo_status_to_string(status));
        out.glyphs.assign(glyphs, glyphs + count);
        cairo_text_extents_t ext;
        cairo_scaled_font_glyph_extents(font->scaled, glyphs, count, &ext);
        cairo_glyph_free(glyphs);
        out.advance = static_cast<int>(std::lround(ext.x_advance));
        for (const cairo_glyph_t& g : out.glyphs)
            if (g.x != std::floor(g.x) || g.y != 0)
                out.wholePixels = false;
    }
    out.font = font;
    out.text = text;
}

HGDIOBJ RegisterFont(std::shared_ptr<GdiFont> font)
{
    return reinterpret_cast<HGDIOBJ>(Fonts().Add(std::move(font)));
}

std::shared_ptr<GdiFont> FindFont(HGDIOBJ handle) { return Fonts().Find(Raw(handle)); }

HDC RegisterDeviceContext(std::shared_ptr<DeviceContext> dc)
{
    return reinterpret_cast<HDC>(DeviceContexts().Add(std::move(dc)));
}

void UnregisterDeviceContext(HDC handle) { DeviceContexts().Remove(Raw(handle)); }

const std::shared_ptr<GdiFont>& FontAccess::Object(const TFont& font)
{
    font.Handle();
    return font.object_;
}

} // namespace gfx

// --- OS-style calls ---------------------------------------------------------------

int GetObject(HGDIOBJ object, int size, void* out)
{
    auto font = gfx::FindFont(object);
    if (!font)
        return 0;
    if (!out)
        return sizeof(LOGFONTA);
    int n = std::clamp(size, 0, int(sizeof(LOGFONTA)));
    std::memcpy(out, &font->lf, n);
    return n;
}

HFONT CreateFontIndirect(const LOGFONTA* record)
{
    if (!record)
        return nullptr;
    return gfx::RegisterFont(std::make_shared<gfx::GdiFont>(*record));
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object)
{
    auto context = gfx::DeviceContexts().Find(gfx::Raw(dc));
    if (!context)
        return nullptr;
    auto font = gfx::FindFont(object);
    if (!font)
        return nullptr;
    HGDIOBJ previous = context->fontHandle;
    context->font = std::move(font);
    context->fontHandle = object;
    return previous;
}

bool DeleteObject(HGDIOBJ object) { return gfx::Fonts().Remove(gfx::Raw(object)) != nullptr; }

int GetDeviceCaps(HDC dc, int index)
{
    auto context = gfx::DeviceContexts().Find(gfx::Raw(dc));
    if (!context)
        return 0;
    const gfx::DeviceCaps& c = context->caps;
    auto mm = [](int pixels, int dpi) {
        return dpi > 0 ? static_cast<int>(std::lround(pixels * 25.4 / dpi)) : 0;
    };
    switch (index) {
    case TECHNOLOGY: return c.technology;
    case HORZSIZE: return mm(c.width, c.dpiX);
    case VERTSIZE: return mm(c.height, c.dpiY);
    case HORZRES: return c.width;
    case VERTRES: return c.height;
    case BITSPIXEL: return 24;
    case PLANES: return 1;
    case LOGPIXELSX: return c.dpiX;
    case LOGPIXELSY: return c.dpiY;
    case PHYSICALWIDTH: return c.physicalWidth;
    case PHYSICALHEIGHT: return c.physicalHeight;
    case PHYSICALOFFSETX: return c.offsetX;
    case PHYSICALOFFSETY: return c.offsetY;
    default: return 0;
    }
}

// --- TFont ---------------------------------------------------------------------------

namespace {

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    long double r = static_cast<long double>(a) * b / c;
    return static_cast<int>(std::clamp<long double>(std::roundl(r), INT32_MIN, INT32_MAX));
}

} // namespace

TFont::TFont() = default;

TFont::~TFont()
{
    if (handle_)
        DeleteObject(handle_);
}

int TFont::Height() const { return -MulDiv(Size, PixelsPerInch, 72); }

void TFont::SetHeight(int height) { Size = -MulDiv(height, 72, PixelsPerInch); }

void TFont::Assign(const TFont& source)
{
    if (&source == this)
        return;
    Name = source.Name;
    Size = source.Size;
    Color = source.Color;
    Style = source.Style;
    Quality = source.Quality;
    Charset = source.Charset;
    Pitch = source.Pitch;
}

HFONT TFont::Handle() const
{
    LOGFONTA lf;
    lf.lfHeight = Height();
    lf.lfWeight = (Style & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (Style & fsItalic) ? 1 : 0;
    lf.lfUnderline = (Style & fsUnderline) ? 1 : 0;
    lf.lfStrikeOut = (Style & fsStrikeOut) ? 1 : 0;
    lf.lfQuality = Quality == fqNonAntialiased ? NONANTIALIASED_QUALITY
                   : Quality == fqAntialiased  ? ANTIALIASED_QUALITY
                                               : DEFAULT_QUALITY;
    std::strncpy(lf.lfFaceName, Name.c_str(), LF_FACESIZE - 1);
    if (object_ && std::memcmp(&object_->lf, &lf, sizeof lf) == 0 && gfx::FindFont(handle_) == object_)
        return handle_;
    if (handle_)
        DeleteObject(handle_);
    object_ = std::make_shared<gfx::GdiFont>(lf);
    handle_ = gfx::RegisterFont(object_);
    return handle_;
}
