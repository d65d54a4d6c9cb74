// MSI (with its modulo-10 check digit), PostNet and Codabar.
#include "bardef/bardef.h"
#include "bardef/tablecheck.h"
#include "qbarcode/sysutils.h"

namespace qb {

namespace {

// MSI digits (the MSI Plessey digit table): four bits from the most
// significant, 0 as "51" (narrow bar, wide space), 1 as "60" (wide bar,
// narrow space).
constexpr const char* kMsi[10] = {"51515151", "51515160", "51516051", "51516060", "51605151",
                                  "51605160", "51606051", "51606060", "60515151", "60515160"};
constexpr const char* kMsiStart = "60"; // one 1 bit
constexpr const char* kMsiStop = "515";

// The number a row's bits spell; -1 for anything but four bit pairs.
constexpr int MsiBits(const char* row)
{
    if (tablecheck::Length(row) != 8)
        return -1;
    int value = 0;
    for (int i = 0; i < 8; i += 2) {
        const bool one = row[i] == '6' && row[i + 1] == '0', zero = row[i] == '5' && row[i + 1] == '1';
        if (!one && !zero)
            return -1;
        value = 2 * value + one;
    }
    return value;
}

// POSTNET digits (USPS Publication 25, the POSTNET code table): five bars
// ('5' full, 'A' half height), each with its space; the two full bars weigh
// 7, 4, 2, 1 or 0 and add up to the digit, 7 + 4 standing for 0.
constexpr const char* kPostNet[10] = {"5151A1A1A1", "A1A1A15151", "A1A151A151", "A1A15151A1", "A151A1A151",
                                      "A151A151A1", "A15151A1A1", "51A1A1A151", "51A1A151A1", "51A151A1A1"};
constexpr const char* kPostNetStart = "51"; // a full bar and its space
constexpr const char* kPostNetStop = "5";

constexpr int PostNetDigit(const char* row)
{
    constexpr int weights[5] = {7, 4, 2, 1, 0};
    if (tablecheck::Length(row) != 10)
        return -1;
    int full = 0, sum = 0;
    for (int k = 0; k < 5; ++k) {
        if (row[2 * k + 1] != '1' || (row[2 * k] != '5' && row[2 * k] != 'A'))
            return -1;
        if (row[2 * k] == '5')
            ++full, sum += weights[k];
    }
    return full != 2 ? -1 : sum == 11 ? 0 : sum;
}

constexpr bool CheckMsiAndPostNet()
{
    for (int d = 0; d < 10; ++d)
        if (MsiBits(kMsi[d]) != d || PostNetDigit(kPostNet[d]) != d)
            return false;
    return true;
}
static_assert(CheckMsiAndPostNet(), "each MSI row spells its digit in bits, each POSTNET row weighs it");

struct CodabarRow {
    char ch;
    const char* pattern;
};

// Codabar characters (AIM USS-Codabar, the Codabar character set table).
constexpr CodabarRow kCodabar[20] = {
    {'1', "5050615"}, {'2', "5051506"}, {'3', "6150505"}, {'4', "5060515"}, {'5', "6050515"},
    {'6', "5150506"}, {'7', "5150605"}, {'8', "5160505"}, {'9', "6051505"}, {'0', "5050516"},
    {'-', "5051605"}, {'$', "5061505"}, {':', "6050606"}, {'/', "6060506"}, {'.', "6060605"},
    {'+', "5060606"}, {'A', "5061515"}, {'B', "5151506"}, {'C', "5051516"}, {'D', "5051615"},
};

constexpr int kCodabarStart = 16; // 'A'
constexpr int kCodabarStop = 17;  // 'B'
// Rows from here on are the start/stop letters A to D.
constexpr int kCodabarLetters = 16;
constexpr char kCodabarGap = '0';

// Seven narrow or wide elements from a bar: one wide bar and one wide space
// for the digits, '-' and '$'; three wide bars for ':', '/', '.' and '+'; one
// wide bar and two wide spaces for the start/stop characters A to D.
constexpr bool CheckCodabar()
{
    using namespace tablecheck;
    for (int row = 0; row < 20; ++row) {
        const char* p = kCodabar[row].pattern;
        const int bars = Wide(p, Kind::Bar), spaces = Wide(p, Kind::Space);
        const bool shape = row < 12   ? bars == 1 && spaces == 1
                           : row < 16 ? bars == 3 && spaces == 0
                                      : bars == 1 && spaces == 2;
        if (!Alternates(p, 7, true) || !shape || Modules(p) != 7 + bars + spaces)
            return false;
    }
    return kCodabar[kCodabarStart].ch == 'A' && kCodabar[kCodabarStop].ch == 'B' &&
           Distinct(kCodabar, [](const CodabarRow& r) { return r.ch; }) &&
           Distinct(kCodabar, [](const CodabarRow& r) { return std::string_view(r.pattern); });
}
static_assert(CheckCodabar());

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
    LineCodes += kMsiStart;
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
    LineCodes += kMsiStop;
}

void EncodePostNet(std::string_view Text, std::string& LineCodes)
{
    LineCodes.clear();
    LineCodes.reserve(10 * Text.size() + 3);
    LineCodes += kPostNetStart;
    for (char c : Text)
        LineCodes += kPostNet[c - '0'];
    LineCodes += kPostNetStop;
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
    // A text framed by two of the letters A to D starts and stops with them;
    // any other text gets the start A and the stop B. A letter anywhere else
    // would stand among the data, where no reader accepts it.
    int start = kCodabarStart, stop = kCodabarStop;
    std::string_view data = Text;
    if (Text.size() >= 2) {
        const int first = FindCodabarChar(Text.front()), last = FindCodabarChar(Text.back());
        if (first >= kCodabarLetters && last >= kCodabarLetters) {
            start = first;
            stop = last;
            data = Text.substr(1, Text.size() - 2);
        }
    }
    LineCodes.clear();
    LineCodes.reserve(8 * data.size() + 15);
    LineCodes += kCodabar[start].pattern;
    LineCodes += kCodabarGap;
    for (char c : data) {
        const int row = FindCodabarChar(c);
        if (row < 0 || row >= kCodabarLetters)
            throw Exception(Format("%s : %s", {Text, "Codabar bad data."}));
        LineCodes += kCodabar[row].pattern;
        LineCodes += kCodabarGap;
    }
    LineCodes += kCodabar[stop].pattern;
}

} // namespace qb
