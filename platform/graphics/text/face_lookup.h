// Where a family's face is found, and the settings it is rendered with: the
// default family from the files the build recorded, any family (and the
// default one when its files are gone) through fontconfig.
#pragma once

#include <string>
#include <string_view>

namespace qb {

namespace gfx {

/// The face used for a record without a face name.
constexpr const char* kDefaultFace = "DejaVu Sans";

enum class HintStyle { Default, None, Slight, Medium, Full };
enum class Antialias { Default, None, Gray, Subpixel };

/// Rendering options, either a face's (from its fontconfig pattern) or a
/// realised font's, in the terms FreeType is driven with.
struct RenderOptions {
    Antialias antialias = Antialias::Default;
    HintStyle hintStyle = HintStyle::Default;
    int loadFlags = 0; // FT_LOAD_* flags besides the hinting target
    bool embolden = false;
};

/// A face file and the options its pattern gives.
struct FoundFace {
    std::string file;
    int index = 0;
    RenderOptions options;
};

/// The face for a family and style at a pixel size, as fontconfig resolves
/// it for text drawn anti-aliased or not (`antialias`) with the hint style
/// `hint`. The default family is taken from its recorded file without
/// fontconfig unless `throughFontconfig`, or the file is gone. Raises when no
/// face is found.
FoundFace FindFace(const std::string& family, bool bold, bool italic, double pixelSize, bool antialias, HintStyle hint,
                   bool throughFontconfig = false);

/// `face` options combined with a font's own: the FreeType load flags, and
/// whether glyphs are rendered anti-aliased.
struct MergedOptions {
    int loadFlags;
    bool antialias;
};
MergedOptions MergeOptions(const RenderOptions& font, const RenderOptions& face);

/// Whether two family names are the same as fontconfig compares them:
/// ignoring ASCII case and blanks.
bool SameFamilyName(std::string_view a, std::string_view b);

/// Whether a family name is the default family's (or empty).
bool IsDefaultFamily(const std::string& family);

/// The default family's file for a style, where the build found it; empty
/// when it is not there (any more).
std::string DefaultFaceFile(bool bold, bool italic);

} // namespace gfx

} // namespace qb
