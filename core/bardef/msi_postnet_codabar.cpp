// MSI (with its modulo-10 check digit), PostNet and Codabar.
#include "bardef/bardef.h"
#include "qbarcode/sysutils.h"

namespace {

// MSI digits: four bits from the most significant, 0 as "51", 1 as "60".
constexpr const char* kMsi[10] = {"51515151", "51515160", "51516051", "51516060", "51605151",
                                  "51605160", "51606051", "51606060", "60515151", "60515160"};

// POSTNET digits: five bars ('5' full, 'A' half height), each with its space.
constexpr const char* kPostNet[10] = {"5151A1A1A1", "A1A1A15151", "A1A151A151", "A1A15151A1", "A151A1A151",
                                      "A151A151A1", "A15151A1A1", "51A1A1A151", "51A1A151A1", "51A151A1A1"};

struct CodabarRow {
    char ch;
    const char* pattern;
};

constexpr CodabarRow kCodabar[20] = {
    {'1', "5050615"}, {'2', "5051506"}, {'3', "6150505"}, {'4', "5060515"}, {'5', "6050515"},
    {'6', "5150506"}, {'7', "5150605"}, {'8', "5160505"}, {'9', "6051505"}, {'0', "5050516"},
    {'-', "5051605"}, {'$', "5061505"}, {':', "6050606"}, {'/', "6060506"}, {'.', "6060605"},
    {'+', "5060606"}, {'A', "5061515"}, {'B', "5151506"}, {'C', "5051516"}, {'D', "5051615"},
};

constexpr int kCodabarStart = 16; // 'A'
constexpr int kCodabarStop = 17;  // 'B'

} // namespace

int DigitSum(std::int32_t N)
{
    int sum = 0;
    for (; N > 0; N /= 10)
        sum += N % 10;
    return sum;
}

void EncodeMSI(std::string_view Text, std::string& LineCodes)
{
    LineCodes.clear();
    LineCodes.reserve(8 * Text.size() + 13);
    LineCodes += "60";
    // Digits at odd places from the right are doubled as one number; the
    // digit sum of that number is the sum of the digit sums of the doubled
    // digits, which needs no wide arithmetic.
    int total = 0;
    const std::size_t n = Text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const int digit = Text[i] - '0';
        LineCodes += kMsi[digit];
        const bool oddFromRight = (n - i) % 2 == 1;
        total += oddFromRight ? DigitSum(2 * digit) : digit;
    }
    const int r = total % 10;
    LineCodes += kMsi[r == 0 ? 0 : 10 - r];
    LineCodes += "515";
}

void EncodePostNet(std::string_view Text, std::string& LineCodes)
{
    LineCodes.clear();
    LineCodes.reserve(10 * Text.size() + 3);
    LineCodes += "51";
    for (char c : Text)
        LineCodes += kPostNet[c - '0'];
    LineCodes += '5';
}

int FindCodabarChar(char Ch)
{
    for (int row = 0; row < 20; ++row)
        if (kCodabar[row].ch == Ch)
            return row;
    return -1;
}

void EncodeCodabar(std::string_view Text, std::string& LineCodes)
{
    LineCodes.clear();
    LineCodes.reserve(8 * Text.size() + 15);
    LineCodes += kCodabar[kCodabarStart].pattern;
    LineCodes += '0';
    for (char c : Text) {
        const int row = FindCodabarChar(c);
        if (row < 0)
            throw Exception(Format("%s : %s", {Text, "Codabar bad data."}));
        LineCodes += kCodabar[row].pattern;
        LineCodes += '0';
    }
    LineCodes += kCodabar[kCodabarStop].pattern;
}
