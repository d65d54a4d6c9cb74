// Code 128 A, B, C and EAN-128 A, B, C, each symbol in one code set.
#include "bardef/bardef.h"
#include "bardef/tablecheck.h"

#include <array>

namespace {

// Element widths (bar, space, bar, space, bar, space) of the Code 128 symbol
// characters 0 to 105 (ISO/IEC 15417, the Code 128 character set table):
// 102 is FNC1, 103 to 105 are Start A, B and C.
// clang-format off
constexpr const char* kPatterns[106] = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212", "221213",
    "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221", "223211", "221132",
    "221231", "213212", "223112", "312131", "311222", "321122", "321221", "312212", "322112", "322211",
    "212123", "212321", "232121", "111323", "131123", "131321", "112313", "132113", "132311", "211313",
    "231113", "231311", "112133", "112331", "132131", "113123", "113321", "133121", "313121", "211331",
    "231131", "213113", "213311", "213131", "311123", "311321", "331121", "312113", "312311", "332111",
    "314111", "221411", "431111", "111224", "111422", "121124", "121421", "141122", "141221", "112214",
    "112412", "122114", "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111",
    "111242", "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311", "113141",
    "114131", "311141", "411131", "211412", "211214", "211232",
};
// clang-format on

constexpr int kFnc1 = 102, kStartA = 103, kStartB = 104, kStartC = 105;
constexpr const char* kStop = "2331112"; // the stop character and the termination bar

// Six elements of 1 to 4 modules, eleven in all, the bars' modules even.
constexpr bool CheckCode128()
{
    for (const char* w : kPatterns)
        if (!tablecheck::IsWidths(w, 6) || tablecheck::WidthSum(w) != 11 || tablecheck::WidthSum(w, 0, 2) % 2 != 0)
            return false;
    return tablecheck::DistinctStrings(kPatterns);
}
static_assert(CheckCode128());
static_assert(tablecheck::IsWidths(kStop, 7) && tablecheck::WidthSum(kStop) == 13);

// The same characters as line codes: every symbol character starts with a
// bar, so its line codes do not depend on where it stands in the symbol.
struct LineCodePattern {
    char codes[6];
};

constexpr std::array<LineCodePattern, 106> MakeLineCodePatterns()
{
    std::array<LineCodePattern, 106> table{};
    for (std::size_t v = 0; v < table.size(); ++v)
        for (int i = 0; i < 6; ++i)
            table[v].codes[i] = static_cast<char>(i % 2 == 0 ? kPatterns[v][i] + 4 : kPatterns[v][i] - 1);
    return table;
}

constexpr std::array<LineCodePattern, 106> kLineCodes = MakeLineCodePatterns();

constexpr std::array<char, 7> MakeStopLineCodes()
{
    std::array<char, 7> codes{};
    for (int i = 0; i < 7; ++i)
        codes[i] = static_cast<char>(i % 2 == 0 ? kStop[i] + 4 : kStop[i] - 1);
    return codes;
}

constexpr std::array<char, 7> kStopLineCodes = MakeStopLineCodes();

enum class CodeSet { A, B, C };

CodeSet SetOf(TBarType type)
{
    switch (type) {
    case bcCode128A:
    case bcCodeEAN128A:
        return CodeSet::A;
    case bcCode128B:
    case bcCodeEAN128B:
        return CodeSet::B;
    default:
        return CodeSet::C;
    }
}

bool IsEan128(TBarType type)
{
    return type == bcCodeEAN128A || type == bcCodeEAN128B || type == bcCodeEAN128C;
}

// The value of a character in code set A (codes 32 to 95) or B (32 to 126);
// a character the set lacks is encoded as a space.
int CharValue(CodeSet set, char c)
{
    const auto code = static_cast<unsigned char>(c);
    const unsigned last = set == CodeSet::A ? 95 : 126;
    return (code >= 32 && code <= last) ? code - 32 : 0;
}

int PairValue(char high, char low)
{
    if (high < '0' || high > '9' || low < '0' || low > '9')
        return 0;
    return (high - '0') * 10 + (low - '0');
}

} // namespace

void EncodeCode128(TBarType Type, std::string_view Text, TCheckSum CheckSum, std::string& Caption,
                   std::string& LineCodes)
{
    const CodeSet set = SetOf(Type);
    // The data encoded: the text, with the EAN-128 check digit and the code
    // set C padding when they apply.
    std::string owned;
    std::string_view data = Text;
    if (IsEan128(Type) && CheckSum == csModulo10) {
        owned.assign(Text);
        ApplyCheckSum(CheckSum, owned, owned);
        data = owned;
    }
    if (set == CodeSet::C && data.size() % 2 != 0) {
        std::string padded(1, '0');
        padded += data;
        owned = std::move(padded);
        data = owned;
    }

    LineCodes.clear();
    LineCodes.reserve(6 * (data.size() + 4) + 7);
    const int start = set == CodeSet::A ? kStartA : set == CodeSet::B ? kStartB : kStartC;
    LineCodes.append(kLineCodes[start].codes, 6);
    std::int64_t sum = start;
    std::int64_t weight = 1;
    auto append = [&](int value) {
        LineCodes.append(kLineCodes[value].codes, 6);
        sum += value * weight;
        ++weight;
    };
    if (IsEan128(Type))
        append(kFnc1);
    if (set == CodeSet::C) {
        for (std::size_t i = 0; i + 1 < data.size(); i += 2)
            append(PairValue(data[i], data[i + 1]));
    } else {
        for (char c : data)
            append(CharValue(set, c));
    }
    LineCodes.append(kLineCodes[sum % 103].codes, 6);
    LineCodes.append(kStopLineCodes.data(), kStopLineCodes.size());
    Caption.assign(data);
}
