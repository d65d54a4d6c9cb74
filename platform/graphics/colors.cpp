// Colour values: system colours, names and parsing.
#include "qbarcode/graphics.h"
#include "qbarcode/sysutils.h"

#include <array>
#include <cctype>
#include <cstdio>

namespace qb {

namespace {

constexpr TColor Bgr(int r, int g, int b)
{
    return TColor(r | (g << 8) | (b << 16));
}

// Fixed values of the system colours, indexed by the low byte of a system
// colour: a light desktop scheme, so output does not depend on the machine.
constexpr std::array<TColor, 25> kSystemColors = {
    Bgr(200, 200, 200), // scroll bar
    Bgr(0, 0, 0),       // background
    Bgr(153, 180, 209), // active caption
    Bgr(191, 205, 219), // inactive caption
    Bgr(240, 240, 240), // menu
    Bgr(255, 255, 255), // window
    Bgr(100, 100, 100), // window frame
    Bgr(0, 0, 0),       // menu text
    Bgr(0, 0, 0),       // window text
    Bgr(0, 0, 0),       // caption text
    Bgr(180, 180, 180), // active border
    Bgr(244, 247, 252), // inactive border
    Bgr(171, 171, 171), // application workspace
    Bgr(0, 120, 215),   // highlight
    Bgr(255, 255, 255), // highlight text
    Bgr(240, 240, 240), // button face
    Bgr(160, 160, 160), // button shadow
    Bgr(109, 109, 109), // grey text
    Bgr(0, 0, 0),       // button text
    Bgr(0, 0, 0),       // inactive caption text
    Bgr(255, 255, 255), // button highlight
    Bgr(105, 105, 105), // 3-D dark shadow
    Bgr(227, 227, 227), // 3-D light
    Bgr(0, 0, 0),       // tooltip text
    Bgr(255, 255, 225), // tooltip background
};

struct NamedColor {
    const char* name; // without the "cl" prefix
    TColor color;
};

// Names map to colours one way; for ColorToString the first name of a value wins.
constexpr NamedColor kNamedColors[] = {
    {"Black", clBlack},
    {"Maroon", clMaroon},
    {"Green", clGreen},
    {"Olive", clOlive},
    {"Navy", clNavy},
    {"Purple", clPurple},
    {"Teal", clTeal},
    {"Gray", clGray},
    {"Silver", clSilver},
    {"Red", clRed},
    {"Lime", clLime},
    {"Yellow", clYellow},
    {"Blue", clBlue},
    {"Fuchsia", clFuchsia},
    {"Aqua", clAqua},
    {"White", clWhite},
    {"MoneyGreen", clMoneyGreen},
    {"SkyBlue", clSkyBlue},
    {"Cream", clCream},
    {"MedGray", clMedGray},
    {"LtGray", clLtGray},
    {"DkGray", clDkGray},
    {"Grey", clGray},
    {"None", clNone},
    {"Default", clDefault},
    {"ScrollBar", clScrollBar},
    {"Background", clBackground},
    {"ActiveCaption", clActiveCaption},
    {"InactiveCaption", clInactiveCaption},
    {"Menu", clMenu},
    {"Window", clWindow},
    {"WindowFrame", clWindowFrame},
    {"MenuText", clMenuText},
    {"WindowText", clWindowText},
    {"CaptionText", clCaptionText},
    {"ActiveBorder", clActiveBorder},
    {"InactiveBorder", clInactiveBorder},
    {"AppWorkSpace", clAppWorkSpace},
    {"Highlight", clHighlight},
    {"HighlightText", clHighlightText},
    {"BtnFace", clBtnFace},
    {"BtnShadow", clBtnShadow},
    {"GrayText", clGrayText},
    {"BtnText", clBtnText},
    {"InactiveCaptionText", clInactiveCaptionText},
    {"BtnHighlight", clBtnHighlight},
    {"3DDkShadow", cl3DDkShadow},
    {"3DLight", cl3DLight},
    {"InfoText", clInfoText},
    {"InfoBk", clInfoBk},
};

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

TColor ColorToRGB(TColor color)
{
    if (color < 0) {
        unsigned index = static_cast<unsigned>(color) & 0xFF;
        return index < kSystemColors.size() ? kSystemColors[index] : clBlack;
    }
    if (color == clNone)
        return clWhite;
    if (color == clDefault)
        return clBlack;
    return color & 0xFFFFFF;
}

bool ColorFromName(std::string_view text, TColor& color)
{
    if (text.size() == 7 && text[0] == '#') {
        int rgb = 0;
        for (char c : text.substr(1)) {
            int d = HexDigit(c);
            if (d < 0)
                return false;
            rgb = rgb * 16 + d;
        }
        color = Bgr(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF);
        return true;
    }
    std::string_view bare = text;
    if (bare.size() > 2 && EqualsNoCase(bare.substr(0, 2), "cl"))
        bare.remove_prefix(2);
    for (const NamedColor& named : kNamedColors)
        if (EqualsNoCase(bare, named.name)) {
            color = named.color;
            return true;
        }
    if (text.size() >= 2 && text.size() <= 9 && text[0] == '$') {
        // Eight hex digits cover the whole 32 bits, system colours included.
        std::uint32_t value = 0;
        for (char c : text.substr(1)) {
            int d = HexDigit(c);
            if (d < 0)
                return false;
            value = value << 4 | unsigned(d);
        }
        color = static_cast<TColor>(value);
        return true;
    }
    if (text.empty() || std::isspace(static_cast<unsigned char>(text.front())) ||
        std::isspace(static_cast<unsigned char>(text.back())))
        return false;
    try {
        color = StrToInt(text);
        return true;
    } catch (const EConvertError&) {
        return false;
    }
}

std::string ColorToString(TColor color)
{
    for (const NamedColor& named : kNamedColors)
        if (named.color == color)
            return std::string("cl") + named.name;
    char buf[16];
    std::snprintf(buf, sizeof buf, "$%08X", static_cast<unsigned>(color));
    return buf;
}

} // namespace qb
