// Code 39 and Code 39 Extended (full ASCII).
#include "bardef/bardef.h"
#include "bardef/tablecheck.h"

#include <cstring>

namespace qb {

namespace {

struct Code39Row {
    char ch;
    char pattern[10]; // nine line codes and a terminating zero byte
    std::int8_t value;
};

// The 43 data characters and the start/stop character of Code 39, with their
// check values (ISO/IEC 16388, the table of Code 39 symbol characters),
// written as line codes. '*' carries value 0 and stands after the space, so
// a search by value finds '0' first.
constexpr Code39Row kCode39[44] = {
    {'0', "505160605", 0},  {'1', "605150506", 1},  {'2', "506150506", 2},  {'3', "606150505", 3},
    {'4', "505160506", 4},  {'5', "605160505", 5},  {'6', "506160505", 6},  {'7', "505150606", 7},
    {'8', "605150605", 8},  {'9', "506150605", 9},  {'A', "605051506", 10}, {'B', "506051506", 11},
    {'C', "606051505", 12}, {'D', "505061506", 13}, {'E', "605061505", 14}, {'F', "506061505", 15},
    {'G', "505051606", 16}, {'H', "605051605", 17}, {'I', "506051605", 18}, {'J', "505061605", 19},
    {'K', "605050516", 20}, {'L', "506050516", 21}, {'M', "606050515", 22}, {'N', "505060516", 23},
    {'O', "605060515", 24}, {'P', "506060515", 25}, {'Q', "505050616", 26}, {'R', "605050615", 27},
    {'S', "506050615", 28}, {'T', "505060615", 29}, {'U', "615050506", 30}, {'V', "516050506", 31},
    {'W', "616050505", 32}, {'X', "515060506", 33}, {'Y', "615060505", 34}, {'Z', "516060505", 35},
    {'-', "515050606", 36}, {'.', "615050605", 37}, {' ', "516050605", 38}, {'*', "515060605", 0},
    {'$', "515151505", 39}, {'/', "515150515", 40}, {'+', "515051515", 41}, {'%', "505151515", 42},
};

constexpr int kStartStopRow = 39;
constexpr char kGap = '0'; // the narrow space between characters

// Nine elements from a bar, three of them wide: two bars and a space, or
// (for '$', '/', '+' and '%') three spaces; values 0 to 42, each once.
constexpr bool CheckCode39()
{
    using namespace tablecheck;
    for (int row = 0; row < 44; ++row) {
        const char* p = kCode39[row].pattern;
        const int bars = Wide(p, Kind::Bar), spaces = Wide(p, Kind::Space);
        if (!Alternates(p, 9, true) || Modules(p) != 12 || !((bars == 2 && spaces == 1) || (bars == 0 && spaces == 3)))
            return false;
        for (const char* c = p; *c; ++c)
            if (WidthClass(*c) > 2)
                return false;
        const int value = kCode39[row].value;
        if (row != kStartStopRow && (value < 0 || value > 42 || value != row - (row > kStartStopRow ? 1 : 0)))
            return false;
    }
    return kCode39[kStartStopRow].ch == '*' && kCode39[kStartStopRow].value == 0 &&
           Distinct(kCode39, [](const Code39Row& r) { return r.ch; }) &&
           Distinct(kCode39, [](const Code39Row& r) { return std::string_view(r.pattern); });
}
static_assert(CheckCode39());

// Full-ASCII mapping of codes 0 to 127 onto Code 39 characters (ISO/IEC
// 16388, the full ASCII Code 39 table).
// clang-format off
constexpr const char* kCode39Ext[128] = {
    "%U", "$A", "$B", "$C", "$D", "$E", "$F", "$G", "$H", "$I", "$J", "$K", "$L", "$M", "$N", "$O",
    "$P", "$Q", "$R", "$S", "$T", "$U", "$V", "$W", "$X", "$Y", "$Z", "%A", "%B", "%C", "%D", "%E",
    " ",  "/A", "/B", "/C", "/D", "/E", "/F", "/G", "/H", "/I", "/J", "/K", "/L", "/M", "/N", "/O",
    "0",  "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "/Z", "%F", "%G", "%H", "%I", "%J",
    "%V", "A",  "B",  "C",  "D",  "E",  "F",  "G",  "H",  "I",  "J",  "K",  "L",  "M",  "N",  "O",
    "P",  "Q",  "R",  "S",  "T",  "U",  "V",  "W",  "X",  "Y",  "Z",  "%K", "%L", "%M", "%N", "%O",
    "%W", "+A", "+B", "+C", "+D", "+E", "+F", "+G", "+H", "+I", "+J", "+K", "+L", "+M", "+N", "+O",
    "+P", "+Q", "+R", "+S", "+T", "+U", "+V", "+W", "+X", "+Y", "+Z", "%P", "%Q", "%R", "%S", "%T",
};
// clang-format on

constexpr bool CheckCode39Ext()
{
    for (const char* entry : kCode39Ext) {
        const std::size_t n = tablecheck::Length(entry);
        if (n < 1 || n > 2)
            return false;
        for (std::size_t i = 0; i < n; ++i) {
            bool found = false;
            for (const Code39Row& row : kCode39)
                found |= row.ch == entry[i] && row.ch != '*';
            if (!found)
                return false;
        }
    }
    return true;
}
static_assert(CheckCode39Ext(), "every full-ASCII entry is one or two Code 39 data characters");

void AppendCharacter(int row, std::string& out)
{
    out.append(kCode39[row].pattern, 9);
    out += kGap;
}

} // namespace

int FindCode39Char(char Ch)
{
    for (int row = 0; row < 44; ++row)
        if (kCode39[row].ch == Ch)
            return row;
    return -1;
}

void EncodeCode39(std::string_view Text, TCheckSum CheckSum, std::string& LineCodes)
{
    LineCodes.clear();
    LineCodes.reserve(10 * Text.size() + 29);
    AppendCharacter(kStartStopRow, LineCodes);
    std::int32_t sum = 0;
    for (char c : Text) {
        const int row = FindCode39Char(c);
        if (row < 0)
            continue;
        AppendCharacter(row, LineCodes);
        sum += kCode39[row].value;
    }
    if (CheckSum != csNone) {
        const int check = sum % 43;
        for (int row = 0; row < 44; ++row)
            if (kCode39[row].value == check) {
                AppendCharacter(row, LineCodes);
                break;
            }
    }
    LineCodes.append(kCode39[kStartStopRow].pattern, 9);
}

void EncodeCode39Ext(std::string_view Text, TCheckSum CheckSum, std::string& LineCodes)
{
    std::string code39;
    code39.reserve(2 * Text.size());
    for (char c : Text) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 128)
            code39 += kCode39Ext[code];
    }
    EncodeCode39(code39, CheckSum, LineCodes);
}

} // namespace qb
