// The application identifier table, its compile-time checks and its lookup.
#include "gs1/ai_table.h"

#include <array>

namespace qb {

namespace gs1 {
namespace {

// GS1 Barcode Syntax Dictionary: kAiPatterns, then kRows, one row per entry
// in its (lexical) order.
#include "gs1/ai_rows.inc"

constexpr int kRowCount = static_cast<int>(std::size(kRows));
constexpr int kPatternCount = static_cast<int>(std::size(kAiPatterns));

constexpr int Power10(int digits)
{
    int p = 1;
    while (digits-- > 0)
        p *= 10;
    return p;
}

// The identifier's first two digits, as a number 0 to 99.
constexpr int Prefix(const AiRow& row, int number)
{
    return number / Power10(row.digits - 2);
}

constexpr bool IsDate(Linter l)
{
    return l == Linter::Yymmd0 || l == Linter::Yymmdd;
}

// Rules that read a fixed number of digits, and that number.
constexpr int FixedDigitsOf(Linter l)
{
    switch (l) {
    case Linter::Yymmd0:
    case Linter::Yymmdd:
        return 6;
    case Linter::Yyyymmdd:
        return 8;
    case Linter::Hhmi:
    case Linter::PieceOfTotal:
        return 4;
    case Linter::Hh:
    case Linter::Mi:
    case Linter::Ss:
        return 2;
    case Linter::Iso3166:
    case Linter::Iso3166999:
    case Linter::Iso4217:
        return 3;
    case Linter::Latitude:
    case Linter::Longitude:
        return 10;
    case Linter::YesNo:
    case Linter::Winding:
    case Linter::Iso5218:
        return 1;
    default:
        return 0;
    }
}

// A component: a length of 1 to 90, fixed unless it is the last; rules that
// read digits on numeric components of the length they read; the check
// digit on a numeric component of two digits or more.
constexpr bool ComponentInRange(const Component& c, bool last)
{
    if (c.minLength < 1 || c.minLength > c.maxLength || c.maxLength > 90)
        return false;
    if (!last && c.minLength != c.maxLength)
        return false;
    for (Linter l : c.linters) {
        const int digits = FixedDigitsOf(l);
        if (digits != 0 && (c.charset != Charset::Numeric || c.minLength != digits || c.maxLength != digits))
            return false;
        if (l == Linter::Csum && (c.charset != Charset::Numeric || c.minLength < 2))
            return false;
        if (l == Linter::CsumAlpha && (c.charset != Charset::Cset82 || c.maxLength < 3))
            return false;
        if (IsDate(l) && c.minLength != 6)
            return false;
    }
    return true;
}

// A row: 2 to 4 digits, first <= last within one decade of identifiers, one
// to five components with no mandatory one after an optional one, at most 90
// data characters, and a predefined length only for fixed-length data.
constexpr bool RowInRange(const AiRow& row)
{
    if (row.digits < 2 || row.digits > 4 || row.first > row.last || row.last >= Power10(row.digits))
        return false;
    if (row.first / 10 != row.last / 10 && row.first != row.last)
        return false;
    if (row.componentCount < 1 || row.componentCount > kMaxComponents)
        return false;
    bool optionalSeen = false;
    int maxLength = 0;
    for (int i = 0; i < row.componentCount; ++i) {
        const Component& c = row.components[i];
        if (!ComponentInRange(c, i + 1 == row.componentCount) || (optionalSeen && !c.optional))
            return false;
        optionalSeen = optionalSeen || c.optional;
        maxLength += c.maxLength;
        if (row.predefinedLength && (c.optional || c.minLength != c.maxLength))
            return false;
    }
    return maxLength <= 90 && row.title != nullptr && row.requiredFirst + row.requiredCount <= kPatternCount &&
           row.excludedFirst + row.excludedCount <= kPatternCount;
}

// A pattern of 2 to 4 digits, some of them wild, that names at least one
// identifier of the table.
constexpr bool PatternInRange(const AiPattern& p)
{
    if (p.digits < 2 || p.digits > 4 || p.wild >= p.digits || p.low >= Power10(p.digits) ||
        p.low % Power10(p.wild) != 0)
        return false;
    const int high = p.low + Power10(p.wild) - 1;
    for (const AiRow& row : kRows)
        if (row.digits == p.digits && row.first <= high && p.low <= row.last)
            return true;
    return false;
}

constexpr bool PatternsInRange()
{
    for (const AiPattern& p : kAiPatterns)
        if (!PatternInRange(p))
            return false;
    return true;
}
static_assert(PatternsInRange(), "a pairing rule names no identifier of the table");

// The lexical position of an identifier, for ordering rows of different
// lengths: its digits left-aligned to four places.
constexpr int LexicalKey(const AiRow& row, int number)
{
    return number * Power10(4 - row.digits);
}

// Rows in lexical order, none overlapping; every identifier sharing its first
// two digits has the same length, so no identifier is the start of another and
// raw data splits one way only.
constexpr bool RowsOrdered()
{
    for (int i = 0; i < kRowCount; ++i) {
        if (!RowInRange(kRows[i]))
            return false;
        if (i > 0 && LexicalKey(kRows[i - 1], kRows[i - 1].last) >= LexicalKey(kRows[i], kRows[i].first))
            return false;
        for (int j = 0; j < i; ++j)
            if (Prefix(kRows[j], kRows[j].first) == Prefix(kRows[i], kRows[i].first) &&
                kRows[j].digits != kRows[i].digits)
                return false;
    }
    return kRowCount > 0;
}
static_assert(RowsOrdered(), "application identifier rows out of range or out of order");

// The rows of each two-digit prefix: [begin, end) into kRows.
struct PrefixRange {
    std::uint8_t begin, end;
};
static_assert(kRowCount < 256);

constexpr std::array<PrefixRange, 100> MakePrefixIndex()
{
    std::array<PrefixRange, 100> index{};
    for (int i = kRowCount - 1; i >= 0; --i) {
        for (int n = kRows[i].first; n <= kRows[i].last; ++n) {
            PrefixRange& r = index[static_cast<std::size_t>(Prefix(kRows[i], n))];
            if (r.begin == r.end)
                r.end = static_cast<std::uint8_t>(i + 1);
            r.begin = static_cast<std::uint8_t>(i);
        }
    }
    return index;
}

constexpr std::array<PrefixRange, 100> kPrefixIndex = MakePrefixIndex();

// Fewest and most data characters of each row.
struct DataLength {
    std::uint8_t min, max;
};

constexpr std::array<DataLength, kRowCount> MakeDataLengths()
{
    std::array<DataLength, kRowCount> lengths{};
    for (int i = 0; i < kRowCount; ++i)
        for (int k = 0; k < kRows[i].componentCount; ++k) {
            const Component& c = kRows[i].components[k];
            lengths[static_cast<std::size_t>(i)].min += c.optional ? 0 : c.minLength;
            lengths[static_cast<std::size_t>(i)].max += c.maxLength;
        }
    return lengths;
}

constexpr std::array<DataLength, kRowCount> kDataLengths = MakeDataLengths();

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

int AiLengthFromPrefix(char first, char second)
{
    if (!IsDigit(first) || !IsDigit(second))
        return 0;
    const PrefixRange r = kPrefixIndex[static_cast<std::size_t>((first - '0') * 10 + (second - '0'))];
    return r.begin == r.end ? 0 : kRows[r.begin].digits;
}

const AiRow* FindAiRow(std::string_view ai)
{
    if (ai.size() < 2 || ai.size() > 4 || AiLengthFromPrefix(ai[0], ai[1]) != static_cast<int>(ai.size()))
        return nullptr;
    int number = 0;
    for (char c : ai) {
        if (!IsDigit(c))
            return nullptr;
        number = number * 10 + (c - '0');
    }
    const PrefixRange r = kPrefixIndex[static_cast<std::size_t>((ai[0] - '0') * 10 + (ai[1] - '0'))];
    for (int i = r.begin; i < r.end; ++i)
        if (number >= kRows[i].first && number <= kRows[i].last)
            return &kRows[i];
    return nullptr;
}

std::span<const AiPattern> AiPatterns()
{
    return kAiPatterns;
}

int MinDataLength(const AiRow& row)
{
    return kDataLengths[static_cast<std::size_t>(&row - kRows)].min;
}

int MaxDataLength(const AiRow& row)
{
    return kDataLengths[static_cast<std::size_t>(&row - kRows)].max;
}

} // namespace gs1

} // namespace qb
