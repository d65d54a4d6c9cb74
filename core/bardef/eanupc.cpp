// EAN-8, EAN-13, UPC-A, UPC-E0, UPC-E1 and the 2- and 5-digit supplements,
// with the digit-string routines they share with EAN-128.
#include "bardef/bardef.h"
#include "bardef/tablecheck.h"
#include "qbarcode/sysutils.h"

#include <algorithm>

namespace qb {

namespace {

// Number sets A, B and C of ISO/IEC 15420 (the table of number sets) as line
// codes; A and B run space, bar, space, bar, C runs bar, space, bar, space.
constexpr const char* kSetA[10] = {"2605", "1615", "1516", "0805", "0526", "0625", "0508", "0706", "0607", "2506"};
constexpr const char* kSetB[10] = {"0517", "0616", "1606", "0535", "1705", "0715", "3505", "1525", "2515", "1507"};
constexpr const char* kSetC[10] = {"7150", "6160", "6061", "5350", "5071", "5170", "5053", "5251", "5152", "7051"};

// Seven modules each; set A has an odd number of bar modules, B and C an even
// one; C is A with bars and spaces exchanged, B is C read backwards.
constexpr bool CheckNumberSets()
{
    using namespace tablecheck;
    for (int d = 0; d < 10; ++d) {
        const char *a = kSetA[d], *b = kSetB[d], *c = kSetC[d];
        if (!Alternates(a, 4, false) || !Alternates(b, 4, false) || !Alternates(c, 4, true))
            return false;
        if (Modules(a) != 7 || Modules(b) != 7 || Modules(c) != 7 || Modules(a, Kind::Bar) % 2 != 1 ||
            Modules(b, Kind::Bar) % 2 != 0)
            return false;
        for (int i = 0; i < 4; ++i)
            if (WidthClass(c[i]) != WidthClass(a[i]) || b[i] != c[3 - i])
                return false;
    }
    return DistinctStrings(kSetA) && DistinctStrings(kSetB);
}
static_assert(CheckNumberSets());

// Left-half sets of EAN-13, selected by the first (undrawn) digit (ISO/IEC
// 15420, the table of number sets for the left half of EAN-13).
constexpr const char* kEan13Parity[10] = {"AAAAAA", "AABABB", "AABBAB", "AABBBA", "ABAABB",
                                          "ABBAAB", "ABBBAA", "ABABAB", "ABABBA", "ABBABA"};

// UPC-E parity rows ('E' even, 'o' odd) selected by the check digit (ISO/IEC
// 15420, the UPC-E parity table); the 5-digit supplement uses letters 2 to 6
// of the same rows.
constexpr const char* kUpcEParity[10] = {"EEEooo", "EEoEoo", "EEooEo", "EEoooE", "EoEEoo",
                                         "EooEEo", "EoooEE", "EoEoEo", "EoEooE", "EooEoE"};

// 2-digit supplement parity by value modulo 4.
constexpr const char* kSupp2Parity[4] = {"oo", "oE", "Eo", "EE"};

constexpr int Count(const char* s, char c)
{
    int n = 0;
    for (; *s; ++s)
        n += *s == c;
    return n;
}

// EAN-13 rows start with set A and, but for 0, hold three of set B; UPC-E rows
// hold three even letters, and for digits 1 to 9 follow the EAN-13 row of the
// same digit (A odd, B even). The 2-digit supplement's rows are the value's
// two bits, 1 even.
constexpr bool CheckParityTables()
{
    for (int d = 0; d < 10; ++d) {
        const char *ean = kEan13Parity[d], *upc = kUpcEParity[d];
        if (tablecheck::Length(ean) != 6 || tablecheck::Length(upc) != 6 || ean[0] != 'A' ||
            Count(ean, 'A') + Count(ean, 'B') != 6 || Count(ean, 'B') != (d == 0 ? 0 : 3) || Count(upc, 'E') != 3 ||
            Count(upc, 'o') != 3)
            return false;
        for (int i = 0; d > 0 && i < 6; ++i)
            if ((ean[i] == 'B') != (upc[i] == 'o'))
                return false;
    }
    for (int v = 0; v < 4; ++v)
        if (kSupp2Parity[v][0] != (v & 2 ? 'E' : 'o') || kSupp2Parity[v][1] != (v & 1 ? 'E' : 'o'))
            return false;
    return tablecheck::DistinctStrings(kEan13Parity) && tablecheck::DistinctStrings(kUpcEParity);
}
static_assert(CheckParityTables());

constexpr const char* kGuard = "505";
constexpr const char* kCentre = "05050";
constexpr const char* kUpcEEnd = "050505";
constexpr const char* kSuppStart = "506";
constexpr const char* kSuppGap = "05";
static_assert(tablecheck::Alternates(kGuard, 3, true) && tablecheck::Alternates(kCentre, 5, false));
static_assert(tablecheck::Alternates(kUpcEEnd, 6, false) && tablecheck::Alternates(kSuppStart, 3, true));

// Raises the framework's conversion error for a character that is no digit.
[[noreturn, gnu::noinline]] void RaiseNotADigit(char c)
{
    StrToInt(std::string(1, c));
    throw EConvertError("'" + std::string(1, c) + "' is not a valid integer value");
}

inline int DigitValue(char c)
{
    const unsigned v = static_cast<unsigned char>(c) - '0';
    if (v > 9)
        RaiseNotADigit(c);
    return static_cast<int>(v);
}

// Appends the four line codes of a digit; the caller has reserved room.
inline void AppendDigit(const char* const set[10], char digit, std::string& out)
{
    out.append(set[DigitValue(digit)], 4);
}

// The UPC-A number (11 digits, before its check digit) that six UPC-E digits
// stand for, by the rule of the sixth digit.
std::string ExpandUpcE(char numberSystem, std::string_view d)
{
    std::string out(1, numberSystem);
    switch (d[5]) {
    case '0':
    case '1':
    case '2':
        out.append(d.substr(0, 2)).append(1, d[5]).append("0000").append(d.substr(2, 3));
        break;
    case '3':
        out.append(d.substr(0, 3)).append("00000").append(d.substr(3, 2));
        break;
    case '4':
        out.append(d.substr(0, 4)).append("00000").append(1, d[4]);
        break;
    default:
        out.append(d.substr(0, 5)).append("0000").append(1, d[5]);
        break;
    }
    return out;
}

void EncodeUpcE(std::string_view Text, TCheckSum CheckSum, std::string& Caption, std::string& LineCodes,
                char numberSystem, const char* const evenSet[10], const char* const oddSet[10])
{
    // Under csModulo10 a text short of seven digits is a number without its
    // check digit: padded to six, it gets one. A full-length or longer text
    // keeps its first six digits, followed by the computed check digit.
    std::string d(Text);
    PadLeftZeros(CheckSum == csModulo10 && d.size() < 7 ? 6 : 7, d, d);
    if (CheckSum == csModulo10) {
        // The check digit is that of the UPC-A number the symbol expands to.
        std::string expanded;
        AppendMod10(ExpandUpcE(numberSystem, d), expanded);
        d.resize(6);
        d += expanded.back();
        Caption = d;
    }
    const char* parity = kUpcEParity[DigitValue(d[6])];
    LineCodes.assign(kGuard);
    for (int i = 0; i < 6; ++i)
        AppendDigit(parity[i] == 'E' ? evenSet : oddSet, d[i], LineCodes);
    LineCodes += kUpcEEnd;
}

// EAN-8, EAN-13 and UPC-A: guard, the left digits in set A or B as `parity`
// says, centre, the right digits in set C, guard.
void AppendGuardedHalves(std::string_view left, const char* parity, std::string_view right, std::string& LineCodes)
{
    LineCodes.clear();
    LineCodes.reserve(11 + 4 * (left.size() + right.size()));
    LineCodes += kGuard;
    for (std::size_t i = 0; i < left.size(); ++i)
        AppendDigit(parity[i] == 'A' ? kSetA : kSetB, left[i], LineCodes);
    LineCodes += kCentre;
    for (char digit : right)
        AppendDigit(kSetC, digit, LineCodes);
    LineCodes += kGuard;
}

void EncodeSupplement(std::string_view digits, const char* parity, std::string& LineCodes)
{
    LineCodes.assign(kSuppStart);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0)
            LineCodes += kSuppGap;
        AppendDigit(parity[i] == 'E' ? kSetB : kSetA, digits[i], LineCodes);
    }
}

} // namespace

void PadLeftZeros(std::uint8_t Length, const std::string& Digits, std::string& Result)
{
    if (Digits.size() >= Length) {
        Result = Digits;
        return;
    }
    if (&Result == &Digits) {
        Result.insert(0, Length - Digits.size(), '0');
        return;
    }
    Result.assign(Length - Digits.size(), '0');
    Result += Digits;
}

void AppendMod10(const std::string& Digits, std::string& Result)
{
    // Weights 3, 1, 3, ... from the rightmost digit; read from the left so
    // that a conversion error names the first character that is no digit.
    std::int64_t sum = 0;
    int weight = Digits.size() % 2 == 1 ? 3 : 1;
    for (char c : Digits) {
        sum += DigitValue(c) * weight;
        weight ^= 2; // 3, 1, 3, ...
    }
    const int r = static_cast<int>(sum % 10);
    const char check = static_cast<char>('0' + (r == 0 ? 0 : 10 - r));
    if (&Result != &Digits)
        Result = Digits;
    Result += check;
}

void ApplyCheckSum(TCheckSum CheckSum, const std::string& Digits, std::string& Result)
{
    if (CheckSum == csModulo10)
        AppendMod10(Digits, Result);
    else
        Result = Digits;
}

void ReplaceSupp5Check(const std::string& Digits, std::string& Result)
{
    std::string out = Digits.substr(0, Digits.empty() ? 0 : Digits.size() - 1);
    std::int64_t sum = 0;
    int weight = 3;
    for (auto it = out.rbegin(); it != out.rend(); ++it) {
        sum += DigitValue(*it) * weight;
        weight = 12 - weight;
    }
    out += static_cast<char>('0' + sum % 10);
    Result = std::move(out);
}

void EncodeEAN8(std::string_view Text, TCheckSum CheckSum, std::string& LineCodes)
{
    std::string d(Text);
    if (CheckSum == csModulo10) {
        // A longer text keeps its first seven digits, as UPC-A keeps its
        // first eleven, so that no other valid-looking number is drawn.
        d.resize(std::min<std::size_t>(d.size(), 7));
        PadLeftZeros(7, d, d);
        ApplyCheckSum(CheckSum, d, d);
    } else {
        PadLeftZeros(8, d, d);
    }
    QB_ASSERT(d.size() == 8, "EAN8 : Invalid barcode length.");
    AppendGuardedHalves(std::string_view(d).substr(0, 4), "AAAA", std::string_view(d).substr(4, 4), LineCodes);
}

void EncodeEAN13(std::string_view Text, TCheckSum CheckSum, std::string& LineCodes)
{
    std::string d(Text);
    if (CheckSum == csModulo10) {
        PadLeftZeros(12, d, d);
        ApplyCheckSum(CheckSum, d, d);
    } else {
        PadLeftZeros(13, d, d);
    }
    QB_ASSERT(d.size() == 13, "EAN13 : Invalid barcode length.");
    // The first digit is not drawn: it selects the sets of the left half.
    AppendGuardedHalves(std::string_view(d).substr(1, 6), kEan13Parity[DigitValue(d[0])],
                        std::string_view(d).substr(7, 6), LineCodes);
}

void EncodeUPCA(std::string_view Text, TCheckSum CheckSum, std::string& Caption, std::string& LineCodes)
{
    // Under csModulo10 a text short of twelve digits is padded to eleven and
    // gets its check digit appended, as EAN-13 does with twelve; a full-length
    // or longer text keeps its first eleven digits and the computed check digit.
    std::string d(Text);
    PadLeftZeros(CheckSum == csModulo10 && d.size() < 12 ? 11 : 12, d, d);
    if (CheckSum == csModulo10) {
        ApplyCheckSum(CheckSum, d.substr(0, 11), d);
        Caption = d;
    }
    AppendGuardedHalves(std::string_view(d).substr(0, 6), "AAAAAA", std::string_view(d).substr(6, 6), LineCodes);
}

void EncodeUPCE0(std::string_view Text, TCheckSum CheckSum, std::string& Caption, std::string& LineCodes)
{
    EncodeUpcE(Text, CheckSum, Caption, LineCodes, '0', kSetB, kSetA);
}

void EncodeUPCE1(std::string_view Text, TCheckSum CheckSum, std::string& Caption, std::string& LineCodes)
{
    EncodeUpcE(Text, CheckSum, Caption, LineCodes, '1', kSetA, kSetB);
}

void EncodeUPCSupp5(std::string_view Text, TCheckSum CheckSum, std::string& Caption, std::string& LineCodes)
{
    std::string p(Text), q;
    PadLeftZeros(5, p, p);
    ReplaceSupp5Check(p.substr(0, 5) + "0", q);
    if (CheckSum == csModulo10)
        Caption = q;
    EncodeSupplement(std::string_view(p).substr(0, 5), kUpcEParity[q[5] - '0'] + 1, LineCodes);
}

void EncodeUPCSupp2(std::string_view Text, TCheckSum CheckSum, std::string& Caption, std::string& LineCodes)
{
    std::string p(Text), q;
    PadLeftZeros(2, p, p);
    // The parity comes from the two digits drawn, whatever follows them.
    const int value = DigitValue(p[0]) * 10 + DigitValue(p[1]);
    ReplaceSupp5Check(p.substr(0, 5) + "0", q);
    if (CheckSum == csModulo10)
        Caption = q;
    EncodeSupplement(std::string_view(p).substr(0, 2), kSupp2Parity[value % 4], LineCodes);
}

char EanUpcCheckDigit(TBarType Type, const std::string& Digits)
{
    std::string number;
    switch (Type) {
    case bcCodeUPC_E0:
    case bcCodeUPC_E1:
        if (Digits.size() != 6)
            throw Exception(Format("%s : %s", {Digits, "Invalid barcode length."}));
        AppendMod10(ExpandUpcE(Type == bcCodeUPC_E0 ? '0' : '1', Digits), number);
        break;
    case bcCodeEAN8:
    case bcCodeEAN13:
    case bcCodeUPC_A:
        AppendMod10(Digits, number);
        break;
    default:
        throw Exception(Format("%s", {"Wrong barcode type."}));
    }
    return number.back();
}

} // namespace qb
