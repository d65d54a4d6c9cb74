// The Code 128 symbol characters, shared by the single-set encoder and the
// shortest encoder: element widths as published and the same as line codes.
#pragma once

#include "bardef/tablecheck.h"

#include <array>

namespace qb {

namespace code128 {

// Element widths (bar, space, bar, space, bar, space) of the Code 128 symbol
// characters 0 to 105 (ISO/IEC 15417, the Code 128 character set table):
// 102 is FNC1, 103 to 105 are Start A, B and C.
// clang-format off
inline constexpr const char* kPatterns[106] = {
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

inline constexpr int kFnc1 = 102, kStartA = 103, kStartB = 104, kStartC = 105;
inline constexpr const char* kStop = "2331112"; // the stop character and the termination bar

// Six elements of 1 to 4 modules, eleven in all, the bars' modules even.
constexpr bool CheckPatterns()
{
    for (const char* w : kPatterns)
        if (!tablecheck::IsWidths(w, 6) || tablecheck::WidthSum(w) != 11 || tablecheck::WidthSum(w, 0, 2) % 2 != 0)
            return false;
    return tablecheck::DistinctStrings(kPatterns);
}
static_assert(CheckPatterns());
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

inline constexpr std::array<LineCodePattern, 106> kLineCodes = MakeLineCodePatterns();

constexpr std::array<char, 7> MakeStopLineCodes()
{
    std::array<char, 7> codes{};
    for (int i = 0; i < 7; ++i)
        codes[i] = static_cast<char>(i % 2 == 0 ? kStop[i] + 4 : kStop[i] - 1);
    return codes;
}

inline constexpr std::array<char, 7> kStopLineCodes = MakeStopLineCodes();

} // namespace code128

} // namespace qb
