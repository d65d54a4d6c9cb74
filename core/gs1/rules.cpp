// The content rules of GS1 data (as GS1 publishes them: the
// character sets of section 7.11 and the check digit and date rules of
// section 7), applied one component at a time.
#include "gs1/rules.h"

#include "gs1/codelists.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace qb {

namespace gs1 {
namespace {

// CSET 82 in the order of its character values (used by the check character
// pair), CSET 39 and the URL-safe base 64 set.
constexpr std::string_view kCset82 =
    "!\"%&'()*+,-./0123456789:;<=>?ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz";
constexpr std::string_view kCset39 = "#-/0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr std::string_view kCset64 = "-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz";
// The 32 characters of a check character pair.
constexpr std::string_view kCset32 = "23456789ABCDEFGHJKLMNPQRSTUVWXYZ";
static_assert(kCset82.size() == 82 && kCset39.size() == 39 && kCset64.size() == 64 && kCset32.size() == 32);

using CharTable = std::array<bool, 256>;

constexpr CharTable MakeTable(std::string_view chars)
{
    CharTable t{};
    for (char c : chars)
        t[static_cast<unsigned char>(c)] = true;
    return t;
}

constexpr CharTable kNumericTable = MakeTable("0123456789");
constexpr CharTable kCset82Table = MakeTable(kCset82);
constexpr CharTable kCset39Table = MakeTable(kCset39);
constexpr CharTable kCset64Table = MakeTable(kCset64);

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool AllDigits(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), IsDigit);
}

// The number written by the digits of s (all digits, at most 18 of them).
std::int64_t Number(std::string_view s)
{
    std::int64_t n = 0;
    for (char c : s)
        n = n * 10 + (c - '0');
    return n;
}

std::string Is(std::string_view value, const char* what)
{
    return std::string(value) + " is not " + what;
}

// The GS1 modulo-10 check digit of the digits before the last one: weights 3,
// 1, 3, ... from the right.
int CheckDigit(std::string_view digits)
{
    int sum = 0, weight = 3;
    for (std::size_t i = digits.size(); i-- > 0;) {
        sum += (digits[i] - '0') * weight;
        weight = 4 - weight;
    }
    return (10 - sum % 10) % 10;
}

// The GS1 check character pair of the characters before the last two: their
// CSET 82 values weighted by the primes from 2 (at the rightmost) up, summed
// modulo 1021, written as two CSET 32 characters.
std::string CheckPair(std::string_view data)
{
    constexpr int kPrimes[] = {2,  3,  5,  7,  11, 13, 17, 19, 23, 29, 31, 37,
                               41, 43, 47, 53, 59, 61, 67, 71, 73, 79, 83, 89};
    int sum = 0;
    for (std::size_t i = 0; i < data.size() && i < std::size(kPrimes); ++i)
        sum += static_cast<int>(kCset82.find(data[data.size() - 1 - i])) * kPrimes[i];
    sum %= 1021;
    return {kCset32[static_cast<std::size_t>(sum >> 5)], kCset32[static_cast<std::size_t>(sum & 31)]};
}

int DaysInMonth(int month, bool leap)
{
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// YYMMDD or YYYYMMDD. A two-digit year falls in a window around today's
// (GS1's rule), which holds only century years divisible by 400 before 2051:
// so every year divisible by 4 is a leap year.
bool IsDate(std::string_view value, bool dayZeroAllowed)
{
    const std::size_t y = value.size() - 4;
    const int year = static_cast<int>(Number(value.substr(0, y)));
    const int month = static_cast<int>(Number(value.substr(y, 2)));
    const int day = static_cast<int>(Number(value.substr(y + 2, 2)));
    if (month < 1 || month > 12)
        return false;
    const bool leap = y == 2 ? year % 4 == 0 : (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return (day == 0 && dayZeroAllowed) || (day >= 1 && day <= DaysInMonth(month, leap));
}

// ISO 13616: two capitals naming a country, two check digits, then capitals
// and digits; moved to the end, the first four characters make the whole
// number (letters as 10 to 35) equal to 1 modulo 97.
bool IsIban(std::string_view v)
{
    if (v.size() < 5 || !IsCountryAlpha2(v.substr(0, 2)) || !AllDigits(v.substr(2, 2)))
        return false;
    int rest = 0;
    for (std::size_t k = 0; k < v.size(); ++k) {
        const char c = v[(k + 4) % v.size()];
        if (IsDigit(c))
            rest = (rest * 10 + (c - '0')) % 97;
        else if (c >= 'A' && c <= 'Z')
            rest = (rest * 100 + (c - 'A' + 10)) % 97;
        else
            return false;
    }
    return rest == 1;
}

std::string CompanyPrefix(std::string_view value, std::size_t position)
{
    constexpr std::size_t kShortestPrefix = 4;
    const std::size_t start = position - 1;
    if (value.size() >= start + kShortestPrefix && AllDigits(value.substr(start, kShortestPrefix)))
        return {};
    return "no GS1 Company Prefix at position " + std::to_string(position);
}

} // namespace

int FirstBadCharacter(Charset charset, std::string_view value)
{
    const CharTable& table = charset == Charset::Numeric  ? kNumericTable
                             : charset == Charset::Cset82 ? kCset82Table
                             : charset == Charset::Cset39 ? kCset39Table
                                                          : kCset64Table;
    // Base 64 data may end in up to two '=' of padding.
    std::size_t end = value.size();
    if (charset == Charset::Cset64)
        for (int pad = 0; pad < 2 && end > 0 && value[end - 1] == '='; ++pad)
            --end;
    for (std::size_t i = 0; i < end; ++i)
        if (!table[static_cast<unsigned char>(value[i])])
            return static_cast<int>(i);
    return -1;
}

std::string CharacterNotAllowed(char c)
{
    const auto code = static_cast<unsigned char>(c);
    if ((code >= 32 && code < 127) || code >= 160)
        return std::string("character '") + c + "' not allowed";
    constexpr char kHex[] = "0123456789ABCDEF";
    return std::string("character 0x") + kHex[code >> 4] + kHex[code & 15] + " not allowed";
}

std::string CharacterNotAllowed(std::string_view value, std::size_t at)
{
    // The length of the well-formed UTF-8 character of two to four bytes at
    // `at` (no overlong forms, surrogates or code points beyond U+10FFFF),
    // or 0: text given in UTF-8 gets its character quoted whole.
    const auto byte = [&](std::size_t i) { return i < value.size() ? static_cast<unsigned char>(value[i]) : 0; };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3, lo = lead == 0xE0 ? 0xA0 : 0x80, hi = lead == 0xED ? 0x9F : 0xBF;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4, lo = lead == 0xF0 ? 0x90 : 0x80, hi = lead == 0xF4 ? 0x8F : 0xBF;
    for (std::size_t k = 1; k < length; ++k)
        if (byte(at + k) < (k == 1 ? lo : 0x80) || byte(at + k) > (k == 1 ? hi : 0xBF))
            length = 0;
    if (length == 0)
        return CharacterNotAllowed(value[at]);
    return "character '" + std::string(value.substr(at, length)) + "' not allowed";
}

std::string BreaksRule(Linter linter, std::string_view v)
{
    switch (linter) {
    case Linter::Csum: {
        const int digit = CheckDigit(v.substr(0, v.size() - 1));
        if (v.back() - '0' != digit)
            return "check digit should be " + std::to_string(digit);
        return {};
    }
    case Linter::CsumAlpha: {
        if (v.size() < 3)
            return "too short for its check characters";
        const std::string_view data = v.substr(0, v.size() - 2);
        const std::size_t bad = data.find_first_not_of(kCset82);
        if (bad != std::string_view::npos)
            return CharacterNotAllowed(data[bad]);
        const std::string pair = CheckPair(data);
        if (v.substr(v.size() - 2) != pair)
            return "check characters should be " + pair;
        return {};
    }
    case Linter::GcpPos1:
        return CompanyPrefix(v, 1);
    case Linter::GcpPos2:
        return CompanyPrefix(v, 2);
    case Linter::Yymmd0:
    case Linter::Yymmdd:
    case Linter::Yyyymmdd:
        return IsDate(v, linter == Linter::Yymmd0) ? std::string() : Is(v, "a date");
    case Linter::Hhmi:
        return Number(v.substr(0, 2)) <= 23 && Number(v.substr(2)) <= 59 ? std::string() : Is(v, "a time");
    case Linter::Hh:
        return Number(v) <= 23 ? std::string() : Is(v, "an hour");
    case Linter::Mi:
        return Number(v) <= 59 ? std::string() : Is(v, "a minute");
    case Linter::Ss:
        return Number(v) <= 59 ? std::string() : Is(v, "a second");
    case Linter::Iso3166:
    case Linter::Iso3166999: {
        const int code = static_cast<int>(Number(v));
        const bool ok = IsCountryCode(code) || (linter == Linter::Iso3166999 && code == 999);
        return ok ? std::string() : Is(v, "a country code");
    }
    case Linter::Iso3166Alpha2:
        return IsCountryAlpha2(v) ? std::string() : Is(v, "a country code");
    case Linter::Iso4217:
        return IsCurrencyCode(static_cast<int>(Number(v))) ? std::string() : Is(v, "a currency code");
    case Linter::Iso5218:
        return v == "0" || v == "1" || v == "2" || v == "9" ? std::string() : Is(v, "a sex code");
    case Linter::NonZero:
        return Number(v) != 0 ? std::string() : std::string(v) + " should not be zero";
    case Linter::Zero:
        return Number(v) == 0 ? std::string() : std::string(v) + " should be zero";
    case Linter::YesNo:
        return v == "0" || v == "1" ? std::string() : std::string(v) + " should be 0 or 1";
    case Linter::Winding:
        return v == "0" || v == "1" || v == "9" ? std::string() : std::string(v) + " should be 0, 1 or 9";
    case Linter::PercentEncoded:
        for (std::size_t i = 0; i < v.size(); ++i)
            if (v[i] == '%') {
                auto hex = [](char c) { return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); };
                if (i + 2 >= v.size() || !hex(v[i + 1]) || !hex(v[i + 2]))
                    return "'%' not followed by two hexadecimal digits";
                i += 2;
            }
        return {};
    case Linter::Hyphen:
        for (char c : v)
            if (c != '-')
                return CharacterNotAllowed(c);
        return {};
    case Linter::Latitude:
        return Number(v) <= 1800000000 ? std::string() : Is(v, "a latitude");
    case Linter::Longitude:
        return Number(v) <= 3600000000 ? std::string() : Is(v, "a longitude");
    case Linter::PieceOfTotal: {
        const std::int64_t piece = Number(v.substr(0, 2)), total = Number(v.substr(2));
        return piece >= 1 && piece <= total ? std::string() : Is(v, "a piece of a total");
    }
    case Linter::Iban:
        return IsIban(v) ? std::string() : Is(v, "an IBAN");
    case Linter::NoZeroPrefix:
        return v.size() > 1 && v[0] == '0' ? "leading zero not allowed" : std::string();
    case Linter::HasNonDigit:
        return AllDigits(v) ? std::string(v) + " should not be all digits" : std::string();
    case Linter::PosInSeqSlash: {
        const bool ok = v.size() == 3 && v[1] == '/' && v[0] >= '1' && v[0] <= '9' && IsDigit(v[2]) && v[0] <= v[2];
        return ok ? std::string() : Is(v, "a position in a sequence");
    }
    case Linter::ImporterIndex:
        for (char c : v)
            if (!kCset64Table[static_cast<unsigned char>(c)])
                return CharacterNotAllowed(c);
        return {};
    case Linter::None:
    case Linter::MediaType:
    case Linter::PackageType:
    case Linter::CouponCode:
    case Linter::CouponPosOffer:
        return {};
    }
    return {};
}

} // namespace gs1

} // namespace qb
