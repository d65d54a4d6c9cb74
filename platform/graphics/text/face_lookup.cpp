// Face lookup: the default family's recorded files, fontconfig for the rest,
// and the rendering options a face's pattern gives.
#include "text/face_lookup.h"
#include "qbarcode/sysutils.h"
#include "text/matrix.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cctype>
#include <memory>

#include <unistd.h>

namespace qb {

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

using Pattern = std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)>;

// The options a fontconfig pattern gives a face, read as FreeType's users
// read them: anti-aliasing and sub-pixel order, hinting and its style,
// embedded bitmaps (only with hinting), the autohinter, emboldening.
RenderOptions PatternOptions(FcPattern* pattern)
{
    RenderOptions options;
    FcBool antialias, hinting, autohint, bitmap, embolden;
    if (FcPatternGetBool(pattern, FC_EMBEDDED_BITMAP, 0, &bitmap) != FcResultMatch)
        bitmap = FcFalse;
    if (FcPatternGetBool(pattern, FC_ANTIALIAS, 0, &antialias) != FcResultMatch)
        antialias = FcTrue;
    if (antialias) {
        if (FcPatternGetBool(pattern, FC_HINTING, 0, &hinting) != FcResultMatch)
            hinting = FcTrue;
        int rgba;
        if (FcPatternGetInteger(pattern, FC_RGBA, 0, &rgba) != FcResultMatch)
            rgba = FC_RGBA_UNKNOWN;
        if (rgba == FC_RGBA_RGB || rgba == FC_RGBA_BGR || rgba == FC_RGBA_VRGB || rgba == FC_RGBA_VBGR)
            options.antialias = Antialias::Subpixel;
        int style;
        if (FcPatternGetInteger(pattern, FC_HINT_STYLE, 0, &style) != FcResultMatch)
            style = FC_HINT_FULL;
        if (!hinting)
            style = FC_HINT_NONE;
        options.hintStyle = style == FC_HINT_NONE     ? HintStyle::None
                            : style == FC_HINT_SLIGHT ? HintStyle::Slight
                            : style == FC_HINT_FULL   ? HintStyle::Full
                                                      : HintStyle::Medium;
        if (options.hintStyle == HintStyle::None)
            bitmap = FcFalse;
        if (!bitmap)
            options.loadFlags |= FT_LOAD_NO_BITMAP;
    } else {
        options.antialias = Antialias::None;
    }
    if (FcPatternGetBool(pattern, FC_AUTOHINT, 0, &autohint) == FcResultMatch && autohint)
        options.loadFlags |= FT_LOAD_FORCE_AUTOHINT;
    if (FcPatternGetBool(pattern, FC_EMBOLDEN, 0, &embolden) == FcResultMatch && embolden)
        options.embolden = true;
    return options;
}

// What a request for text drawn with these settings adds to a pattern that
// fontconfig's configuration left without them.
void AddRequestOptions(FcPattern* pattern, bool antialias, HintStyle hint)
{
    FcValue v;
    if (FcPatternGet(pattern, FC_ANTIALIAS, 0, &v) == FcResultNoMatch) {
        FcPatternAddBool(pattern, FC_ANTIALIAS, antialias);
        FcPatternDel(pattern, FC_RGBA);
        FcPatternAddInteger(pattern, FC_RGBA, FC_RGBA_NONE);
    }
    if (FcPatternGet(pattern, FC_RGBA, 0, &v) == FcResultNoMatch)
        FcPatternAddInteger(pattern, FC_RGBA, FC_RGBA_NONE);
    if (FcPatternGet(pattern, FC_HINTING, 0, &v) == FcResultNoMatch)
        FcPatternAddBool(pattern, FC_HINTING, hint != HintStyle::None);
    if (FcPatternGet(pattern, FC_HINT_STYLE, 0, &v) == FcResultNoMatch)
        FcPatternAddInteger(pattern, FC_HINT_STYLE,
                            hint == HintStyle::None     ? FC_HINT_NONE
                            : hint == HintStyle::Slight ? FC_HINT_SLIGHT
                            : hint == HintStyle::Medium ? FC_HINT_MEDIUM
                                                        : FC_HINT_FULL);
}

FoundFace FindThroughFontconfig(const std::string& family, bool bold, bool italic, double em, bool antialias,
                                HintStyle hint)
{
    Pattern pattern(FcPatternCreate(), FcPatternDestroy);
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_MEDIUM);
    FcPatternAddDouble(pattern.get(), FC_PIXEL_SIZE, FontScales(Affine::Scale(em, em)).y);
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    AddRequestOptions(pattern.get(), antialias, hint);
    FcDefaultSubstitute(pattern.get());
    FcResult result;
    Pattern match(FcFontMatch(nullptr, pattern.get(), &result), FcPatternDestroy);
    FcChar8* file = nullptr;
    if (!match || FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch ||
        ::access(reinterpret_cast<const char*>(file), R_OK) != 0)
        throw Exception("Cannot load the font \"" + family + "\"");
    FoundFace face;
    face.file = reinterpret_cast<const char*>(file);
    if (FcPatternGetInteger(match.get(), FC_INDEX, 0, &face.index) != FcResultMatch)
        face.index = 0;
    face.options = PatternOptions(match.get());
    return face;
}

} // namespace

FoundFace FindFace(const std::string& family, bool bold, bool italic, double em, bool antialias, HintStyle hint,
                   bool throughFontconfig)
{
    if (!throughFontconfig && IsDefaultFamily(family)) {
        std::string file = DefaultFaceFile(bold, italic);
        if (!file.empty()) {
            // The settings the stock configuration gives the family: slight
            // hinting, none below 7.5 pixels to the em (and then no embedded
            // bitmaps), no autohinter.
            constexpr double kUnhintedBelow = 7.5;
            FoundFace face{std::move(file), 0, {}};
            face.options.hintStyle = em >= kUnhintedBelow ? HintStyle::Slight : HintStyle::None;
            if (face.options.hintStyle == HintStyle::None)
                face.options.loadFlags |= FT_LOAD_NO_BITMAP;
            return face;
        }
    }
    return FindThroughFontconfig(family.empty() ? kDefaultFace : family, bold, italic, em, antialias, hint);
}

MergedOptions MergeOptions(const RenderOptions& font, const RenderOptions& face)
{
    RenderOptions o = font;
    if (face.antialias == Antialias::None || o.antialias == Antialias::None)
        o.antialias = Antialias::None;
    if (face.antialias == Antialias::Subpixel && (o.antialias == Antialias::Default || o.antialias == Antialias::Gray))
        o.antialias = Antialias::Subpixel;
    if (o.hintStyle == HintStyle::Default)
        o.hintStyle = face.hintStyle;
    if (face.hintStyle == HintStyle::None)
        o.hintStyle = HintStyle::None;
    int flags = face.loadFlags, target = FT_LOAD_TARGET_NORMAL;
    if (o.antialias == Antialias::None) {
        if (o.hintStyle == HintStyle::None)
            flags |= FT_LOAD_NO_HINTING;
        else
            target = FT_LOAD_TARGET_MONO;
        flags |= FT_LOAD_MONOCHROME;
    } else if (o.hintStyle == HintStyle::None) {
        flags |= FT_LOAD_NO_HINTING;
    } else if (o.hintStyle == HintStyle::Slight) {
        target = FT_LOAD_TARGET_LIGHT;
    } else if (o.antialias == Antialias::Subpixel && o.hintStyle != HintStyle::Medium) {
        target = FT_LOAD_TARGET_LCD;
    }
    return {flags | target, o.antialias != Antialias::None};
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
    // Recorded when the build was configured (fontconfig's answer for each
    // style then); empty when the family was not installed.
    static const char* const files[2][2] = {{QB_DEFAULT_FACE_REGULAR, QB_DEFAULT_FACE_ITALIC},
                                            {QB_DEFAULT_FACE_BOLD, QB_DEFAULT_FACE_BOLD_ITALIC}};
    const char* file = files[bold][italic];
    return *file && ::access(file, R_OK) == 0 ? std::string(file) : std::string();
}

} // namespace gfx

} // namespace qb
