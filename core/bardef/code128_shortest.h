// The shortest Code 128 encoder's entry for other encoders (GS1-128).
#pragma once

#include "qbarcode/code128.h"

namespace qb {

namespace code128 {

// Encodes units already known to be codes 0 to 255 or Fnc1 to Fnc3, in the
// fewest symbol characters; the caption is left as it is. `printable` says
// that every code is 32 to 127 (GS1 data), so none other is looked for.
void EncodeUnits(std::span<const std::uint16_t> units, Code128Symbol& symbol, bool printable = false);

} // namespace code128

} // namespace qb
