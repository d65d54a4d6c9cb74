// The table of GS1 application identifiers: what each identifier's data may
// hold, component by component, and how it pairs with the others. The rows
// are generated at build time from the GS1 Barcode Syntax Dictionary
// (gs1-syntax-dictionary.txt beside this file) by tablegen/make_ai_table.cpp,
// and checked when compiling (ai_table.cpp).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace qb {

namespace gs1 {

// Character set of a component: digits, CSET 82 (the GS1 subset of ISO 646),
// CSET 39 (upper case, digits, '#', '-', '/') or the URL-safe base 64 set.
enum class Charset : std::uint8_t { Numeric, Cset82, Cset39, Cset64 };

// The content rules of the dictionary ("linters"), applied to one component.
enum class Linter : std::uint8_t {
    None,
    Csum,           // GS1 modulo-10 check digit, the last digit
    CsumAlpha,      // GS1 check character pair (modulo 1021), the last two characters
    GcpPos1,        // starts with a GS1 Company Prefix (at least four digits)
    GcpPos2,        // the same from the second character on
    Yymmd0,         // date YYMMDD, day 00 allowed
    Yymmdd,         // date YYMMDD
    Yyyymmdd,       // date YYYYMMDD
    Hhmi,           // time HHMM
    Hh,             // hour
    Mi,             // minute
    Ss,             // second
    Iso3166,        // ISO 3166-1 numeric country code
    Iso3166999,     // the same, or 999
    Iso3166Alpha2,  // ISO 3166-1 alpha-2 country code
    Iso4217,        // ISO 4217 numeric currency code
    Iso5218,        // ISO/IEC 5218 sex code
    NonZero,        // not all zeros
    Zero,           // all zeros
    YesNo,          // 0 or 1
    Winding,        // 0, 1 or 9
    PercentEncoded, // every '%' starts a two-digit hexadecimal escape
    Hyphen,         // '-'
    Latitude,       // 0 to 1800000000
    Longitude,      // 0 to 3600000000
    PieceOfTotal,   // piece NN of a total NN
    Iban,           // ISO 13616 account number
    NoZeroPrefix,   // no leading zero (but "0" itself)
    HasNonDigit,    // not all digits
    PosInSeqSlash,  // "n/m", 1 <= n <= m <= 9
    ImporterIndex,  // one URL-safe base 64 character
    MediaType,      // accepted without a check: the code list changes
    PackageType,    // accepted without a check: UN/ECE code list
    CouponCode,     // accepted without a check: North American coupon format
    CouponPosOffer, // accepted without a check: the same
};

// One component of an identifier's data: its character set, its length (a
// fixed length when minLength == maxLength) and its rules. An optional
// component may be left out when the data ends before it.
struct Component {
    Charset charset;
    std::uint8_t minLength, maxLength;
    bool optional;
    Linter linters[3];
};

constexpr int kMaxComponents = 5;

// How a pairing pattern stands to the next one: both belong to one group
// (all must be present), the next starts another group of the same list (one
// group must be present), or the next starts a new list.
enum class Link : std::uint8_t { And, Or, List };

// An identifier, or identifiers, named in a pairing rule: `digits` digits of
// which the last `wild` may be any, from `low` up ("31nn" is 3100, 4 digits,
// 2 wild).
struct AiPattern {
    std::uint16_t low;
    std::uint8_t digits, wild;
    Link link;
};

// One row: the identifiers first to last (a range such as 3100 to 3105, or
// one identifier), written with `digits` digits.
struct AiRow {
    std::uint16_t first, last;
    std::uint8_t digits;
    bool predefinedLength; // no FNC1 needed after it (the predefined-length table)
    std::uint8_t componentCount;
    Component components[kMaxComponents];
    // Lists of groups, one group of each list must be present ("01+21,03+21"),
    // and the patterns none of which may be present ("01,03,310n"): ranges
    // of kAiPatterns.
    std::uint16_t requiredFirst;
    std::uint8_t requiredCount;
    std::uint16_t excludedFirst;
    std::uint8_t excludedCount;
    const char* title;
    const char* format; // the dictionary's own form, e.g. "N3,iso3166 X..9"
};

// The pairing patterns, referred to by the rows.
std::span<const AiPattern> AiPatterns();

// The row of an identifier written as 2 to 4 digits; null when there is none.
const AiRow* FindAiRow(std::string_view ai);

// Digits of the identifiers that begin with these two digits (every identifier
// sharing its first two digits has the same length); 0 when none does.
int AiLengthFromPrefix(char first, char second);

// Lowest and highest number of data characters the row accepts.
int MinDataLength(const AiRow& row);
int MaxDataLength(const AiRow& row);

} // namespace gs1

} // namespace qb
