// Line codes, the symbology table and the encoder dispatch.
#include "bardef/bardef.h"
#include "qbarcode/qbarcode.h"
#include "qbarcode/sysutils.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>

const TBCdata BCData[BarTypeCount] = {
    {"Code25 interleaved", true}, {"Code25 industrial", true}, {"Code25 matrix", true},
    {"Code39", false},            {"Code39 Extended", false},  {"Code128A", false},
    {"Code128B", false},          {"Code128C", true},          {"Code93", false},
    {"Code93 Extended", false},   {"MSI", true},               {"PostNet", true},
    {"Codebar", false},           {"EAN8", true},              {"EAN13", true},
    {"UPC_A", true},              {"UPC_E0", true},            {"UPC_E1", true},
    {"UPC Supp2", true},          {"UPC Supp5", true},         {"EAN128A", false},
    {"EAN128B", false},           {"EAN128C", true},
};

std::int32_t ModuleWidth1 = 0, ModuleWidth2 = 0, ModuleWidth3 = 0, ModuleWidth4 = 0;

namespace {

using Encoder = void (*)(TBarType, std::string_view, TCheckSum, std::string&, std::string&);

// What the dispatch needs per symbology besides BCData: the lower bound of the
// ratio (0 where the ratio is not clamped), the encoder, and the names the
// command line accepts.
struct Symbology {
    double minRatio;
    Encoder encode;
    const char* enumName;
    const char* alias;
    int quietZone; // modules of blank space each side needs to be read
};

constexpr double kNoClamp = 0.0;

#define QB_PLAIN(fn) [](TBarType, std::string_view t, TCheckSum, std::string&, std::string& lc) { fn(t, lc); }
#define QB_CHECKED(fn) [](TBarType, std::string_view t, TCheckSum cs, std::string&, std::string& lc) { fn(t, cs, lc); }
#define QB_CAPTIONED(fn) \
    [](TBarType, std::string_view t, TCheckSum cs, std::string& cap, std::string& lc) { fn(t, cs, cap, lc); }
#define QB_CODE128 \
    [](TBarType ty, std::string_view t, TCheckSum cs, std::string& cap, std::string& lc) { EncodeCode128(ty, t, cs, cap, lc); }

const Symbology kSymbologies[BarTypeCount] = {
    {2.0, QB_PLAIN(EncodeInterleaved25), "bcCode_2_5_interleaved", "i25", 10},
    {2.0, QB_PLAIN(EncodeIndustrial25), "bcCode_2_5_industrial", "industrial25", 10},
    {2.25, QB_PLAIN(EncodeMatrix25), "bcCode_2_5_matrix", "matrix25", 10},
    {2.0, QB_CHECKED(EncodeCode39), "bcCode39", "code39", 10},
    {2.0, QB_CHECKED(EncodeCode39Ext), "bcCode39Extended", "code39ext", 10},
    {kNoClamp, QB_CODE128, "bcCode128A", "code128a", 10},
    {kNoClamp, QB_CODE128, "bcCode128B", "code128b", 10},
    {kNoClamp, QB_CODE128, "bcCode128C", "code128c", 10},
    {kNoClamp, QB_PLAIN(EncodeCode93), "bcCode93", "code93", 10},
    {kNoClamp, QB_PLAIN(EncodeCode93Ext), "bcCode93Extended", "code93ext", 10},
    {kNoClamp, QB_PLAIN(EncodeMSI), "bcCodeMSI", "msi", 12},
    {kNoClamp, QB_PLAIN(EncodePostNet), "bcCodePostNet", "postnet", 6},
    {2.0, QB_PLAIN(EncodeCodabar), "bcCodeCodabar", "codabar", 10},
    {2.0, QB_CHECKED(EncodeEAN8), "bcCodeEAN8", "ean8", 7},
    {2.0, QB_CHECKED(EncodeEAN13), "bcCodeEAN13", "ean13", 11},
    {2.0, QB_CAPTIONED(EncodeUPCA), "bcCodeUPC_A", "upca", 9},
    {2.0, QB_CAPTIONED(EncodeUPCE0), "bcCodeUPC_E0", "upce0", 9},
    {2.0, QB_CAPTIONED(EncodeUPCE1), "bcCodeUPC_E1", "upce1", 9},
    {2.0, QB_CAPTIONED(EncodeUPCSupp2), "bcCodeUPC_Supp2", "upc2", 7},
    {2.0, QB_CAPTIONED(EncodeUPCSupp5), "bcCodeUPC_Supp5", "upc5", 7},
    {kNoClamp, QB_CODE128, "bcCodeEAN128A", "ean128a", 10},
    {kNoClamp, QB_CODE128, "bcCodeEAN128B", "ean128b", 10},
    {kNoClamp, QB_CODE128, "bcCodeEAN128C", "ean128c", 10},
};

#undef QB_PLAIN
#undef QB_CHECKED
#undef QB_CAPTIONED
#undef QB_CODE128

constexpr double kMaxRatio = 3.0;

// Line-code alphabet: width class (0 = not a line code) and kind, per byte.
struct LineCodeInfo {
    std::uint8_t widthClass;
    TBarLineType kind;
};

constexpr std::array<LineCodeInfo, 256> MakeAlphabet()
{
    std::array<LineCodeInfo, 256> table{};
    for (int k = 0; k < 4; ++k) {
        auto cls = static_cast<std::uint8_t>(k + 1);
        table['0' + k] = {cls, white};
        table['5' + k] = {cls, black};
        table['A' + k] = {cls, black_half};
    }
    return table;
}

constexpr std::array<LineCodeInfo, 256> kAlphabet = MakeAlphabet();

[[noreturn]] void RaiseModuleRange() { throw Exception(Format("%s", {"Module width out of range."})); }

void SetModuleWidths(std::int32_t modul, double ratio)
{
    // The bounds are checked before anything is rounded or doubled, so no
    // conversion or product can overflow whatever Modul and Ratio are.
    const long double wide = static_cast<long double>(modul) * ratio;
    if (std::abs(static_cast<long long>(modul)) > MaxModuleWidth || !(std::fabs(wide) <= MaxModuleWidth))
        RaiseModuleRange();
    const auto width2 = static_cast<std::int32_t>(Round(wide));
    if (std::abs(2LL * width2) > MaxModuleWidth)
        RaiseModuleRange();
    ModuleWidth1 = modul;
    ModuleWidth2 = width2;
    ModuleWidth3 = (3 * width2) / 2;
    ModuleWidth4 = 2 * width2;
}

std::string_view TrimView(std::string_view s)
{
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32)
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32)
        s.remove_suffix(1);
    return s;
}

bool SameText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

} // namespace

void MakeLineCodes(TBarType Type, const std::string& Text, std::int32_t Modul, double& Ratio, TCheckSum CheckSum,
                   std::string& Caption, std::string& LineCodes)
{
    if (IsValidBarType(Type)) {
        const double lower = kSymbologies[Type].minRatio;
        if (lower != kNoClamp) {
            if (Ratio < lower)
                Ratio = lower;
            if (Ratio > kMaxRatio)
                Ratio = kMaxRatio;
        }
    }
    SetModuleWidths(Modul, Ratio);

    const std::string_view text = TrimView(Text);
    if (!IsValidBarType(Type))
        throw Exception(Format("%s", {"Wrong barcode type."}));
    if (BCData[Type].Numeric) {
        for (char c : text)
            if (c < '0' || c > '9')
                throw Exception(Format("%s : %s", {text, "Barcode must be numeric."}));
    }
    kSymbologies[Type].encode(Type, text, CheckSum, Caption, LineCodes);
}

void DecodeLineCode(char Code, std::int32_t& Width, TBarLineType& LineType)
{
    const LineCodeInfo info = kAlphabet[static_cast<unsigned char>(Code)];
    const std::int32_t widths[5] = {0, ModuleWidth1, ModuleWidth2, ModuleWidth3, ModuleWidth4};
    if (info.widthClass == 0)
        throw Exception(Format("%s", {"Internal Error."}));
    Width = widths[info.widthClass];
    LineType = info.kind;
}

void AppendWidthsAsLineCodes(std::string_view widths, std::string& out)
{
    // Bars stand at the odd positions of the whole string, counted from 1.
    const std::size_t start = out.size();
    out.resize(start + widths.size());
    for (std::size_t i = 0; i < widths.size(); ++i)
        out[start + i] = static_cast<char>(((start + i) % 2 == 0) ? widths[i] + 4 : widths[i] - 1);
}

void WidthsToLineCodes(const std::string& Widths, std::string& LineCodes)
{
    std::string result;
    AppendWidthsAsLineCodes(Widths, result);
    LineCodes = std::move(result);
}

std::string Q_GetBarTypeName(TBarType BarType)
{
    if (!IsValidBarType(BarType))
        throw Exception(Format("%s", {"Wrong barcode type."}));
    return BCData[BarType].Name;
}

std::int32_t Q_GetBarWidth(TBarType BarType, const std::string& Text, std::int32_t Modul, double Ratio,
                           TCheckSum CheckSum)
{
    // Plain locals: a thread_local with a destructor would pin the package
    // that holds the core in memory until the thread ends, so it could never
    // be unloaded.
    std::string caption, lineCodes;
    MakeLineCodes(BarType, Text, Modul, Ratio, CheckSum, caption, lineCodes);
    const std::int64_t widths[5] = {0, ModuleWidth1, ModuleWidth2, ModuleWidth3, ModuleWidth4};
    std::int64_t width = 0;
    bool unknown = false;
    for (char c : lineCodes) {
        const std::uint8_t cls = kAlphabet[static_cast<unsigned char>(c)].widthClass;
        unknown |= cls == 0;
        width += widths[cls];
    }
    if (unknown)
        throw Exception(Format("%s", {"Internal Error."}));
    if (width > std::numeric_limits<std::int32_t>::max() || width < std::numeric_limits<std::int32_t>::min())
        RaiseModuleRange();
    return static_cast<std::int32_t>(width);
}

bool FindBarType(const std::string& Name, TBarType& Type)
{
    for (int i = 0; i < BarTypeCount; ++i) {
        const Symbology& s = kSymbologies[i];
        if (SameText(Name, s.enumName) || SameText(Name, BCData[i].Name) || SameText(Name, s.alias)) {
            Type = static_cast<TBarType>(i);
            return true;
        }
    }
    return false;
}

const char* BarTypeAlias(TBarType BarType) { return IsValidBarType(BarType) ? kSymbologies[BarType].alias : ""; }

const char* BarTypeEnumName(TBarType BarType)
{
    return IsValidBarType(BarType) ? kSymbologies[BarType].enumName : "";
}

int BarTypeQuietZone(TBarType BarType) { return IsValidBarType(BarType) ? kSymbologies[BarType].quietZone : 10; }
