// Line codes, the symbology table and the encoder dispatch.
#include "bardef/bardef.h"
#include "qbarcode/qbarcode.h"
#include "qbarcode/sysutils.h"
#include "symbol_internal.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <type_traits>

namespace qb {

#define QB_BCDATA_ROW(type, name, numeric, ...) {name, numeric},
const TBCdata BCData[BarTypeCount] = {QB_BAR_TYPES(QB_BCDATA_ROW)};
#undef QB_BCDATA_ROW

// Per thread, and plain integers: a thread_local with a destructor would pin
// the package that holds the core in memory until the thread ends, so it
// could never be unloaded.
thread_local constinit std::int32_t ModuleWidth1 = 0, ModuleWidth2 = 0, ModuleWidth3 = 0, ModuleWidth4 = 0;

namespace {

using Encoder = void (*)(TBarType, std::string_view, TCheckSum, std::string&, std::string&);

// Calls an encoder with the arguments it takes, out of the full set the
// dispatch has: the type (Code 128 only), the text, the check-sum choice, the
// caption and the line codes.
template <auto Encode>
void Dispatch(TBarType type, std::string_view text, TCheckSum checkSum, std::string& caption, std::string& lineCodes)
{
    using F = decltype(Encode);
    if constexpr (std::is_invocable_v<F, std::string_view, std::string&>)
        Encode(text, lineCodes);
    else if constexpr (std::is_invocable_v<F, std::string_view, TCheckSum, std::string&>)
        Encode(text, checkSum, lineCodes);
    else if constexpr (std::is_invocable_v<F, std::string_view, TCheckSum, std::string&, std::string&>)
        Encode(text, checkSum, caption, lineCodes);
    else
        Encode(type, text, checkSum, caption, lineCodes);
}

// What the dispatch and the command line need per symbology besides BCData.
struct Symbology {
    const char* enumName;
    const char* alias;
    double minRatio; // 0: not clamped
    int quietZone;
    Encoder encode;
};

#define QB_SYMBOLOGY_ROW(type, name, numeric, alias, minRatio, quietZone, encoder)                                     \
    {#type, alias, minRatio, quietZone, &Dispatch<&encoder>},
constexpr Symbology kSymbologies[BarTypeCount] = {QB_BAR_TYPES(QB_SYMBOLOGY_ROW)};
#undef QB_SYMBOLOGY_ROW

constexpr double kNoClamp = 0.0;
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

[[noreturn]] void RaiseModuleRange()
{
    throw Exception(Format("%s", {"Module width out of range."}));
}

qb::ModuleWidths WidthsFor(std::int32_t modul, double ratio)
{
    // The bounds are checked before anything is rounded or doubled, so no
    // conversion or product can overflow whatever Modul and Ratio are.
    const long double wide = static_cast<long double>(modul) * ratio;
    if (std::abs(static_cast<long long>(modul)) > MaxModuleWidth || !(std::fabs(wide) <= MaxModuleWidth))
        RaiseModuleRange();
    const auto width2 = static_cast<std::int32_t>(Round(wide));
    if (std::abs(2LL * width2) > MaxModuleWidth)
        RaiseModuleRange();
    return {modul, width2, (3 * width2) / 2, 2 * width2};
}

void SetThreadWidths(const qb::ModuleWidths& widths)
{
    ModuleWidth1 = widths[0];
    ModuleWidth2 = widths[1];
    ModuleWidth3 = widths[2];
    ModuleWidth4 = widths[3];
}

double ClampedRatio(TBarType type, double ratio)
{
    if (!IsValidBarType(type))
        return ratio;
    const double lower = kSymbologies[type].minRatio;
    if (lower == kNoClamp)
        return ratio;
    if (ratio < lower)
        ratio = lower;
    return ratio > kMaxRatio ? kMaxRatio : ratio;
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

// Trims, checks and encodes the text (the steps of MakeLineCodes after the
// module widths).
void EncodeText(TBarType type, const std::string& text, TCheckSum checkSum, std::string& caption,
                std::string& lineCodes)
{
    const std::string_view trimmed = TrimView(text);
    if (!IsValidBarType(type))
        throw Exception(Format("%s", {"Wrong barcode type."}));
    if (BCData[type].Numeric) {
        for (char c : trimmed)
            if (c < '0' || c > '9')
                throw Exception(Format("%s : %s", {trimmed, "Barcode must be numeric."}));
    }
    kSymbologies[type].encode(type, trimmed, checkSum, caption, lineCodes);
}

[[noreturn]] void RaiseNotALineCode()
{
    throw Exception(Format("%s", {"Internal Error."}));
}

// The sum of the elements' widths, in 64 bits so that no symbol wraps.
std::int32_t MeasureLineCodes(const std::string& lineCodes, const qb::ModuleWidths& widths)
{
    const std::int64_t byClass[5] = {0, widths[0], widths[1], widths[2], widths[3]};
    std::int64_t width = 0;
    bool unknown = false;
    for (char c : lineCodes) {
        const std::uint8_t cls = kAlphabet[static_cast<unsigned char>(c)].widthClass;
        unknown |= cls == 0;
        width += byClass[cls];
    }
    if (unknown)
        RaiseNotALineCode();
    if (width > std::numeric_limits<std::int32_t>::max() || width < std::numeric_limits<std::int32_t>::min())
        RaiseModuleRange();
    return static_cast<std::int32_t>(width);
}

qb::EncodedSymbol Encode(TBarType type, const std::string& text, std::int32_t modul, double ratio, TCheckSum checkSum,
                         bool setThreadWidths)
{
    qb::EncodedSymbol symbol;
    symbol.Ratio = ClampedRatio(type, ratio);
    symbol.Widths = WidthsFor(modul, symbol.Ratio);
    if (setThreadWidths)
        SetThreadWidths(symbol.Widths);
    symbol.Caption = text;
    EncodeText(type, text, checkSum, symbol.Caption, symbol.LineCodes);
    symbol.TypeName = BCData[type].Name;
    symbol.BarWidth = MeasureLineCodes(symbol.LineCodes, symbol.Widths);
    return symbol;
}

} // namespace

void MakeLineCodes(TBarType Type, const std::string& Text, std::int32_t Modul, double& Ratio, TCheckSum CheckSum,
                   std::string& Caption, std::string& LineCodes)
{
    Ratio = ClampedRatio(Type, Ratio);
    SetThreadWidths(WidthsFor(Modul, Ratio));
    EncodeText(Type, Text, CheckSum, Caption, LineCodes);
}

void DecodeLineCode(char Code, std::int32_t& Width, TBarLineType& LineType)
{
    qb::DecodeLineCode(Code, {ModuleWidth1, ModuleWidth2, ModuleWidth3, ModuleWidth4}, Width, LineType);
}

void DecodeLineCode(char Code, const ModuleWidths& Widths, std::int32_t& Width, TBarLineType& LineType)
{
    const LineCodeInfo info = kAlphabet[static_cast<unsigned char>(Code)];
    if (info.widthClass == 0)
        RaiseNotALineCode();
    Width = Widths[info.widthClass - 1];
    LineType = info.kind;
}

EncodedSymbol EncodeSymbol(TBarType BarType, const std::string& Text, std::int32_t Modul, double Ratio,
                           TCheckSum CheckSum)
{
    return Encode(BarType, Text, Modul, Ratio, CheckSum, false);
}

EncodedSymbol MakeSymbol(std::string LineCodes, std::string Caption, std::string_view TypeName, std::int32_t Modul,
                         double Ratio)
{
    EncodedSymbol symbol;
    symbol.Ratio = Ratio;
    symbol.Widths = WidthsFor(Modul, Ratio);
    symbol.BarWidth = MeasureLineCodes(LineCodes, symbol.Widths);
    symbol.LineCodes = std::move(LineCodes);
    symbol.Caption = std::move(Caption);
    symbol.TypeName = TypeName;
    return symbol;
}

EncodedSymbol detail::EncodeSettingWidths(TBarType BarType, const std::string& Text, std::int32_t Modul, double Ratio,
                                          TCheckSum CheckSum)
{
    return Encode(BarType, Text, Modul, Ratio, CheckSum, true);
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
    return qb::detail::EncodeSettingWidths(BarType, Text, Modul, Ratio, CheckSum).BarWidth;
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

const char* BarTypeAlias(TBarType BarType)
{
    return IsValidBarType(BarType) ? kSymbologies[BarType].alias : "";
}

const char* BarTypeEnumName(TBarType BarType)
{
    return IsValidBarType(BarType) ? kSymbologies[BarType].enumName : "";
}

int BarTypeQuietZone(TBarType BarType)
{
    return IsValidBarType(BarType) ? kSymbologies[BarType].quietZone : 10;
}

} // namespace qb
