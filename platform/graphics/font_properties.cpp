// TFont as a persistent sub-object: its class information, its published
// properties, and the colour names (clBlack, clBtnFace...) form files use.
#include "qbarcode/graphics.h"

#include <atomic>
#include <string>

namespace qb {

namespace {

const TEnumInfo kFontPitch = QB_ENUM_INFO(TFontPitch, QB_FONT_PITCHES);
// Ordinal i is bit i of TFontStyles (fsBold = 1, fsItalic = 2...).
const TEnumInfo kFontStyle = QB_ENUM_INFO(TFontStyle, QB_FONT_STYLES);

// Form files name only the colours that carry the "cl" prefix; every other
// value is written as a number.
bool ColorIdent(TColor color, std::string& ident)
{
    const std::string name = ColorToString(color);
    if (name.rfind("cl", 0) != 0)
        return false;
    ident = name;
    return true;
}

bool IdentColor(std::string_view ident, TColor& color)
{
    return ident.size() > 2 && ident.substr(0, 2) == "cl" && ColorFromName(ident, color);
}

const TFont& Font(const TObject& o)
{
    return static_cast<const TFont&>(o);
}
TFont& Font(TObject& o)
{
    return static_cast<TFont&>(o);
}

// Whether the form reader and writer hold this library's colour names.
std::atomic<bool> colorNamesRegistered{false};

} // namespace

void RegisterColorNames()
{
    RegisterColorIdents(ColorIdent, IdentColor);
    colorNamesRegistered = true;
}

void UnregisterColorNames()
{
    colorNamesRegistered = false;
    RegisterColorIdents(nullptr, nullptr);
}

// Used before any control's property list exists: that is when the colour
// names are handed to the form reader and writer, in a process that runs no
// unit start-ups or after the Graphics unit took them back.
const TClassInfo& TFont::StaticClassInfo()
{
    if (!colorNamesRegistered.load(std::memory_order_relaxed))
        RegisterColorNames();
    static const TClassInfo info{"TFont", &TPersistent::StaticClassInfo(), &TFont::Properties, nullptr};
    return info;
}

const TClassInfo& TFont::ClassInfo() const
{
    return StaticClassInfo();
}

std::vector<TPropInfo> TFont::Properties()
{
    using namespace detail;
    const TFont defaults;
    return {
        MakeProp(
            "Charset", TTypeKind::tkInteger, "TFontCharset", nullptr, nullptr, std::int64_t{DEFAULT_CHARSET},
            [](const TObject& o) -> TPropValue { return std::int64_t{Font(o).Charset}; },
            [](TObject& o, const TPropValue& v) {
                Font(o).Charset = static_cast<std::uint8_t>(CheckRange(AsInt(v), 0, 255));
            }),
        MakeProp(
            "Color", TTypeKind::tkColor, "TColor", nullptr, nullptr, std::int64_t{defaults.Color},
            [](const TObject& o) -> TPropValue { return std::int64_t{Font(o).Color}; },
            [](TObject& o, const TPropValue& v) {
                Font(o).Color = static_cast<TColor>(CheckRange(AsInt(v), INT32_MIN, INT32_MAX));
            }),
        MakeProp(
            "Height", TTypeKind::tkInteger, "Integer", nullptr, nullptr, std::int64_t{defaults.Height()},
            [](const TObject& o) -> TPropValue { return std::int64_t{Font(o).Height()}; },
            [](TObject& o, const TPropValue& v) {
                Font(o).SetHeight(static_cast<int>(CheckRange(AsInt(v), -32767, 32767)));
            }),
        MakeProp(
            "Name", TTypeKind::tkString, "String", nullptr, nullptr, defaults.Name,
            [](const TObject& o) -> TPropValue { return Font(o).Name; },
            [](TObject& o, const TPropValue& v) { Font(o).Name = AsString(v); }),
        MakeProp(
            "Pitch", TTypeKind::tkEnumeration, kFontPitch.Name, &kFontPitch, nullptr, std::int64_t{fpDefault},
            [](const TObject& o) -> TPropValue { return std::int64_t{Font(o).Pitch}; },
            [](TObject& o, const TPropValue& v) {
                Font(o).Pitch = static_cast<TFontPitch>(CheckRange(AsInt(v), 0, 2));
            }),
        MakeProp(
            "Size", TTypeKind::tkInteger, "Integer", nullptr, nullptr, std::int64_t{defaults.Size},
            [](const TObject& o) -> TPropValue { return std::int64_t{Font(o).Size}; },
            [](TObject& o, const TPropValue& v) {
                Font(o).Size = static_cast<int>(CheckRange(AsInt(v), -32767, 32767));
            }),
        MakeProp(
            "Style", TTypeKind::tkSet, "TFontStyles", &kFontStyle, nullptr, std::int64_t{0},
            [](const TObject& o) -> TPropValue { return std::int64_t{Font(o).Style}; },
            [](TObject& o, const TPropValue& v) {
                Font(o).Style = static_cast<TFontStyles>(CheckRange(AsInt(v), 0, 15));
            }),
    };
}

void TFont::Assign(const TPersistent* source)
{
    if (const auto* font = dynamic_cast<const TFont*>(source)) {
        Assign(*font);
        return;
    }
    TPersistent::Assign(source);
}

} // namespace qb
