// Code 93 and Code 93 Extended (full ASCII through the shift characters).
#include "bardef/bardef.h"
#include "bardef/tablecheck.h"
#include "qbarcode/sysutils.h"

#include <vector>

namespace qb {

namespace {

struct Code93Row {
    char ch;
    const char* pattern;
};

// The 47 Code 93 characters in value order, as element widths (AIM USS-93,
// the Code 93 character set table); '[', ']', '{' and '}' stand for the ($),
// (%), (/) and (+) shifts.
constexpr Code93Row kCode93[47] = {
    {'0', "131112"}, {'1', "111213"}, {'2', "111312"}, {'3', "111411"}, {'4', "121113"}, {'5', "121212"},
    {'6', "121311"}, {'7', "111114"}, {'8', "131211"}, {'9', "141111"}, {'A', "211113"}, {'B', "211212"},
    {'C', "211311"}, {'D', "221112"}, {'E', "221211"}, {'F', "231111"}, {'G', "112113"}, {'H', "112212"},
    {'I', "112311"}, {'J', "122112"}, {'K', "132111"}, {'L', "111123"}, {'M', "111222"}, {'N', "111321"},
    {'O', "121122"}, {'P', "131121"}, {'Q', "212112"}, {'R', "212211"}, {'S', "211122"}, {'T', "211221"},
    {'U', "221121"}, {'V', "222111"}, {'W', "112122"}, {'X', "112221"}, {'Y', "122121"}, {'Z', "123111"},
    {'-', "121131"}, {'.', "311112"}, {' ', "311211"}, {'$', "321111"}, {'/', "112131"}, {'+', "113121"},
    {'%', "211131"}, {'[', "121221"}, {']', "312111"}, {'{', "311121"}, {'}', "122211"},
};

constexpr const char* kStart = "111141";
constexpr const char* kStop = "1111411"; // the stop character and the termination bar

// Three bars and three spaces of 1 to 4 modules, nine modules in all.
constexpr bool CheckCode93()
{
    for (const Code93Row& row : kCode93)
        if (!tablecheck::IsWidths(row.pattern, 6) || tablecheck::WidthSum(row.pattern) != 9)
            return false;
    return tablecheck::Distinct(kCode93, [](const Code93Row& r) { return r.ch; }) &&
           tablecheck::Distinct(kCode93, [](const Code93Row& r) { return std::string_view(r.pattern); });
}
static_assert(CheckCode93());
static_assert(tablecheck::IsWidths(kStart, 6) && tablecheck::WidthSum(kStart) == 9);
static_assert(tablecheck::IsWidths(kStop, 7) && tablecheck::WidthSum(kStop) == 10);

// Full-ASCII mapping of codes 0 to 127 onto Code 93 characters (AIM USS-93,
// the full ASCII table).
// clang-format off
constexpr const char* kCode93Ext[128] = {
    "]U", "[A", "[B", "[C", "[D", "[E", "[F", "[G", "[H", "[I", "[J", "[K", "[L", "[M", "[N", "[O",
    "[P", "[Q", "[R", "[S", "[T", "[U", "[V", "[W", "[X", "[Y", "[Z", "]A", "]B", "]C", "]D", "]E",
    " ",  "{A", "{B", "{C", "{D", "{E", "{F", "{G", "{H", "{I", "{J", "{K", "{L", "{M", "{N", "{O",
    "0",  "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "{Z", "]F", "]G", "]H", "]I", "]J",
    "]V", "A",  "B",  "C",  "D",  "E",  "F",  "G",  "H",  "I",  "J",  "K",  "L",  "M",  "N",  "O",
    "P",  "Q",  "R",  "S",  "T",  "U",  "V",  "W",  "X",  "Y",  "Z",  "]K", "]L", "]M", "]N", "]O",
    "]W", "}A", "}B", "}C", "}D", "}E", "}F", "}G", "}H", "}I", "}J", "}K", "}L", "}M", "}N", "}O",
    "}P", "}Q", "}R", "}S", "}T", "}U", "}V", "}W", "}X", "}Y", "}Z", "]P", "]Q", "]R", "]S", "]T",
};
// clang-format on

constexpr bool CheckCode93Ext()
{
    for (const char* entry : kCode93Ext) {
        const std::size_t n = tablecheck::Length(entry);
        if (n < 1 || n > 2)
            return false;
        for (std::size_t i = 0; i < n; ++i) {
            bool found = false;
            for (const Code93Row& row : kCode93)
                found |= row.ch == entry[i];
            if (!found)
                return false;
        }
    }
    return true;
}
static_assert(CheckCode93Ext(), "every full-ASCII entry is one or two Code 93 characters");

} // namespace

int FindCode93Char(char Ch)
{
    for (int value = 0; value < 47; ++value)
        if (kCode93[value].ch == Ch)
            return value;
    return -1;
}

void EncodeCode93(std::string_view Text, std::string& LineCodes)
{
    // The widths are built in LineCodes itself, so a failure leaves the
    // partial width string behind, as callers of a failed request ignore it.
    LineCodes.assign(kStart);
    LineCodes.reserve(6 * Text.size() + 25);
    std::vector<int> values;
    values.reserve(Text.size());
    for (char c : Text) {
        const int value = FindCode93Char(c);
        if (value < 0)
            throw Exception(Format("%s : %s", {Text, "Code_93 bad data."}));
        LineCodes += kCode93[value].pattern;
        values.push_back(value);
    }

    std::int64_t c = 0, k = 0;
    int cWeight = 1, kWeight = 2;
    for (auto it = values.rbegin(); it != values.rend(); ++it) {
        c += *it * cWeight;
        k += *it * kWeight;
        cWeight = cWeight == 20 ? 1 : cWeight + 1;
        kWeight = kWeight == 15 ? 1 : kWeight + 1;
    }
    k += c;
    LineCodes += kCode93[c % 47].pattern;
    LineCodes += kCode93[k % 47].pattern;
    LineCodes += kStop;

    std::string widths = std::move(LineCodes);
    LineCodes.clear();
    AppendWidthsAsLineCodes(widths, LineCodes);
}

void EncodeCode93Ext(std::string_view Text, std::string& LineCodes)
{
    std::string code93;
    code93.reserve(2 * Text.size());
    for (char ch : Text) {
        const auto code = static_cast<unsigned char>(ch);
        if (code < 128)
            code93 += kCode93Ext[code];
    }
    EncodeCode93(code93, LineCodes);
}

} // namespace qb
