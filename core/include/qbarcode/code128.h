/// \file
/// Code 128 for any Latin-1 text, in the fewest symbol characters.
///
/// The encoder chooses the start character, the code set switches (CODE A,
/// CODE B, CODE C), the single-character shifts and the FNC4 characters that
/// carry codes 128 to 255 (single, or a pair that latches the extended range)
/// so that the symbol is as short as Code 128 allows. The result is in the
/// line-code alphabet of MakeLineCodes, so it is measured, drawn and printed
/// as any other symbol.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

/// Function characters in a Code 128 input sequence, beside the Latin-1 codes
/// 0 to 255. FNC4 is not among them: the encoder writes it itself for codes
/// 128 to 255.
enum Code128Function : std::uint16_t {
    Fnc1 = 256, ///< FNC1: GS1 data first, a field separator after it
    Fnc2 = 257, ///< FNC2: message append
    Fnc3 = 258, ///< FNC3: reader initialisation
};

/// One Code 128 symbol.
struct Code128Symbol {
    /// Every element from the start character to the termination bar, in the
    /// line-code alphabet of MakeLineCodes ('5' to '8' bars, '0' to '3'
    /// spaces of 1 to 4 modules); at a ratio of 2.0 the width classes are the
    /// modules Code 128 is written in.
    std::string LineCodes;
    /// The symbol character values in order: the start character (103, 104
    /// or 105), the data, the check character and the stop character (106).
    std::vector<std::uint8_t> Values;
    /// The human-readable text: the text encoded, without function characters.
    std::string Caption;
};

/// Encodes a Latin-1 text (any code 0 to 255) in the fewest symbol characters.
Code128Symbol EncodeCode128(std::string_view text);

/// Encodes a sequence of Latin-1 codes (0 to 255) and function characters
/// (Fnc1 to Fnc3) in the fewest symbol characters. Raises Exception
/// "<value> is not a Code 128 input character." for any other value.
Code128Symbol EncodeCode128(std::span<const std::uint16_t> input);

/// EncodeCode128 into an existing symbol, whose storage is reused: for
/// callers that encode many texts.
void EncodeCode128(std::string_view text, Code128Symbol& symbol);

/// The same for a sequence with function characters.
void EncodeCode128(std::span<const std::uint16_t> input, Code128Symbol& symbol);

} // namespace qb
