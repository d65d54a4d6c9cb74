/// \file
/// GS1 element strings and GS1-128 symbols.
///
/// GS1 data is a sequence of element strings, each an application identifier
/// (AI, two to four digits) and its data. It is given in one of two forms:
///
/// - bracketed: every AI in round brackets, "(01)09501101530003(17)261231(10)AB-123".
///   A '(' followed by digits and ')' always starts the next element string;
///   data holding such a sequence is given in the raw form;
/// - raw: the element strings one after the other, as a reader reports them:
///   "010950110153000317261231", then "10AB-123", GS and "21X" for three and
///   four element strings. The group separator GS (code 29, gs1::kSeparator)
///   stands for FNC1 after data of variable length; one before the first AI
///   (FNC1 in first place) may be given or left out.
///
/// Every element string is checked against the GS1 rules of its AI (length,
/// character set, check digit, date, country and currency codes and the other
/// rules of the GS1 Barcode Syntax Dictionary), and the element strings
/// against each other (AIs that need another, AIs that exclude each other, an
/// AI repeated with another value). A failure raises Exception with a message
/// that names the AI: "(01): check digit should be 3", "(17): 261340 is not a
/// date", "(21): character '£' not allowed", "(23): unknown application
/// identifier", "(10): longer than 20 characters", "(10): needs (01), (02),
/// (03), (8006) or (8026)", "(02): not allowed with (01)".
#pragma once

#include "qbarcode/code128.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

namespace gs1 {

/// The character standing for FNC1 in the raw form: the group separator GS,
/// as readers report a separator.
inline constexpr char kSeparator = '\x1d';

/// One element string: an application identifier and its data.
struct ElementString {
    std::string Ai;   ///< the identifier's digits, "01"
    std::string Data; ///< its data, "09501101530003"
};

/// What the GS1 rules say about one application identifier.
struct ApplicationIdentifier {
    std::string_view Title;      ///< GS1's data title, "BATCH/LOT"
    std::string_view Format;     ///< the format with its rules, "X..20" or "N6,yymmd0"
    int MinLength = 0;           ///< fewest data characters
    int MaxLength = 0;           ///< most data characters
    bool NeedsSeparator = false; ///< not of predefined length: FNC1 follows it unless it ends the data
};

/// Looks up an application identifier ("01", "3103"); false when GS1 has
/// none of that number.
bool FindApplicationIdentifier(std::string_view ai, ApplicationIdentifier& info);

/// Splits GS1 data in the bracketed or the raw form into element strings and
/// checks them (see the file's description). Raises Exception on the first
/// failure.
std::vector<ElementString> ParseElementStrings(std::string_view text);

/// Checks element strings built by the caller as ParseElementStrings checks
/// what it splits. Raises Exception on the first failure.
void CheckElementStrings(std::span<const ElementString> elements);

/// The human-readable text: each AI in brackets, a space, its data, and a
/// space between element strings: "(01) 09501101530003 (17) 261231 (10) AB-123".
std::string HumanReadableText(std::span<const ElementString> elements);

/// The raw form: the element strings in order, a GS after each one of
/// variable length that is not the last; what a reader reports.
std::string RawText(std::span<const ElementString> elements);

} // namespace gs1

/// Encodes GS1 data (bracketed or raw, see gs1.h) as GS1-128: FNC1 after the
/// start character, the element strings in the order given with FNC1 after
/// each one of variable length that is not the last, in the fewest symbol
/// characters. The caption is gs1::HumanReadableText. Raises what
/// gs1::ParseElementStrings raises.
Code128Symbol EncodeGS1_128(std::string_view text);

/// The same for element strings built by the caller (checked as
/// gs1::CheckElementStrings checks them).
Code128Symbol EncodeGS1_128(std::span<const gs1::ElementString> elements);

/// EncodeGS1_128 into an existing symbol, whose storage is reused: for
/// callers that encode many labels.
void EncodeGS1_128(std::string_view text, Code128Symbol& symbol);

/// The same for element strings built by the caller.
void EncodeGS1_128(std::span<const gs1::ElementString> elements, Code128Symbol& symbol);

} // namespace qb
