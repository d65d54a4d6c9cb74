// UTF-8 for text output: strings are 8-bit, and text that is not valid UTF-8
// is read as Latin-1.
#pragma once

#include <string>

namespace qb {

namespace gfx {

/// True when `s` is well-formed UTF-8 (no overlong forms, surrogates or code
/// points above U+10FFFF).
bool IsUtf8(const std::string& s);

/// `s` itself when it is valid UTF-8, else `s` read as Latin-1 and converted:
/// the characters text output shows for an 8-bit string.
std::string AsUtf8(const std::string& s);

} // namespace gfx

} // namespace qb
