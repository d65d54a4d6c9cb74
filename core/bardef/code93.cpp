// Code 93 and Code 93 Extended (full ASCII through the shift characters).
#include "bardef/bardef.h"
#include "qbarcode/sysutils.h"

#include <vector>

namespace {

struct Code93Row {
    char ch;
    const char* pattern;
};

// The 47 Code 93 characters in value order; '[', ']', '{' and '}' stand for
// the ($), (%), (/) and (+) shifts.
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
constexpr const char* kStop = "1111411";

// Full-ASCII mapping of codes 0 to 127 onto Code 93 characters.
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
