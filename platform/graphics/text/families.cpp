// Which font families are installed, asked of fontconfig (the default family
// is answered from its files, without initialising fontconfig).
#include "qbarcode/graphics.h"
#include "text/font_cache.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <memory>

namespace qb {

namespace {

using Pattern = std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)>;

const FcChar8* Chars(const std::string& s)
{
    return reinterpret_cast<const FcChar8*>(s.c_str());
}

bool SameFamily(const FcChar8* a, const FcChar8* b)
{
    return gfx::SameFamilyName(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b));
}

} // namespace

bool FontFamilyInstalled(const std::string& family)
{
    if (family.empty())
        return false;
    if (gfx::IsDefaultFamily(family) && !gfx::DefaultFaceFile(false, false).empty())
        return true;
    // The request as fontconfig expands it: the name itself and what the
    // configuration binds to it as strongly (metric-compatible families),
    // then weakly bound fallbacks that any name gets. A generic name the
    // configuration knows ("sans-serif") has its members put before it.
    Pattern request(FcPatternCreate(), FcPatternDestroy);
    FcPatternAddString(request.get(), FC_FAMILY, Chars(family));
    FcConfigSubstitute(nullptr, request.get(), FcMatchPattern);
    FcDefaultSubstitute(request.get());
    FcResult result;
    Pattern match(FcFontMatch(nullptr, request.get(), &result), FcPatternDestroy);
    if (!match)
        return false;
    std::vector<const FcChar8*> strong;
    FcValue value;
    FcValueBinding binding;
    for (int i = 0; FcPatternGetWithBinding(request.get(), FC_FAMILY, i, &value, &binding) == FcResultMatch; ++i) {
        if (value.type != FcTypeString)
            continue;
        if (i == 0 && !SameFamily(value.u.s, Chars(family)))
            return true;
        if (binding != FcValueBindingWeak)
            strong.push_back(value.u.s);
    }
    FcChar8* found;
    for (int i = 0; FcPatternGetString(match.get(), FC_FAMILY, i, &found) == FcResultMatch; ++i)
        for (const FcChar8* name : strong)
            if (SameFamily(found, name))
                return true;
    return false;
}

std::vector<std::string> InstalledFontFamilies()
{
    Pattern all(FcPatternCreate(), FcPatternDestroy);
    std::unique_ptr<FcObjectSet, decltype(&FcObjectSetDestroy)> family(FcObjectSetBuild(FC_FAMILY, nullptr),
                                                                       FcObjectSetDestroy);
    std::unique_ptr<FcFontSet, decltype(&FcFontSetDestroy)> fonts(FcFontList(nullptr, all.get(), family.get()),
                                                                  FcFontSetDestroy);
    std::vector<std::string> names;
    for (int i = 0; fonts && i < fonts->nfont; ++i) {
        FcChar8* name;
        if (FcPatternGetString(fonts->fonts[i], FC_FAMILY, 0, &name) == FcResultMatch)
            names.emplace_back(reinterpret_cast<const char*>(name));
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

} // namespace qb
